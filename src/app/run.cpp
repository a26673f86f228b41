#include "run.h"

#include "application.h"
#include "command_line.h"
#include "main_window.h"
#include "other_windows.h"

#include "platform/factory.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

namespace quillpost {

int run(int argc, char **argv)
{
    // Read before Qt starts, so that --help and --version need no display.
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (line.action != CommandLine::Action::Run) {
        std::fputs(line.text.c_str(), line.action == CommandLine::Action::Refuse ? stderr : stdout);
        return line.action == CommandLine::Action::Refuse ? 2 : 0;
    }

    // XTest reaches X11 windows only; on a Wayland desktop that means running under XWayland.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillpost"));
    QApplication::setApplicationVersion(QString::fromLatin1(
        programVersion().data(), static_cast<qsizetype>(programVersion().size())));

    MainWindow window;
    auto platform = makePlatform();
    // The other windows reach the application through this, once it exists.
    Application *appForWindows = nullptr;
    QtViewerHost viewerHost(appForWindows);
    QtAboutWindow frmAbout(appForWindows);
    Application app(*platform, window.controls(), OtherWindows { viewerHost, frmAbout });
    appForWindows = &app;
    app.Form_Load();
    app.setClientTitle(line.clientTitle);
    window.attach(app);
    window.show();
    return QApplication::exec();
}

} // namespace quillpost
