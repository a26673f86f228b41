#include "sway_session.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillpost::test {

std::string SwaySession::unavailable()
{
    for (const char *program : { "sway", "swaymsg", "foot", "Xwayland" })
        if (!onPath(program))
            return std::string(program) + " is not installed";
    if (geteuid() == 0 && !getpwnam(kSwayUser))
        return std::string("sway refuses to run as root, and there is no user ") + kSwayUser
            + " to run it as (scripts/install-deps test makes one)";
    return "";
}

SwaySession::SwaySession(const std::string &layout)
{
    if (const std::string why = unavailable(); !why.empty())
        throw std::runtime_error(why);
    if (geteuid() == 0) {
        const passwd *user = getpwnam(kSwayUser);
        if (chown(dir_.path().c_str(), user->pw_uid, user->pw_gid) != 0)
            throw std::runtime_error("cannot give " + dir_.path() + " to " + kSwayUser);
    }
    chmod(dir_.path().c_str(), 0700);
    std::ofstream(file("sway.conf")) << "output HEADLESS-1 resolution 1280x800\n"
                                     << "xwayland force\n"
                                     << "input type:keyboard xkb_layout " << layout
                                     << "\n"
                                     // The tests read XWayland's display from here.
                                     << "exec echo $DISPLAY > " << file("display") << "\n";
    sway_ = spawnWithoutDisplay(asUser({ "env", "WLR_BACKENDS=headless",
        "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman", "sway", "-c", file("sway.conf") }));
    const bool up = waitFor([&] {
        for (const auto &entry : std::filesystem::directory_iterator(dir_.path())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("wayland-") && !name.ends_with(".lock"))
                socket_ = entry.path().string();
        }
        const std::string display = readFile(file("display"));
        xDisplay_ = display.substr(0, display.find('\n'));
        return !socket_.empty() && display.ends_with('\n') && !xDisplay_.empty();
    });
    if (!up)
        throw std::runtime_error("sway did not come up with XWayland");
}

SwaySession::~SwaySession() = default;

std::vector<std::string> SwaySession::asUser(std::vector<std::string> argv) const
{
    std::vector<std::string> run;
    if (geteuid() == 0)
        run = { "runuser", "-u", kSwayUser, "--" };
    run.insert(run.end(), { "env", "XDG_RUNTIME_DIR=" + dir_.path() });
    if (!socket_.empty())
        run.push_back("WAYLAND_DISPLAY=" + socket_);
    run.insert(run.end(), argv.begin(), argv.end());
    return run;
}

Child SwaySession::spawn(const std::vector<std::string> &argv) const
{
    return spawnWithoutDisplay(asUser(argv));
}

Child SwaySession::recorder(const std::string &title, const std::string &file) const
{
    return spawn({ "foot", "--title", title, "sh", "-c",
        "stty raw -echo; exec cat > " + shellQuoted(file) });
}

bool SwaySession::swaymsg(const std::string &arguments, const std::string &output) const
{
    // swaymsg finds sway's socket through SWAYSOCK, which only sway's children inherit.
    Child child = spawnWithoutDisplay(asUser({ "sh", "-c",
        "SWAYSOCK=$(ls \"$XDG_RUNTIME_DIR\"/sway-ipc.*.sock) exec swaymsg " + arguments + " >"
            + shellQuoted(output) }));
    const auto status = child.wait(kPatience);
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

bool SwaySession::command(const std::string &command) const
{
    return swaymsg(shellQuoted(command), "/dev/null");
}

int SwaySession::windowsTitled(const std::string &title) const
{
    if (!swaymsg("-t get_tree", file("tree.json")))
        return 0;
    const std::string tree = readFile(file("tree.json"));
    const std::string name = "\"name\": \"" + title + "\",";
    int count = 0;
    for (auto at = tree.find(name); at != std::string::npos; at = tree.find(name, at + 1))
        ++count;
    return count;
}

bool SwaySession::focused(const std::string &title) const
{
    return command("[title=\"^" + title + "$\" con_id=__focused__] nop");
}

} // namespace quillpost::test
