#include "app/run.h"

#include "app/command_line.h"
#include "app/start_up.h"
#include "main_window.h"

#include <windows.h>

#include <timeapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace quillpost {
namespace {

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
    const int code = startUp(line, [] { return std::make_unique<MainWindow>(); });
    timeEndPeriod(1);
    return code;
}

} // namespace quillpost
