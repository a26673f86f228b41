#include "x11_window_picker.h"

#include "platform/ending.h"

#include <memory>
#include <optional>
#include <thread>

// Xlib last: it defines None, Status, Bool and more as macros.
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

namespace quillpost::x11 {

using namespace std::chrono_literals;

namespace {

constexpr auto kPoll = 10ms;

} // namespace

// As xwininfo and xprop do: grabs on a connection of our own, so that the grab's events never
// reach the toolkit's event reader.
Result<std::uint64_t> clickWindow(Display *display, std::chrono::milliseconds limit)
{
    const Error failed { ErrorKind::NoWindow,
        "The pointer could not be taken to choose a window." };
    std::unique_ptr<Display, int (*)(Display *)> own(
        XOpenDisplay(DisplayString(display)), XCloseDisplay);
    if (!own)
        return failed;
    Display *d = own.get();
    const Window root = DefaultRootWindow(d);
    const Cursor crosshair = XCreateFontCursor(d, XC_crosshair);
    // The menu that started this may hold the pointer for a moment after it closed.
    int grab = GrabFrozen;
    for (int tries = 0; tries < 50 && grab != GrabSuccess; ++tries) {
        grab = XGrabPointer(d, root, False, ButtonPressMask | ButtonReleaseMask, GrabModeAsync,
            GrabModeAsync, root, crosshair, CurrentTime);
        if (grab != GrabSuccess)
            std::this_thread::sleep_for(20ms);
    }
    if (grab != GrabSuccess) {
        XFreeCursor(d, crosshair);
        return failed;
    }
    // Without the keyboard, Esc is lost but any other button still cancels.
    XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);

    std::optional<Window> clicked;
    bool cancelled = false;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (
        !clicked && !cancelled && !endRequested() && std::chrono::steady_clock::now() < deadline) {
        if (!XPending(d)) {
            std::this_thread::sleep_for(kPoll);
            continue;
        }
        XEvent event {};
        XNextEvent(d, &event);
        if (event.type == KeyPress)
            cancelled = XLookupKeysym(&event.xkey, 0) == XK_Escape;
        else if (event.type == ButtonPress && event.xbutton.button == Button1)
            clicked = event.xbutton.subwindow; // the frame under the pointer, or none
        else if (event.type == ButtonPress)
            cancelled = true;
    }
    // The release ends the click here rather than in the window clicked.
    XEvent release {};
    for (int waits = 0; clicked && waits < 50 && !XCheckMaskEvent(d, ButtonReleaseMask, &release);
         ++waits)
        std::this_thread::sleep_for(kPoll);
    XUngrabKeyboard(d, CurrentTime);
    XUngrabPointer(d, CurrentTime);
    XFreeCursor(d, crosshair);
    XSync(d, False);
    if (!clicked)
        return Error { ErrorKind::Cancelled, "No window was chosen." };
    if (*clicked == None)
        return Error { ErrorKind::NoWindow, "That was the desktop, not a window." };
    return static_cast<std::uint64_t>(*clicked);
}

} // namespace quillpost::x11
