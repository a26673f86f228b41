#pragma once

#include "seat_keyboard.h"
#include "wayland_session.h"

#include <memory>
#include <string>

namespace quillpost::test {

// A headless sway. It refuses to run as root, so under root it runs as the ordinary user kSwayUser
// (scripts/install-deps makes one), and so does every program started in it. Windows are asked
// about through swaymsg; the player's keyboard is a keyboard of the seat's layout on the seat.
class SwaySession : public WaylandSession
{
public:
    static constexpr const char *kSwayUser = "quillpost-test";

    // Why no sway can start on this machine, for a skip message; "" when one can.
    static std::string unavailable();
    // Throws std::runtime_error when sway or XWayland does not come up.
    explicit SwaySession(const std::string &layout = "us");

    // A sway command, as swaymsg takes it ("[title=\"zMUD\"] focus"); whether sway did it.
    bool command(const std::string &command) const
    {
        return swaymsg(shellQuoted(command), "/dev/null");
    }
    bool focus(const std::string &title, bool dialog = false) const override // dialogs float
    {
        return command(
            "[title=\"^" + title + "$\" " + (dialog ? "floating" : "tiling") + "] focus");
    }
    bool focused(const std::string &title) const override
    {
        return command("[title=\"^" + title + "$\" con_id=__focused__] nop");
    }
    int windowsTitled(const std::string &title) const override;
    void press(const std::vector<std::string> &keys) override { keyboard_->press(keys); }
    void type(const std::string &text) override { keyboard_->type(text); }

private:
    std::vector<std::string> terminal(const std::string &script) const override;
    bool swaymsg(const std::string &arguments, const std::string &output) const;

    std::unique_ptr<SeatKeyboard> keyboard_;
};

} // namespace quillpost::test
