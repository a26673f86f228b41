#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quillpost::test {

// A player's keyboard on a Wayland seat: a full keyboard of the given XKB layout, made through the
// virtual keyboard protocol, whose keys go to whichever window holds the seat's keyboard.
class SeatKeyboard
{
public:
    // `socket` is the compositor's socket path. Throws std::runtime_error when it cannot be made.
    SeatKeyboard(const std::string &socket, const std::string &layout);
    ~SeatKeyboard();
    SeatKeyboard(const SeatKeyboard &) = delete;
    SeatKeyboard &operator=(const SeatKeyboard &) = delete;

    // xdotool's key names, modifiers joined by '+' ("ctrl+o", "alt+o", "Return", "Down"), each
    // pressed and released in turn with a finger's pause.
    void press(const std::vector<std::string> &keys);
    // Each character as the layout types it, Shift or AltGr held where needed.
    void type(const std::string &text);

private:
    struct State;
    std::unique_ptr<State> s_;
};

} // namespace quillpost::test
