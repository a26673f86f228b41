#include "wayland_session.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace quillpost::test {
namespace {

// A headless gnome-shell on a session bus of its own, with a second private bus standing in for the
// system bus (it dies at start without one), and its settings in a key file of its own. Quillpost's
// Shell extension is installed from the source tree. The Shell runs in unsafe mode, so that windows
// are found and activated through its Eval, never through the extension under test.
class GnomeSession : public WaylandSession
{
public:
    explicit GnomeSession(const DesktopOptions &options)
        : WaylandSession(options,
            { "gnome-shell", "dbus-run-session", "gdbus", "foot", "Xwayland", "xdotool", "xclip",
                "xterm" })
    {
        namespace fs = std::filesystem;
        fs::create_directories(file("home"));
        fs::create_directories(file("config/glib-2.0/settings"));
        const std::string extensions = file("data/gnome-shell/extensions");
        fs::create_directories(extensions);
        fs::copy(QUILLPOST_GNOME_EXTENSION,
            extensions + "/" + fs::path(QUILLPOST_GNOME_EXTENSION).filename().string());
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
        // mutter sets the Shell's DISPLAY and XAUTHORITY once XWayland is up.
        std::string said;
        const bool up = waitFor([&] {
            const std::string bus = readFile(file("bus"));
            bus_ = bus.substr(0, bus.find('\n'));
            if (!bus.ends_with('\n') || !fs::exists(socket))
                return false;
            said = eval("GLib.getenv('DISPLAY') + ' ' + GLib.getenv('XAUTHORITY')");
            return said.starts_with('"') && (!options.xwayland || !said.starts_with("\"null"));
        });
        if (!up)
            throw std::runtime_error("gnome-shell did not come up");
        socket_ = socket;
        asUser_.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus_);
        if (options.xwayland) {
            const std::size_t space = said.find(' ');
            xDisplay_ = said.substr(1, space - 1);
            asUser_.push_back("XAUTHORITY=" + said.substr(space + 1, said.size() - space - 2));
        }
        // It starts in the Overview, whose search takes the keys; hidden before its start-up is
        // over, it comes back over the windows opened next.
        const bool ready = waitFor([&] {
            return eval("Main.layoutManager._startingUp || Main.overview.visible"
                        " ? (Main.layoutManager._startingUp || Main.overview.hide(), 'no') : 'yes'")
                == "\"yes\"";
        });
        if (!ready)
            throw std::runtime_error("gnome-shell did not leave its Overview");
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
            "DBUS_SESSION_BUS_ADDRESS=\"$2\" gdbus call --session --dest org.gnome.Shell "
            "--object-path /org/gnome/Shell --method org.gnome.Shell.Eval \"$1\" > \"$0\"",
            out, script, bus_ });
        // gdbus prints (true, 'JSON') when the script ran.
        const std::string reply = ran ? readFile(out) : "", head = "(true, '";
        if (!reply.starts_with(head))
            return "";
        return reply.substr(head.size(), reply.rfind("')") - head.size());
    }
};

} // namespace

const WaylandDesktop kGnome { "GNOME",
    [](const DesktopOptions &options) -> std::unique_ptr<WaylandSession> {
        return std::make_unique<GnomeSession>(options);
    } };

} // namespace quillpost::test
