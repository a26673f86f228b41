#include "app/run.h"

#include "app/application.h"
#include "app/command_line.h"
#include "main_window.h"
#include "other_windows.h"

#include "platform/factory.h"

#include <windows.h>

#include <timeapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace quillpost {
namespace {

// Keys for a modeless dialog (Tab, Enter, Esc) go to that dialog.
bool dialogMessage(MSG &msg, HWND main)
{
    HWND active = GetActiveWindow();
    return active && active != main && IsDialogMessageW(active, &msg);
}

// A windowed program has no console of its own: the text goes to the one it was started from,
// or into a box.
int answer(const CommandLine &line)
{
    const bool refused = line.action == CommandLine::Action::Refuse;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (std::FILE *out = std::fopen("CONOUT$", "w")) {
            std::fputs(line.text.c_str(), out);
            std::fclose(out);
        }
    } else {
        std::wstring text(line.text.begin(), line.text.end());
        MessageBoxW(nullptr, text.c_str(), L"Quillpost", MB_OK | (refused ? MB_ICONERROR : 0));
    }
    return refused ? 2 : 0;
}

} // namespace

int run(int argc, char **argv)
{
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (line.action != CommandLine::Action::Run)
        return answer(line);

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
    app.setClientTitle(line.clientTitle);
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
