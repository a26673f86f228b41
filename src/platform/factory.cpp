#include "factory.h"

#if defined(_WIN32)
#error "The Win32 backend is not written yet."
#else
#include "qt_x11/qt_platform.h"
#endif

namespace quillpost {

std::unique_ptr<Platform> makePlatform()
{
    return std::make_unique<qt::QtPlatform>();
}

} // namespace quillpost
