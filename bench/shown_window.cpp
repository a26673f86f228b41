#include "shown_window.h"

#include "platform/qt_x11/x11_windows.h"

#include <thread>

#include <X11/Xlib.h>

namespace quillpost::bench {

std::optional<WindowId> waitForShownWindow(Display *display, const x11::Windows &windows,
    std::string_view title, std::chrono::milliseconds timeout)
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (auto window = windows.find(title)) {
            // It may close between the lookup and this request.
            x11::ErrorTrap trap(display);
            XWindowAttributes attributes {};
            const bool read = XGetWindowAttributes(
                display, static_cast<Window>(window.value().value), &attributes);
            if (!trap.failed() && read && attributes.map_state == IsViewable)
                return window.value();
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(1ms);
    }
}

} // namespace quillpost::bench
