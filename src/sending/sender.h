#pragma once

#include "app/shared_state.h"
#include "platform/controls.h"
#include "platform/platform.h"

#include <string>
#include <string_view>

namespace quillpost {

inline constexpr std::string_view kClientTitle = "zMUD";
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

private:
    // Returns the send's client once it could be brought to the front: the window found before
    // while it is open, else one titled "zMUD", warning in a box between attempts.
    WindowId ActivateClient();

    void typeLine(const std::string &line);
    void stop(std::string_view statusText);
    void pauseAt(const Error &why);

    SharedState &state_;
    Platform &platform_;
    TextBox &text1_;
    MenuItem &pause_;
    bool inTick_ = false;
};

} // namespace quillpost
