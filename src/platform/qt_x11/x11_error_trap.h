#pragma once

struct _XDisplay; // Xlib's Display, kept out of this header

namespace quillpost::x11 {

// Catches the X errors of the requests made while it lives, instead of Xlib's default handler,
// which ends the program: a window may close between being listed and being read. Traps nest;
// an error counts for the innermost trap only.
class ErrorTrap
{
public:
    explicit ErrorTrap(_XDisplay *display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

    // Whether any request made since the trap was set failed; waits for the server's answers.
    bool failed();

private:
    using AnyHandler = void (*)();
    friend struct ErrorTrapAccess;
    _XDisplay *display_;
    AnyHandler previous_;
    ErrorTrap *outer_;
    unsigned long errors_ = 0;
};

} // namespace quillpost::x11
