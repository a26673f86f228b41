#pragma once

#include "x_session.h"

#include <string>
#include <vector>

namespace quillpost::test {

// A headless gnome-shell for the tests of the GNOME path, on a session bus of its own, with a
// second private bus standing in for the system bus (it dies at start without one), and its
// settings in a key file of its own. Quillpost's Shell extension is installed from the source tree.
class GnomeSession
{
public:
    struct Options
    {
        std::string layout = "us"; // the player's input source
        bool extension = true; // enabled in the Shell's settings
    };

    // Why no gnome-shell can start on this machine, for a skip message; "" when one can.
    static std::string unavailable();

    // Throws std::runtime_error when the Shell does not come up.
    explicit GnomeSession(Options options);
    GnomeSession() : GnomeSession(Options {}) { }
    ~GnomeSession();
    GnomeSession(const GnomeSession &) = delete;
    GnomeSession &operator=(const GnomeSession &) = delete;

    // For DBUS_SESSION_BUS_ADDRESS and WAYLAND_DISPLAY.
    const std::string &bus() const { return bus_; }
    const std::string &socket() const { return socket_; }
    std::string file(const std::string &name) const { return dir_.file(name); }

    // Starts a program in the session.
    Child spawn(const std::vector<std::string> &argv) const;
    // A Wayland-native foot terminal titled `title` whose program writes every byte it receives
    // to `file`.
    Child recorder(const std::string &title, const std::string &file) const;

private:
    std::vector<std::string> inSession(std::vector<std::string> argv) const;

    TempDir dir_; // runtime folder, home, settings, and the tests' files
    std::string bus_;
    std::string socket_;
    Child shell_;
};

} // namespace quillpost::test
