#pragma once

#include "../platform.h"
#include "../result.h"
#include "x11_error_trap.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _XDisplay;

namespace quillpost::x11 {

// X timestamps are the server's clock in milliseconds, which SYNC publishes as SERVERTIME;
// CurrentTime (0) when the server has no SYNC.
unsigned long serverTime(_XDisplay *display);

// Top-level windows of other programs: lookup by title, activation, and the focus check that
// guards every line typed.
class Windows
{
public:
    // `isOwn` says whether a top-level X window id belongs to this program.
    Windows(_XDisplay *display, std::function<bool(std::uint64_t)> isOwn);

    // Exact title ignoring case first, else a title that begins with `title` (ignoring case);
    // never one of our own windows. NoWindow when there is none.
    Result<WindowId> find(std::string_view title) const;

    // The titles of every managed top-level window, ours too.
    std::vector<std::string> titles() const;

    // Whether `window` is still one of the desktop's top-level windows: false once it is closed
    // (destroyed or withdrawn), whatever its title, and once its id, found or picked before, names
    // a window another process showed.
    bool isOpen(WindowId window) const;

    // Through the window manager (_NET_ACTIVE_WINDOW) where one runs, else raise and set focus.
    Outcome activate(WindowId window);

    // True when the keyboard focus is in `window` or one of its descendants.
    bool hasFocus(WindowId window) const;

    // Lets the user click a window, with a crosshair pointer; Esc or another button cancels.
    // Blocks until then, or until `limit` has passed (Cancelled).
    Result<PickedWindow> pick(std::chrono::milliseconds limit) const;

    // Its title and the class of its WM_CLASS, "" for what it does not have.
    WindowInfo describe(WindowId window) const;

    // Whether the window belongs to a Windows program run by Wine, whose X class is the name of
    // its .exe.
    bool runsUnderWine(WindowId window) const;

    // Waits up to `limit` for hasFocus(); FocusLost naming the window that has it otherwise.
    Outcome waitForFocus(WindowId window, std::chrono::milliseconds limit) const;

private:
    bool isOurs(std::uint64_t window) const;
    std::optional<unsigned long> shownBy(std::uint64_t window) const;
    // X gives a closed window's id to the windows of the next program that connects: each window
    // found or picked is held to the process that showed it (_NET_WM_PID), where it names one.
    WindowId handOut(std::uint64_t window) const;

    _XDisplay *display_;
    std::function<bool(std::uint64_t)> isOwn_;
    mutable std::map<std::uint64_t, std::optional<unsigned long>> handedOut_;
};

} // namespace quillpost::x11
