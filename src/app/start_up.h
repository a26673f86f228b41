#pragma once

#include "application.h"
#include "command_line.h"

#include <functional>
#include <memory>
#include <stdexcept>

namespace quillpost {

// The program's windows as one toolkit builds them. No window forwards an event before attach().
class Desktop
{
public:
    virtual ~Desktop() = default;
    virtual Form1 controls() = 0;
    virtual OtherWindows otherWindows() = 0;
    // Every window, the other windows too, forwards its events to `app` from now on.
    virtual void attach(Application &app) = 0;
    virtual void showMainWindow() = 0;
    // The toolkit's event loop, until the program ends; returns the exit code.
    virtual int exec() = 0;
};

// The application a window was attached to; a window used before is a mistake in the program.
inline Application &attached(Application *app)
{
    if (!app)
        throw std::logic_error("a window was used before the application was attached");
    return *app;
}

// The start-up of both programs: the platform, the windows, the application on them; then the
// event loop. Returns the exit code.
int startUp(const CommandLine &line, const std::function<std::unique_ptr<Desktop>()> &makeDesktop);

} // namespace quillpost
