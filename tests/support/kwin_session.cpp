#include "wayland_session.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace quillpost::test {
namespace {

// A window's title in a script as its program gave it: KWin makes one that another window has too
// unique, with " <2>" and a direction mark after it.
constexpr const char *kTitle = "c.caption.replace(/ <\\d+>\\u200e?$/, \"\")";

// A KWin on a virtual output with a session bus of its own, run as the test's user (KWin reads a
// client's /proc/PID/exe) from a copy named exactly kwin_wayland (a container may refuse the
// installed file's capability). KWin offers its window list and fake keys only to programs whose
// .desktop file names them: the session installs one for each binary it trusts. Windows are found
// through KWin's scripting.
class KwinSession : public WaylandSession
{
public:
    explicit KwinSession(DesktopOptions options)
        : WaylandSession(options,
            { "kwin_wayland", "weston-terminal", "dbus-run-session", "dbus-send", "Xwayland",
                "xdotool" })
    {
        std::filesystem::create_directories(file("share/applications"));
        std::filesystem::create_directories(file("config"));
        options.trusted.push_back(std::filesystem::read_symlink("/proc/self/exe").string());
        for (std::size_t i = 0; i < options.trusted.size(); ++i)
            std::ofstream(
                file("share/applications/quillpost-test-" + std::to_string(i) + ".desktop"))
                << "[Desktop Entry]\nType=Application\nName=Quillpost test " << i
                << "\nExec=" << options.trusted[i]
                << "\nX-KDE-Wayland-Interfaces=org_kde_plasma_window_management,"
                   "org_kde_kwin_fake_input,org_kde_kwin_keystate\n";
        std::ofstream(file("config/kxkbrc"))
            << "[Layout]\nLayoutList=" << options.layout << "\nUse=true\n";
        const std::string kwin = file("kwin_wayland");
        if (!run({ "sh", "-c", "cp \"$(command -v kwin_wayland)\" \"$0\"", kwin }))
            throw std::runtime_error("cannot copy kwin_wayland");
        std::vector<std::string> argv { "env", "XDG_DATA_HOME=" + file("share"),
            "XDG_CONFIG_HOME=" + file("config"), "XDG_CACHE_HOME=" + file("cache"),
            "dbus-run-session", "--", kwin, "--virtual", "--socket", "wayland-kwin", "--width",
            "1280", "--height", "800", "--no-lockscreen", "--no-global-shortcuts",
            "--no-kactivities" };
        if (options.xwayland)
            argv.push_back("--xwayland");
        argv.push_back(ready()); // started once KWin is up, and XWayland too
        launch("KWin", argv, options.xwayland);
    }

    bool focus(const std::string &title, bool dialog) const override
    {
        return windows(
            title, dialog ? "c.transient" : "!c.transient", "workspace.activeClient = c;");
    }
    bool focused(const std::string &title) const override
    {
        return windows(title, "c == workspace.activeClient");
    }
    int windowsTitled(const std::string &title) const override
    {
        return static_cast<int>(windows(title, "true"));
    }

private:
    // foot crashes on KWin's virtual output; weston-terminal does not.
    std::vector<std::string> terminal(const std::string &script) const override
    {
        return { "weston-terminal", "--shell=" + script };
    }

    // How many windows titled `title` meet `condition` (JavaScript on a window c), after `action`.
    std::size_t windows(const std::string &title, const std::string &condition,
        const std::string &action = "") const
    {
        // KWin prints what a script prints on its own output, after "js: ".
        const std::string tag = "quillpost-" + std::to_string(++scripts_), path = file(tag + ".js");
        std::ofstream(path) << "workspace.clientList().forEach(function (c) {\n    if (" << kTitle
                            << " == '" << title << "' && " << condition << ") {\n        " << action
                            << "\n        print('" << tag << " found');\n    }\n});\n"
                            << "print('" << tag << " end');\n";
        const std::string call = "dbus-send --session --print-reply=literal --dest=org.kde.KWin ";
        const bool ran = run({ "sh", "-c",
            "export DBUS_SESSION_BUS_ADDRESS=" + shellQuoted(bus_) + "; id=$(" + call
                + "/Scripting org.kde.kwin.Scripting.loadScript string:" + path + " string:" + tag
                + " | awk '{ print $2 }') && " + call + "/$id org.kde.kwin.Script.run && " + call
                + "/Scripting org.kde.kwin.Scripting.unloadScript string:" + tag + " >/dev/null" });
        std::size_t found = 0;
        const bool ended = ran && waitFor([&] {
            const std::string log = readFile(file("compositor.log"));
            const std::string line = "js: " + tag + " found\n";
            found = 0;
            for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
                ++found;
            return log.find("js: " + tag + " end\n") != std::string::npos;
        });
        if (!ended)
            throw std::runtime_error("KWin did not run the script " + path);
        return found;
    }

    mutable int scripts_ = 0;
};

} // namespace

const WaylandDesktop kKwin { "KWin",
    [](const DesktopOptions &options) -> std::unique_ptr<WaylandSession> {
        return std::make_unique<KwinSession>(options);
    } };

} // namespace quillpost::test
