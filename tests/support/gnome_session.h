#pragma once

#include "wayland_session.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace quillpost::test {

// A headless gnome-shell on a session bus of its own, with a second private bus standing in for the
// system bus (it dies at start without one), and its settings in a key file of its own. Quillpost's
// Shell extension is installed from the source tree. The Shell runs in unsafe mode, so that windows
// are found and activated through its Eval, never through the extension under test; the keyboard is
// xdotool's into XWayland, which honours modifiers there.
class GnomeSession : public WaylandSession
{
public:
    struct Options
    {
        std::string layout = "us"; // the player's input source
        bool extension = true; // enabled in the Shell's settings
        bool xwayland = false;
    };

    // Why no gnome-shell can start on this machine, for a skip message; "" when one can.
    static std::string unavailable();
    // Throws std::runtime_error when the Shell (or XWayland, when asked for) does not come up.
    explicit GnomeSession(Options options);
    GnomeSession() : GnomeSession(Options {}) { }

    bool focus(const std::string &title, bool dialog = false) const override
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
    void press(const std::vector<std::string> &keys) override;
    void type(const std::string &text) override;
    // The extension types through the layout, which gives a dead key's character only with another.
    std::string untypable() const override { return layout_ == "de" ? "^`" : ""; }

private:
    std::vector<std::string> terminal(const std::string &script) const override
    {
        return { "foot", script };
    }
    // The windows titled `title` that meet `condition` (JavaScript on a window w), as a JS array.
    static std::string windows(const std::string &title, const std::string &condition)
    {
        return "global.get_window_actors().map(a => a.meta_window).filter(w => w.title == '" + title
            + "' && " + condition + ")";
    }
    // What `script` gives as JSON in the Shell; "" when it fails.
    std::string eval(const std::string &script) const;

    std::string layout_;
};

} // namespace quillpost::test
