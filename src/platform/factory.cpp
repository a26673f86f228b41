#include "factory.h"

#if defined(_WIN32)
#include "win32/win32_platform.h"
#else
#include "qt_x11/qt_platform.h"
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

} // namespace quillpost
