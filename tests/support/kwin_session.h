#pragma once

#include "wayland_session.h"

#include <string>
#include <vector>

namespace quillpost::test {

// A KWin on a virtual output with a session bus of its own, run as the test's user (KWin reads a
// client's /proc/PID/exe) from a copy named exactly kwin_wayland (a container may refuse the
// installed file's capability). KWin offers its window list and fake keys only to programs whose
// .desktop file names them: the session installs one for each binary it trusts. Windows are found
// through KWin's scripting; the keyboard is xdotool's into XWayland, which honours modifiers.
class KwinSession : public WaylandSession
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

    bool focus(const std::string &title, bool dialog = false) const override
    {
        return windows(
            title, dialog ? "c.transient" : "!c.transient", "workspace.activeClient = c;");
    }
    bool focused(const std::string &title) const override
    {
        return windows(title, "c == workspace.activeClient");
    }
    int windowsTitled(const std::string &title) const override
    {
        return static_cast<int>(windows(title, "true"));
    }
    void press(const std::vector<std::string> &keys) override;
    void type(const std::string &text) override;
    // Fake keys go through the layout, which gives a dead key's character only with another key.
    std::string untypable() const override { return layout_ == "de" ? "^`" : ""; }

private:
    // foot crashes on KWin's virtual output; weston-terminal does not.
    std::vector<std::string> terminal(const std::string &script) const override
    {
        return { "weston-terminal", "--shell=" + script };
    }
    // How many windows titled `title` meet `condition` (JavaScript on a window c), after `action`.
    std::size_t windows(const std::string &title, const std::string &condition,
        const std::string &action = "") const;

    std::string layout_;
    mutable int scripts_ = 0;
};

} // namespace quillpost::test
