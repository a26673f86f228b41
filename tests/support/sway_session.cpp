#include "sway_session.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <pwd.h>
#include <unistd.h>

namespace quillpost::test {

std::string SwaySession::unavailable()
{
    if (geteuid() == 0 && !getpwnam(kSwayUser))
        return std::string("sway refuses to run as root, and there is no user ") + kSwayUser
            + " to run it as (scripts/install-deps test makes one)";
    return missing({ "sway", "swaymsg", "foot", "Xwayland" });
}

SwaySession::SwaySession(const std::string &layout)
{
    if (const std::string why = unavailable(); !why.empty())
        throw std::runtime_error(why);
    if (geteuid() == 0) {
        const passwd *user = getpwnam(kSwayUser);
        if (chown(dir_.path().c_str(), user->pw_uid, user->pw_gid) != 0)
            throw std::runtime_error("cannot give " + dir_.path() + " to " + kSwayUser);
        asUser_ = { "runuser", "-u", kSwayUser, "--" };
    }
    std::ofstream(file("sway.conf"))
        << "output HEADLESS-1 resolution 1280x800\nxwayland force\n"
        << "input type:keyboard xkb_layout " << layout << "\nexec " << ready() << "\n";
    launch("sway",
        { "env", "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
            "sway", "-c", file("sway.conf") },
        true);
    keyboard_ = std::make_unique<SeatKeyboard>(socket(), layout);
}

std::vector<std::string> SwaySession::terminal(const std::string &script) const
{
    return { "foot", script };
}

bool SwaySession::swaymsg(const std::string &arguments, const std::string &output) const
{
    // swaymsg finds sway's socket through SWAYSOCK, which only sway's children inherit.
    return run({ "sh", "-c",
        "SWAYSOCK=$(ls \"$XDG_RUNTIME_DIR\"/sway-ipc.*.sock) exec swaymsg " + arguments + " >"
            + shellQuoted(output) });
}

int SwaySession::windowsTitled(const std::string &title) const
{
    swaymsg("-t get_tree | grep -c " + shellQuoted("\"name\": \"" + title + "\","), file("count"));
    return std::atoi(readFile(file("count")).c_str());
}

} // namespace quillpost::test
