#pragma once

#include "x_session.h"

#include <string>
#include <vector>

namespace quillpost::test {

// A KWin on a virtual output, with a session bus of its own, for the tests of KDE Plasma. The
// installed kwin_wayland carries a file capability that a container may refuse to run, so a copy
// runs, named exactly kwin_wayland. KWin lists its windows and takes fake keys only from programs
// whose .desktop file names those interfaces; the session installs one for each binary it trusts
// in its own data folder, before KWin reads the folder. It runs as the test's user: KWin reads
// a client's /proc/PID/exe, which it could not for another user's process.
class KwinSession
{
public:
    struct Options
    {
        std::string layout = "us"; // the player's XKB layout
        bool xwayland = false;
        std::vector<std::string> trusted; // absolute paths; the test's own binary always is
    };

    // Why no KWin can start on this machine, for a skip message; "" when one can.
    static std::string unavailable();

    // Throws std::runtime_error when KWin (or XWayland, when asked for) does not come up.
    explicit KwinSession(Options options);
    KwinSession() : KwinSession(Options {}) { }
    ~KwinSession();
    KwinSession(const KwinSession &) = delete;
    KwinSession &operator=(const KwinSession &) = delete;

    // The compositor's socket as an absolute path, for WAYLAND_DISPLAY.
    const std::string &socket() const { return socket_; }
    // XWayland's display, for DISPLAY; "" without XWayland.
    const std::string &xDisplay() const { return xDisplay_; }
    std::string file(const std::string &name) const { return dir_.file(name); }

    // Starts a program in the session, on its Wayland socket (and X display, if any).
    Child spawn(const std::vector<std::string> &argv) const;
    // A native terminal titled `title` whose program writes every byte it receives to `file`.
    // foot crashes on KWin's virtual output; weston-terminal does not.
    Child recorder(const std::string &title, const std::string &file) const;

private:
    TempDir dir_; // XDG_RUNTIME_DIR, the XDG folders KWin reads, and the tests' files
    std::string socket_;
    std::string xDisplay_;
    Child kwin_;
};

} // namespace quillpost::test
