#include "kwin_session.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

namespace quillpost::test {
namespace {

namespace fs = std::filesystem;

constexpr const char *kSocketName = "wayland-kwin";

// The program's path as the shell finds it; "" when it is not on PATH.
std::string located(const std::string &program)
{
    std::string path(std::getenv("PATH") ? std::getenv("PATH") : "");
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t end = std::min(path.find(':', at), path.size());
        const fs::path candidate = fs::path(path.substr(at, end - at)) / program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        at = end + 1;
    }
    return "";
}

std::string lastLine(const std::string &text)
{
    const std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
    return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

} // namespace

std::string KwinSession::unavailable()
{
    for (const char *program :
        { "kwin_wayland", "weston-terminal", "dbus-run-session", "Xwayland" })
        if (located(program).empty())
            return std::string(program) + " is not installed";
    return "";
}

KwinSession::KwinSession(Options options)
{
    if (const std::string why = unavailable(); !why.empty())
        throw std::runtime_error(why);
    chmod(dir_.path().c_str(), 0700);
    fs::create_directories(file("share/applications"));
    fs::create_directories(file("config"));
    options.trusted.push_back(fs::read_symlink("/proc/self/exe").string());
    for (std::size_t i = 0; i < options.trusted.size(); ++i)
        std::ofstream(file("share/applications/quillpost-test-" + std::to_string(i) + ".desktop"))
            << "[Desktop Entry]\nType=Application\nName=Quillpost test " << i
            << "\nExec=" << options.trusted[i]
            << "\nX-KDE-Wayland-Interfaces=org_kde_plasma_window_management,"
               "org_kde_kwin_fake_input,org_kde_kwin_keystate\n";
    std::ofstream(file("config/kxkbrc"))
        << "[Layout]\nLayoutList=" << options.layout << "\nUse=true\n";

    const std::string kwin = file("kwin_wayland");
    fs::copy_file(located("kwin_wayland"), kwin);
    // KWin starts the programs it is given once it is up (with XWayland, once that is too).
    const std::string ready = file("ready");
    std::ofstream(ready) << "#!/bin/sh\necho \"$DISPLAY\" > " << shellQuoted(file("display"))
                         << "\n";
    chmod(ready.c_str(), 0700);
    kwin_ = spawnWithoutDisplay({ "sh", "-c",
        "exec env -u WAYLAND_DISPLAY XDG_RUNTIME_DIR=" + shellQuoted(dir_.path())
            + " XDG_DATA_HOME=" + shellQuoted(file("share")) + " XDG_CONFIG_HOME="
            + shellQuoted(file("config")) + " XDG_CACHE_HOME=" + shellQuoted(file("cache"))
            + " dbus-run-session -- " + shellQuoted(kwin) + " --virtual --socket " + kSocketName
            + " --width 1280 --height 800 --no-lockscreen --no-global-shortcuts"
              " --no-kactivities"
            + (options.xwayland ? " --xwayland " : " ") + shellQuoted(ready) + " >"
            + shellQuoted(file("kwin.log")) + " 2>&1" });
    const bool up = waitFor([&] {
        const std::string display = readFile(file("display"));
        xDisplay_ = display.substr(0, display.find('\n'));
        return (display.ends_with('\n') && (!options.xwayland || !xDisplay_.empty()))
            || !kwin_.running();
    });
    socket_ = file(kSocketName);
    if (!kwin_.running())
        throw std::runtime_error("KWin ended at start: " + lastLine(readFile(file("kwin.log"))));
    if (!up)
        throw std::runtime_error("KWin did not come up");
}

KwinSession::~KwinSession() = default;

Child KwinSession::spawn(const std::vector<std::string> &argv) const
{
    std::vector<std::string> run { "env", "XDG_RUNTIME_DIR=" + dir_.path(),
        "WAYLAND_DISPLAY=" + socket_ };
    if (!xDisplay_.empty())
        run.push_back("DISPLAY=" + xDisplay_);
    run.insert(run.end(), argv.begin(), argv.end());
    return spawnWithoutDisplay(run);
}

Child KwinSession::recorder(const std::string &title, const std::string &file) const
{
    // weston-terminal has no title option, but takes the title escape sequence.
    const std::string script = file + ".sh";
    std::ofstream(script) << "#!/bin/sh\nprintf '\\033]2;%s\\007' " << shellQuoted(title)
                          << "\nstty raw -echo\nexec cat > " << shellQuoted(file) << "\n";
    chmod(script.c_str(), 0700);
    return spawn({ "weston-terminal", "--shell=" + script });
}

} // namespace quillpost::test
