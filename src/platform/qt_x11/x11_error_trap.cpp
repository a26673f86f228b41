#include "x11_error_trap.h"

// Xlib last: it defines None, Status, Bool and more as macros.
#include <X11/Xlib.h>

namespace quillpost::x11 {

namespace {

// The innermost trap; one GUI thread talks to the display.
thread_local ErrorTrap *tInnermostTrap = nullptr;

using ErrorHandler = int (*)(Display *, XErrorEvent *);

} // namespace

struct ErrorTrapAccess
{
    static int countError(Display *, XErrorEvent *)
    {
        if (tInnermostTrap)
            ++tInnermostTrap->errors_;
        return 0;
    }
};

ErrorTrap::ErrorTrap(_XDisplay *display) : display_(display), outer_(tInnermostTrap)
{
    // Earlier requests answer to whoever was in charge before us.
    XSync(display_, False);
    tInnermostTrap = this;
    previous_ = reinterpret_cast<AnyHandler>(XSetErrorHandler(ErrorTrapAccess::countError));
}

ErrorTrap::~ErrorTrap()
{
    XSync(display_, False);
    XSetErrorHandler(reinterpret_cast<ErrorHandler>(previous_));
    tInnermostTrap = outer_;
}

bool ErrorTrap::failed()
{
    XSync(display_, False);
    return errors_ != 0;
}

} // namespace quillpost::x11
