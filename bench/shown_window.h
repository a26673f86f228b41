#pragma once

#include "platform/platform.h"

#include <chrono>
#include <optional>
#include <string_view>

struct _XDisplay;

namespace quillpost::x11 {
class Windows;
}

namespace quillpost::bench {

// The main window's title, as Quillpost sets it.
inline constexpr std::string_view kMainTitle = "Quillpost";

// A window as the user sees it: listed by the window manager under `title` and viewable, that is
// mapped inside a mapped frame. Polls every millisecond, so the time it returns is that close.
std::optional<WindowId> waitForShownWindow(_XDisplay *display, const x11::Windows &windows,
    std::string_view title, std::chrono::milliseconds timeout);

} // namespace quillpost::bench
