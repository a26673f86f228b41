#pragma once

#include "x_session.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace quillpost::test {

struct DesktopOptions
{
    std::string layout = "us"; // the player's XKB layout
    bool xwayland = false; // sway always has it
    bool extension = true; // GNOME: Quillpost's Shell extension enabled
    std::vector<std::string> trusted = {}; // KWin: given its windows and fake keys, as the test is
};

// A Wayland desktop started for a test, in a folder that holds the test's files too: what a player
// sees and does there, through the desktop's own ways, never through the program under test.
class WaylandSession
{
public:
    virtual ~WaylandSession() = default;

    const std::string &socket() const { return socket_; } // an absolute path
    const std::string &bus() const { return bus_; } // the compositor's session bus
    std::string file(const std::string &name) const { return dir_.file(name); }

    // As the session's user, on its socket and X display; run() waits for a zero exit status.
    Child spawn(const std::vector<std::string> &argv) const;
    bool run(const std::vector<std::string> &argv) const;
    // The desktop's native terminal, or an xterm on XWayland, titled `title` and running `argv`.
    Child terminal(
        const std::string &title, const std::vector<std::string> &argv, bool xterm = false) const;
    // A terminal whose program writes every byte it receives to `file`, once the desktop lists it.
    Child recorder(const std::string &title, const std::string &file, bool xterm = false) const;

    // The dialog titled exactly `title` (a box bears the main window's title), or else the window
    // of that title that is no dialog, brought to the front.
    virtual bool focus(const std::string &title, bool dialog = false) const = 0;
    virtual bool focused(const std::string &title) const = 0;
    virtual int windowsTitled(const std::string &title) const = 0;
    // The player's keyboard (xdotool's key names: "alt+o"): here xdotool's, into XWayland.
    virtual void press(const std::vector<std::string> &keys);
    virtual void type(const std::string &text);
    // What the layout cannot give a native window here, in ASCII order: dead keys, typed alone.
    virtual std::string untypable() const { return layout_ == "de" ? "^`" : ""; }
    // Caps Lock tapped as the player would, through a keyboard of the desktop's own; whether it
    // is on then. False where the test has no such keyboard.
    virtual bool tapCapsLock() const { return false; }

protected:
    // Throws naming the first of `programs` that is missing.
    WaylandSession(const DesktopOptions &options, std::initializer_list<const char *> programs);
    // Starts the compositor (output in compositor.log) and waits until it has run ready(), with
    // XWayland up if asked for; throws naming `name` when it does not.
    void launch(const std::string &name, const std::vector<std::string> &argv, bool xwayland);
    std::string ready() const { return file("ready"); }
    virtual std::vector<std::string> nativeTerminal(const std::string &script) const
    {
        return { "foot", script };
    }

    std::string layout_;
    std::vector<std::string> asUser_; // what runs a program as the session's user
    TempDir dir_; // XDG_RUNTIME_DIR and the tests' files
    std::string socket_, xDisplay_, bus_;
    Child compositor_;
    mutable int terminals_ = 0;
};

// A desktop by name; start() throws std::runtime_error saying why it does not come up here.
struct WaylandDesktop
{
    const char *name;
    std::unique_ptr<WaylandSession> (*start)(const DesktopOptions &options);
};
extern const WaylandDesktop kSway, kKwin, kGnome;

template <class Session> std::unique_ptr<WaylandSession> startSession(const DesktopOptions &options)
{
    return std::make_unique<Session>(options);
}

} // namespace quillpost::test
