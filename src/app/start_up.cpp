#include "start_up.h"

#include "platform/factory.h"

namespace quillpost {

int startUp(const CommandLine &line, const std::function<std::unique_ptr<Desktop>()> &makeDesktop)
{
    const std::unique_ptr<Platform> platform = makePlatform();
    const std::unique_ptr<Desktop> desktop = makeDesktop();
    Application app(*platform, desktop->controls(), desktop->otherWindows());
    app.Form_Load();
    app.setClientTitle(line.clientTitle);
    desktop->attach(app);
    desktop->showMainWindow();
    return desktop->exec();
}

} // namespace quillpost
