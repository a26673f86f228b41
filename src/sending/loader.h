#pragma once

#include "client_habits.h"
#include "send.h"
#include "send_settings.h"

#include "platform/controls.h"
#include "platform/platform.h"

#include <string_view>

namespace quillpost {

inline constexpr std::string_view kSendDialogTitle = "Open File to send to Zmud";
inline constexpr std::string_view kVerifying = "Status: Verifying File Size";
inline constexpr std::string_view kTooLarge
    = "The file you want to send exceeds the note spools maximum size (4096 characters)... please "
      "reduce the size and try again.";
inline constexpr std::string_view kOtherFileOpen
    = "Error: You tried to open another file while a process was in action (though possible "
      "paused).  All operations cancelled!";

inline constexpr std::string_view kWrapAndSend = "&Wrap and send";
inline constexpr std::string_view kSendAsItIs = "Send &as it is";
inline constexpr std::string_view kCancelSend = "&Cancel";
inline constexpr std::string_view kSendCancelled = "Status: Sending cancelled; nothing was typed.";

// "Open file to Send": choose a file, make sure it is text that fits one note, and hand it to the
// sender through file number 1.
class Loader
{
public:
    Loader(Send &send, const SendSettings &settings, Platform &platform, FileDialog &cd,
        TextBox &text1, MenuItem &pause);

    void openfile_Click();

private:
    enum class Plan { AsItIs, Wrapped, Cancelled };
    // Warns before anything is typed when a ROM 2.4 style server would cut, refuse or change
    // some of the file, and lets the user wrap it, send it anyway or cancel.
    Result<Plan> checkAgainstServer(const std::string &path, std::string &wrapped);
    const ClientHabits *clientHabits();
    void refuseUnreadable(const Error &error);

    Send &send_;
    const SendSettings &settings_;
    Platform &platform_;
    FileDialog &cd_;
    TextBox &text1_;
    MenuItem &pause_;
};

} // namespace quillpost
