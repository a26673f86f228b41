#pragma once

#include "../result.h"

#include <chrono>
#include <cstdint>

struct _XDisplay; // Xlib's Display, kept out of this header

namespace quillpost::x11 {

// Lets the user click a window, with a crosshair pointer, and returns the root's child under the
// pointer (a window manager's frame, or the window itself without one). Cancelled for Esc,
// another button, or no click within `limit`; NoWindow for a click on the desktop, or when the
// pointer cannot be taken.
Result<std::uint64_t> clickWindow(_XDisplay *display, std::chrono::milliseconds limit);

} // namespace quillpost::x11
