#include "app/run.h"

#include "app/application.h"
#include "main_window.h"
#include "other_windows.h"

#include "platform/factory.h"

#include <windows.h>

#include <timeapi.h>

namespace quillpost {
namespace {

// Keys for a modeless dialog (Tab, Enter, Esc) go to that dialog.
bool dialogMessage(MSG &msg, HWND main)
{
    HWND active = GetActiveWindow();
    return active && active != main && IsDialogMessageW(active, &msg);
}

} // namespace

int run(int, char **)
{
    // The send timer is armed for each tick; the system's default grain would make it late.
    timeBeginPeriod(1);
    auto platform = makePlatform();
    MainWindow window;
    // The other windows reach the application through this, once it exists.
    Application *appForWindows = nullptr;
    Win32ViewerHost viewerHost(appForWindows);
    Win32AboutWindow frmAbout(appForWindows);
    Application app(*platform, window.controls(), OtherWindows { viewerHost, frmAbout });
    appForWindows = &app;
    app.Form_Load();
    window.attach(app);
    window.show();

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(window.handle(), window.accelerators(), &msg))
            continue;
        if (dialogMessage(msg, window.handle()))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    timeEndPeriod(1);
    return static_cast<int>(msg.wParam);
}

} // namespace quillpost
