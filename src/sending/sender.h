#pragma once

#include "send.h"
#include "send_settings.h"

#include "platform/controls.h"
#include "platform/platform.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillpost {

inline constexpr std::string_view kChooseClientPrompt
    = "Click your MUD client's window (Esc cancels).";
inline constexpr std::string_view kChooseClientCancelled
    = "No client window was chosen; the last one stays.";
inline constexpr std::string_view kOwnWindowRefused
    = "That is one of Quillpost's own windows. Choose Options, Choose Client Window again and "
      "click your MUD client's window.";
inline constexpr std::string_view kClientChosenPrefix = "Client window: ";
inline constexpr std::string_view kSendingPrefix = "Status: Sending -> ";
inline constexpr std::string_view kEndOfFile = "End of file!!!";

// The timer-driven line sender, the client window check before each line, and pause/start.
// Each line reaches the client once, in file order: a line that could not be typed stays with
// the send and is typed before any other.
class Sender
{
public:
    Sender(Send &send, SendSettings &settings, Platform &platform, TextBox &text1, MenuItem &pause);

    void Timer1_Timer();
    void pause_Click();
    void chooseclient_Click();

private:
    // Returns the send's client once it could be brought to the front: the window found before
    // or chosen while it is open, else one titled like the client, warning in a box between
    // attempts; none once a warning closed unanswered.
    std::optional<WindowId> ActivateClient();

    void typeLine(PendingLine &line);
    void stop(std::string_view statusText);
    void pauseAt(const Error &why);

    Send &send_;
    SendSettings &settings_;
    Platform &platform_;
    TextBox &text1_;
    MenuItem &pause_;
    bool inTick_ = false;
};

} // namespace quillpost
