#include "gnome_session.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace quillpost::test {

std::string GnomeSession::unavailable()
{
    return missing({ "gnome-shell", "dbus-run-session", "gdbus", "foot" });
}

GnomeSession::GnomeSession(Options options) : layout_(options.layout)
{
    std::string why = unavailable();
    if (why.empty() && options.xwayland)
        why = missing({ "Xwayland", "xdotool", "xclip", "xterm" });
    if (!why.empty())
        throw std::runtime_error(why);
    namespace fs = std::filesystem;
    fs::create_directories(file("home"));
    fs::create_directories(file("config/glib-2.0/settings"));
    const std::string extensions = file("data/gnome-shell/extensions");
    fs::create_directories(extensions);
    fs::copy(QUILLPOST_GNOME_EXTENSION,
        extensions + "/" + fs::path(QUILLPOST_GNOME_EXTENSION).filename().string());
    std::ofstream(file("config/glib-2.0/settings/keyfile"))
        << "[org/gnome/shell]\n"
        << "welcome-dialog-last-shown-version='999'\n"
        << "enabled-extensions=[" << (options.extension ? "'quillpost@quillpost'" : "") << "]\n"
        << "[org/gnome/desktop/input-sources]\n"
        << "sources=[('xkb', '" << options.layout << "')]\n";
    asUser_ = { "env", "HOME=" + file("home"), "XDG_CONFIG_HOME=" + file("config"),
        "XDG_DATA_HOME=" + file("data"), "GSETTINGS_BACKEND=keyfile" };
    const std::string socket = file("wayland-gnome");
    // The outer bus stands in for the system bus; the inner one is the session's.
    std::ofstream(file("shell.sh"))
        << "export DBUS_SYSTEM_BUS_ADDRESS=\"$DBUS_SESSION_BUS_ADDRESS\"\n"
        << "exec dbus-run-session -- sh -c 'echo \"$DBUS_SESSION_BUS_ADDRESS\" > " << file("bus")
        << "; exec gnome-shell --wayland --headless --unsafe-mode"
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
    // It starts in the Overview, whose search takes the keys; hidden before its start-up is over,
    // it comes back over the windows opened next.
    const bool ready = waitFor([&] {
        return eval("Main.layoutManager._startingUp || Main.overview.visible"
                    " ? (Main.layoutManager._startingUp || Main.overview.hide(), 'no') : 'yes'")
            == "\"yes\"";
    });
    if (!ready)
        throw std::runtime_error("gnome-shell did not leave its Overview");
}

std::string GnomeSession::eval(const std::string &script) const
{
    const std::string out = file("eval");
    const bool ran = run({ "sh", "-c",
        "DBUS_SESSION_BUS_ADDRESS=\"$2\" gdbus call --session --dest org.gnome.Shell "
        "--object-path /org/gnome/Shell --method org.gnome.Shell.Eval \"$1\" > \"$0\"",
        out, script, bus_ });
    // gdbus prints (true, 'JSON') when the script ran.
    const std::string reply = ran ? readFile(out) : "";
    const std::string head = "(true, '";
    if (!reply.starts_with(head))
        return "";
    return reply.substr(head.size(), reply.rfind("')") - head.size());
}

void GnomeSession::press(const std::vector<std::string> &keys)
{
    std::vector<std::string> argv { "xdotool", "key", "--delay", "100" };
    argv.insert(argv.end(), keys.begin(), keys.end());
    if (!run(argv))
        throw std::runtime_error("xdotool could not press the keys");
}

void GnomeSession::type(const std::string &text)
{
    if (!run({ "xdotool", "type", "--delay", "20", text }))
        throw std::runtime_error("xdotool could not type " + text);
}

} // namespace quillpost::test
