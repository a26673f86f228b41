#include "factory.h"

#if defined(_WIN32)
#include "win32/win32_platform.h"
#else
#include "qt_x11/qt_platform.h"

#include <cstdlib>

#include <X11/Xlib.h>
#endif

namespace quillpost {

std::unique_ptr<Platform> makePlatform()
{
#if defined(_WIN32)
    return std::make_unique<win32::Win32Platform>();
#else
    return std::make_unique<qt::QtPlatform>();
#endif
}

std::string desktopMissing()
{
#if defined(_WIN32)
    return "";
#else
    if (Display *display = XOpenDisplay(nullptr)) {
        XCloseDisplay(display);
        return "";
    }
    const char *name = std::getenv("DISPLAY");
    return "Quillpost needs an X display, and "
        + (name && *name ? "the display \"" + std::string(name) + "\" could not be opened"
                         : std::string("DISPLAY is not set"))
        + ". It types into other windows through X11; on a Wayland desktop it runs under "
          "XWayland. Start it from your desktop session.\n";
#endif
}

} // namespace quillpost
