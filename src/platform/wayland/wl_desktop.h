#pragma once

#include "platform/platform.h"

#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillpost::wl {

// Another program's window as the compositor lists it.
struct Toplevel
{
    WindowId id;
    std::string title;
    std::string appId;
    bool activated = false; // it holds the keyboard
};

// The windows of a wlroots desktop (sway, labwc, river, Hyprland, Wayfire) and a keyboard of the
// program's own to type into them, as such a compositor offers them to any program. Nothing is
// read in the background: every call first asks the compositor for its news.
class Desktop
{
public:
    // Null when no Wayland compositor answers, or it offers no window list or no virtual keyboard;
    // `lacking` then says which, for the user.
    static std::unique_ptr<Desktop> connect(std::string *lacking = nullptr);
    ~Desktop();
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    // Whether `window` is one of these windows: their ids never equal an X11 window id.
    static bool owns(WindowId window);

    // For an event loop to take the compositor's news as it comes (readEvents()), so that a long
    // idle spell cannot fill the connection.
    int fd() const;
    void readEvents();

    // The open windows, in the order the compositor announced them.
    std::vector<Toplevel> windows();

    // Exact title ignoring case first, else a title that begins with `title`; never a window that
    // `skip` names.
    Result<WindowId> find(
        std::string_view title, const std::function<bool(const Toplevel &)> &skip);
    bool isOpen(WindowId window);
    Result<WindowInfo> describe(WindowId window);
    Outcome activate(WindowId window);
    // Activates the first open window titled exactly `title`; false when there is none.
    bool activateTitled(std::string_view title);
    // Waits up to `limit` until `window` holds the keyboard; FocusLost naming the one that does.
    Outcome waitForActivated(WindowId window, std::chrono::milliseconds limit);

    // Types `strokes` while `window` holds the keyboard, checking again before every key, since no
    // Wayland protocol lets a program hold the keyboard for itself. A stop's position is the index
    // of the first stroke not typed.
    Outcome type(WindowId window, std::span<const KeyStroke> strokes);

    struct State; // what the compositor said, kept where its callbacks can reach it

private:
    explicit Desktop(std::unique_ptr<State> state);
    std::unique_ptr<State> s_;
};

} // namespace quillpost::wl
