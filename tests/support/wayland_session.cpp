#include "wayland_session.h"

#include "platform/wayland/wl_events.h"

#include "fake-input-client.h"

#include <wayland-client.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <sys/stat.h>
#include <sys/wait.h>

namespace quillpost::test {

WaylandSession::WaylandSession(
    const DesktopOptions &options, std::initializer_list<const char *> programs)
    : layout_(options.layout)
{
    for (const char *program : programs)
        if (!onPath(program))
            throw std::runtime_error(std::string(program) + " is not installed");
    chmod(dir_.path().c_str(), 0700);
    // Readable by the session's user, who may not be the test's.
    std::ofstream(ready())
        << "#!/bin/sh\nprintf '%s\\n%s\\n%s\\n' \"$WAYLAND_DISPLAY\" \"$DISPLAY\" "
           "\"$DBUS_SESSION_BUS_ADDRESS\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n";
    chmod(ready().c_str(), 0755);
}

void WaylandSession::launch(
    const std::string &name, const std::vector<std::string> &argv, bool xwayland)
{
    std::vector<std::string> logged { "sh", "-c",
        "exec \"$@\" >" + shellQuoted(file("compositor.log")) + " 2>&1", "sh" };
    logged.insert(logged.end(), argv.begin(), argv.end());
    compositor_ = spawn(logged);
    std::string said[3];
    const bool up = waitFor([&] {
        std::istringstream lines(readFile(ready() + ".out"));
        for (std::string &line : said)
            std::getline(lines, line);
        return (!said[0].empty() && (!xwayland || !said[1].empty())) || !compositor_.running();
    });
    if (!compositor_.running() || !up) {
        std::string log = readFile(file("compositor.log"));
        log = log.substr(0, log.find_last_not_of('\n') + 1);
        throw std::runtime_error(name + " did not come up: " + log.substr(log.rfind('\n') + 1));
    }
    socket_ = said[0].starts_with('/') ? said[0] : file(said[0]);
    xDisplay_ = said[1];
    bus_ = said[2];
}

Child WaylandSession::spawn(const std::vector<std::string> &argv) const
{
    std::vector<std::string> run = asUser_;
    run.insert(run.end(), { "env", "-u", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR=" + dir_.path() });
    if (!socket_.empty())
        run.push_back("WAYLAND_DISPLAY=" + socket_);
    if (!xDisplay_.empty())
        run.push_back("DISPLAY=" + xDisplay_);
    if (!bus_.empty())
        run.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus_);
    run.insert(run.end(), argv.begin(), argv.end());
    return spawnProgram(run);
}

bool WaylandSession::run(const std::vector<std::string> &argv) const
{
    const auto status = spawn(argv).wait(kPatience);
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

Child WaylandSession::terminal(
    const std::string &title, const std::vector<std::string> &argv, bool xterm) const
{
    // Every terminal here takes its title from the title escape sequence.
    const std::string script = file("terminal" + std::to_string(++terminals_) + ".sh");
    std::ofstream out(script);
    out << "#!/bin/sh\nprintf '\\033]2;%s\\007' " << shellQuoted(title) << "\nexec";
    for (const std::string &arg : argv)
        out << " " << shellQuoted(arg);
    out << "\n";
    out.close();
    chmod(script.c_str(), 0755);
    return spawn(
        xterm ? std::vector<std::string> { "xterm", "-e", script } : nativeTerminal(script));
}

Child WaylandSession::recorder(const std::string &title, const std::string &file, bool xterm) const
{
    // Now and then a terminal started on a loaded gnome-shell never shows a window: another one
    // is started then, as a player would.
    Child started;
    const int before = windowsTitled(title);
    for (int tries = 0; tries < 3; ++tries) {
        started
            = terminal(title, { "sh", "-c", "stty raw -echo && exec cat > \"$0\"", file }, xterm);
        if (waitFor([&] { return windowsTitled(title) == before + 1; }, kPatience / 3))
            break;
    }
    return started;
}

void WaylandSession::press(const std::vector<std::string> &keys)
{
    std::vector<std::string> argv { "xdotool", "key", "--delay", "100" };
    argv.insert(argv.end(), keys.begin(), keys.end());
    if (!run(argv))
        throw std::runtime_error("xdotool could not press the keys");
}

void WaylandSession::type(const std::string &text)
{
    if (!run({ "xdotool", "type", "--delay", "20", text }))
        throw std::runtime_error("xdotool could not type " + text);
}

namespace {

// A window's title in a script as its program gave it: KWin makes one that another window has too
// unique, with " <2>" and a direction mark after it.
constexpr const char *kTitle = "c.caption.replace(/ <\\d+>\\u200e?$/, \"\")";

// A KWin with a session bus of its own, run as the test's user (KWin reads a client's
// /proc/PID/exe) from a copy named kwin_wayland (a container may refuse the installed file's
// capability). Its window list and fake keys go to a program whose .desktop file names them;
// windows are found through its scripting.
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
    int windowsTitled(const std::string &title) const override { return windows(title, "true"); }

    bool tapCapsLock() const override
    {
        static const wl_registry_listener listener {
            [](void *data, wl_registry *registry, std::uint32_t name, const char *interface,
                std::uint32_t) {
                if (std::string_view(interface) == org_kde_kwin_fake_input_interface.name)
                    *static_cast<org_kde_kwin_fake_input **>(data)
                        = static_cast<org_kde_kwin_fake_input *>(wl_registry_bind(
                            registry, name, &org_kde_kwin_fake_input_interface, 4));
            },
            [](void *, wl_registry *, std::uint32_t) {}
        };
        setenv("WAYLAND_DISPLAY", socket_.c_str(), 1);
        wl::Connection kwin;
        org_kde_kwin_fake_input *input = nullptr;
        if (!kwin.open(&listener, &input).empty() || !input)
            return false;
        org_kde_kwin_fake_input_authenticate(input, "test", "Caps Lock");
        for (const std::uint32_t pressed : { 1, 0 })
            org_kde_kwin_fake_input_keyboard_key(input, 58, pressed); // evdev's Caps Lock
        const bool sent = kwin.sync();
        org_kde_kwin_fake_input_destroy(input);
        return sent;
    }

private:
    // foot crashes on KWin's virtual output; weston-terminal does not.
    std::vector<std::string> nativeTerminal(const std::string &script) const override
    {
        return { "weston-terminal", "--shell=" + script };
    }

    // How many windows titled `title` meet `condition` (JavaScript on a window c), after `action`.
    int windows(const std::string &title, const std::string &condition,
        const std::string &action = "") const
    {
        // KWin prints what a script prints on its own output, after "js: ".
        const std::string tag = "quillpost-" + std::to_string(++scripts_), path = file(tag + ".js");
        std::ofstream(path) << "var n = 0;\nworkspace.clientList().forEach(function (c) {\n    if ("
                            << kTitle << " == '" << title << "' && " << condition << ") {\n        "
                            << action << "\n        ++n;\n    }\n});\nprint('" << tag
                            << " ' + n);\n";
        const std::string call = "dbus-send --session --print-reply=literal --dest=org.kde.KWin ";
        const bool ran = run({ "sh", "-c",
            "id=$(" + call + "/Scripting org.kde.kwin.Scripting.loadScript string:" + path
                + " string:" + tag + " | awk '{ print $2 }') && " + call
                + "/$id org.kde.kwin.Script.run && " + call
                + "/Scripting org.kde.kwin.Scripting.unloadScript string:" + tag + " >/dev/null" });
        const std::string said = "js: " + tag + " ";
        std::string log;
        if (!ran || !waitFor([&] {
                return (log = readFile(file("compositor.log"))).find(said) != std::string::npos;
            }))
            throw std::runtime_error("KWin did not run the script " + path);
        return std::atoi(log.c_str() + log.find(said) + said.size());
    }

    mutable int scripts_ = 0;
};

// A headless gnome-shell on a bus of its own, another standing in for the system bus (it dies at
// start without one), with the extension from the source tree. In unsafe mode, windows are found
// and activated through its Eval, never through the extension under test.
class GnomeSession : public WaylandSession
{
public:
    explicit GnomeSession(const DesktopOptions &options)
        : WaylandSession(options,
            { "gnome-shell", "dbus-run-session", "gdbus", "foot", "Xwayland", "xdotool", "xclip",
                "xterm" })
    {
        namespace fs = std::filesystem;
        for (const char *dir :
            { "home", "config/glib-2.0/settings", "data/gnome-shell/extensions" })
            fs::create_directories(file(dir));
        fs::copy(
            QUILLPOST_GNOME_EXTENSION, file("data/gnome-shell/extensions/quillpost@quillpost"));
        std::ofstream(file("config/glib-2.0/settings/keyfile"))
            << "[org/gnome/shell]\nwelcome-dialog-last-shown-version='999'\n"
            << "enabled-extensions=[" << (options.extension ? "'quillpost@quillpost'" : "")
            << "]\n[org/gnome/desktop/input-sources]\nsources=[('xkb', '" << options.layout
            << "')]\n";
        asUser_ = { "env", "HOME=" + file("home"), "XDG_CONFIG_HOME=" + file("config"),
            "XDG_DATA_HOME=" + file("data"), "GSETTINGS_BACKEND=keyfile" };
        const std::string socket = file("wayland-gnome");
        // The outer bus stands in for the system bus; the inner one is the session's.
        std::ofstream(file("shell.sh"))
            << "export DBUS_SYSTEM_BUS_ADDRESS=\"$DBUS_SESSION_BUS_ADDRESS\"\n"
            << "exec dbus-run-session -- sh -c 'echo \"$DBUS_SESSION_BUS_ADDRESS\" > "
            << file("bus") << "; exec gnome-shell --wayland --headless --unsafe-mode"
            << (options.xwayland ? "" : " --no-x11")
            << " --virtual-monitor 1280x800 --wayland-display=" << socket << "'\n";
        compositor_ = spawn({ "dbus-run-session", "--", "sh", file("shell.sh") });
        // mutter sets the Shell's DISPLAY and XAUTHORITY once XWayland is up. The Shell starts in
        // the Overview, whose search takes the keys; hidden before its start-up is over, it comes
        // back over the windows opened next.
        std::string said;
        const bool up = waitFor([&] {
            const std::string bus = readFile(file("bus"));
            bus_ = bus.substr(0, bus.find('\n'));
            if (!bus.ends_with('\n') || !fs::exists(socket))
                return false;
            said = eval("GLib.getenv('DISPLAY') + ' ' + GLib.getenv('XAUTHORITY')");
            return said.starts_with('"') && (!options.xwayland || !said.starts_with("\"null"))
                && eval("Main.layoutManager._startingUp || Main.overview.visible"
                        " ? (Main.layoutManager._startingUp || Main.overview.hide(), 'no') : 'yes'")
                == "\"yes\"";
        });
        if (!up)
            throw std::runtime_error("gnome-shell did not come up, out of its Overview");
        socket_ = socket;
        if (options.xwayland) {
            const std::size_t space = said.find(' ');
            xDisplay_ = said.substr(1, space - 1);
            asUser_.push_back("XAUTHORITY=" + said.substr(space + 1, said.size() - space - 2));
        }
    }

    bool focus(const std::string &title, bool dialog) const override
    {
        return eval(windows(title, dialog ? "w.get_transient_for()" : "!w.get_transient_for()")
                   + ".map(w => Main.activateWindow(w)).length > 0")
            == "true";
    }
    bool focused(const std::string &title) const override
    {
        return eval("global.display.focus_window?.title == '" + title + "'") == "true";
    }
    int windowsTitled(const std::string &title) const override
    {
        return std::atoi(eval(windows(title, "true") + ".length").c_str());
    }

    // The Shell's own virtual keyboard, as the player's keyboard would.
    bool tapCapsLock() const override
    {
        const std::string clutter = "imports.gi.Clutter",
                          seat = clutter + ".get_default_backend().get_default_seat()";
        eval("const k = " + seat + ".create_virtual_device(" + clutter
            + ".InputDeviceType.KEYBOARD_DEVICE); const t = imports.gi.GLib.get_monotonic_time();"
            + " k.notify_keyval(t, 0xffe5, " + clutter + ".KeyState.PRESSED);"
            + " k.notify_keyval(t, 0xffe5, " + clutter + ".KeyState.RELEASED);");
        return waitFor(
            [&] { return eval(seat + ".get_keymap().get_caps_lock_state()") == "true"; });
    }

private:
    // The windows titled `title` that meet `condition` (JavaScript on a window w), as a JS array.
    static std::string windows(const std::string &title, const std::string &condition)
    {
        return "global.get_window_actors().map(a => a.meta_window).filter(w => w.title == '" + title
            + "' && " + condition + ")";
    }

    // What `script` gives as JSON in the Shell; "" when it fails.
    std::string eval(const std::string &script) const
    {
        const std::string out = file("eval");
        const bool ran = run({ "sh", "-c",
            "exec gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell "
            "--method org.gnome.Shell.Eval \"$1\" > \"$0\"",
            out, script });
        // gdbus prints (true, 'JSON') when the script ran.
        const std::string reply = ran ? readFile(out) : "", head = "(true, '";
        if (!reply.starts_with(head))
            return "";
        return reply.substr(head.size(), reply.rfind("')") - head.size());
    }
};

} // namespace

const WaylandDesktop kKwin { "KWin", startSession<KwinSession> },
    kGnome { "GNOME", startSession<GnomeSession> };

} // namespace quillpost::test
