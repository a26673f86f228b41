#include "gnome_session.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <sys/stat.h>

namespace quillpost::test {

std::string GnomeSession::unavailable()
{
    for (const char *program : { "gnome-shell", "dbus-run-session", "foot" })
        if (!onPath(program))
            return std::string(program) + " is not installed";
    return "";
}

GnomeSession::GnomeSession(Options options)
{
    if (const std::string why = unavailable(); !why.empty())
        throw std::runtime_error(why);
    namespace fs = std::filesystem;
    fs::create_directories(file("run"));
    chmod(file("run").c_str(), 0700);
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
    socket_ = file("run/wayland-gnome");
    // The outer bus stands in for the system bus; the inner one is the session's.
    std::ofstream(file("shell.sh"))
        << "export DBUS_SYSTEM_BUS_ADDRESS=\"$DBUS_SESSION_BUS_ADDRESS\"\n"
        << "exec dbus-run-session -- sh -c 'echo \"$DBUS_SESSION_BUS_ADDRESS\" > " << file("bus")
        << "; exec gnome-shell --wayland --headless --no-x11"
        << " --virtual-monitor 1280x800 --wayland-display=" << socket_ << "'\n";
    shell_ = spawn({ "dbus-run-session", "--", "sh", file("shell.sh") });
    const bool up = waitFor([&] {
        const std::string bus = readFile(file("bus"));
        bus_ = bus.substr(0, bus.find('\n'));
        return bus.ends_with('\n') && fs::exists(socket_);
    });
    if (!up)
        throw std::runtime_error("gnome-shell did not come up");
}

GnomeSession::~GnomeSession() = default;

std::vector<std::string> GnomeSession::inSession(std::vector<std::string> argv) const
{
    std::vector<std::string> run { "env", "HOME=" + file("home"), "XDG_RUNTIME_DIR=" + file("run"),
        "XDG_CONFIG_HOME=" + file("config"), "XDG_DATA_HOME=" + file("data"),
        "GSETTINGS_BACKEND=keyfile" };
    if (!bus_.empty())
        run.insert(run.end(), { "DBUS_SESSION_BUS_ADDRESS=" + bus_, "WAYLAND_DISPLAY=" + socket_ });
    run.insert(run.end(), argv.begin(), argv.end());
    return run;
}

Child GnomeSession::spawn(const std::vector<std::string> &argv) const
{
    return spawnWithoutDisplay(inSession(argv));
}

Child GnomeSession::recorder(const std::string &title, const std::string &file) const
{
    return spawn({ "foot", "--title", title, "sh", "-c",
        "stty raw -echo; exec cat > " + shellQuoted(file) });
}

} // namespace quillpost::test
