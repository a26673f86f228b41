#pragma once

#include "x_session.h"

#include <string>
#include <vector>

namespace quillpost::test {

// A headless sway for the tests of wlroots desktops, with XWayland. sway refuses to run as root,
// so under root it runs as the ordinary user kSwayUser (scripts/install-deps makes one), and
// so does every program started in it.
class SwaySession
{
public:
    static constexpr const char *kSwayUser = "quillpost-test";

    // Why no sway can start on this machine, for a skip message; "" when one can.
    static std::string unavailable();

    // `layout` is the XKB layout of the seat's keyboards, as the player's would be. Throws
    // std::runtime_error when sway or XWayland does not come up.
    explicit SwaySession(const std::string &layout = "us");
    ~SwaySession();
    SwaySession(const SwaySession &) = delete;
    SwaySession &operator=(const SwaySession &) = delete;

    // The compositor's socket as an absolute path, for WAYLAND_DISPLAY.
    const std::string &socket() const { return socket_; }
    // XWayland's display, for DISPLAY.
    const std::string &xDisplay() const { return xDisplay_; }
    // A folder the session's user may write to, removed with the session.
    std::string file(const std::string &name) const { return dir_.file(name); }

    // Starts a program in the session, as the session's user.
    Child spawn(const std::vector<std::string> &argv) const;
    // A foot terminal titled `title` whose program writes every byte it receives to `file`.
    Child recorder(const std::string &title, const std::string &file) const;
    // A sway command, as swaymsg takes it ("[title=\"zMUD\"] focus"); whether sway did it.
    bool command(const std::string &command) const;
    // Whether the window titled exactly `title` holds the keyboard, as sway itself reports it.
    bool focused(const std::string &title) const;
    // How many windows are titled exactly `title`, as sway itself reports it.
    int windowsTitled(const std::string &title) const;

private:
    bool swaymsg(const std::string &arguments, const std::string &output) const;
    std::vector<std::string> asUser(std::vector<std::string> argv) const;

    TempDir dir_; // XDG_RUNTIME_DIR and the tests' files
    std::string socket_;
    std::string xDisplay_;
    Child sway_;
};

} // namespace quillpost::test
