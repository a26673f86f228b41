#pragma once

#include "platform/qt_x11/x11_error_trap.h"
#include "platform/qt_x11/x11_properties.h"
#include "platform/qt_x11/x11_windows.h"
#include "support/x_session.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace quillpost::test {

using XWindow = unsigned long; // an X window id, without pulling Xlib's macros into the tests

struct ScreenRect
{
    int x, y, width, height; // pixels
};

// Xvfb reports 96 dots per inch: 15 twips a pixel.
inline int pixels(int twips)
{
    return (twips * 96 + 720) / 1440;
}

// What a person at the screen sees and does: the windows by title, which one has the keyboard,
// and keys pressed into the window they chose. Keys go through xdotool, which sends them through
// XTest like a real keyboard. Failures throw, naming what was expected on screen.
class Desktop
{
public:
    explicit Desktop(const XSession &session);
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    // Managed top-level windows titled exactly `title`, in the window manager's order.
    std::vector<XWindow> windowsTitled(std::string_view title) const;
    std::string titleOf(XWindow window) const;
    // The first window titled `title` that is not in `except`, once there is one.
    XWindow waitForWindow(std::string_view title, const std::vector<XWindow> &except = {},
        std::chrono::milliseconds timeout = kPatience) const;
    // The same, once it has also come to the front, as a window that activates itself does.
    XWindow waitForFront(std::string_view title, const std::vector<XWindow> &except = {}) const;
    void waitUntilGone(XWindow window, std::chrono::milliseconds timeout = kPatience) const;

    // Size of the window's client area and where that area sits on the screen.
    ScreenRect clientArea(XWindow window) const;

    // Whether the keyboard focus is in `window` (or its frame or a child of it).
    bool hasFocus(XWindow window) const;
    // Whether a popup menu is on screen; menus are override-redirect windows.
    bool popupShown() const;

    // Whether some program holds the pointer, as a window picker does while it waits.
    bool pointerGrabbed() const;
    // A left click in the middle of `window`.
    void click(XWindow window) const;

    // Asks the window manager to close `window`, as its title bar's close button does.
    void close(XWindow window) const;

    // Brings `window` to the front through the window manager and waits for its focus, and until
    // its program has read that change.
    void activate(XWindow window) const;
    // xdotool key names ("ctrl+o", "Return"), pressed into `window` once it has the focus, each
    // held down for 100 ms as a finger holds it.
    void press(XWindow window, const std::vector<std::string> &keys) const;
    // Into whatever holds the keyboard now: an open menu, which has grabbed it.
    void press(const std::vector<std::string> &keys) const;
    void type(XWindow window, const std::string &text) const;

    // The whole screen as a PNG; false when it could not be taken.
    bool screenshot(const std::string &file) const;

private:
    void xdotool(std::vector<std::string> args) const;
    // Once the program of `window` has read every event sent to it before this call, where it
    // answers _NET_WM_PING (Qt and Wine do, xterm does not).
    void caughtUp(XWindow window) const;

    const XSession &session_;
    // Windows of the program under test come and go while we read them; Xlib's default handler
    // would end the test run on the first BadWindow.
    x11::ErrorTrap errors_;
    x11::Atoms atoms_;
    // The program's own focus check and window list, proven on their own by the X11 tests.
    x11::Windows windows_;
};

} // namespace quillpost::test
