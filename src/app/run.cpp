#include "run.h"

#include "application.h"
#include "main_window.h"
#include "other_windows.h"

#include "platform/factory.h"

#include <QApplication>

namespace quillpost {

int run(int argc, char **argv)
{
    // XTest reaches X11 windows only; on a Wayland desktop that means running under XWayland.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillpost"));
    QApplication::setApplicationVersion(QStringLiteral("1.2.6"));

    MainWindow window;
    auto platform = makePlatform();
    // The other windows reach the application through this, once it exists.
    Application *appForWindows = nullptr;
    QtViewerHost viewerHost(appForWindows);
    QtAboutWindow frmAbout(appForWindows);
    Application app(*platform, window.controls(), OtherWindows { viewerHost, frmAbout });
    appForWindows = &app;
    app.Form_Load();
    window.attach(app);
    window.show();
    return QApplication::exec();
}

} // namespace quillpost
