#pragma once

#include "platform/platform.h"

#include <windows.h>

#include <chrono>
#include <string_view>

// Other programs' top-level windows: finding one by title and bringing it to the front.
namespace quillpost::win32 {

// The visible top-level window of another process whose title equals `title` ignoring case, else
// the first whose title begins with it; NoWindow when there is none.
Result<WindowId> findWindow(std::string_view title);

// Restores it when minimised and asks for it to be the foreground window; NoWindow once it has
// been closed. Windows may refuse a program in the background the foreground: callers check with
// inFront() before typing.
Outcome bringToFront(WindowId window);

// The top-level window the user clicks next (the click goes no further); Cancelled on Esc, and
// when nothing is clicked within `timeout`.
Result<PickedWindow> pickWindow(std::chrono::milliseconds timeout);

// Its title and class name; NoWindow once it has been closed.
Result<WindowInfo> describe(WindowId window);

bool inFront(WindowId window);
// Polls until `window` has been the foreground window for `steady` without a break, or until
// `timeout` has passed.
bool waitInFront(
    WindowId window, std::chrono::milliseconds timeout, std::chrono::milliseconds steady);

inline HWND toHwnd(WindowId id)
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id.value));
}

inline WindowId toId(HWND window)
{
    return WindowId { reinterpret_cast<std::uintptr_t>(window) };
}

} // namespace quillpost::win32
