#pragma once

#include "app/shared_state.h"
#include "platform/controls.h"
#include "platform/platform.h"

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
inline constexpr std::string_view kOwnCaption = "Quillpost";
inline constexpr std::string_view kSendingPrefix = "Status: Sending -> ";
inline constexpr std::string_view kEndOfFile = "End of file!!!";
inline constexpr std::string_view kPauseCaption = "&Pause";
inline constexpr std::string_view kStartCaption = "&Start";

// The timer-driven line sender, the client window check before each line, and pause/start.
// Each line reaches the client once, in file order: a line that could not be typed is kept in
// the shared state and typed before any other.
class Sender
{
public:
    Sender(SharedState &state, Platform &platform, TextBox &text1, MenuItem &pause);

    void Timer1_Timer();
    void pause_Click();
    void chooseclient_Click();

private:
    // Returns the send's client once it could be brought to the front: the window found before
    // or chosen while it is open, else one titled like the client, warning in a box between
    // attempts.
    WindowId ActivateClient();

    void typeLine(const std::string &line);
    void stop(std::string_view statusText);
    void pauseAt(const Error &why, std::size_t lineStrokes);

    SharedState &state_;
    Platform &platform_;
    TextBox &text1_;
    MenuItem &pause_;
    bool inTick_ = false;
};

} // namespace quillpost
