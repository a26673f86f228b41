#pragma once

#include <windows.h>

#include <array>
#include <span>

namespace quillpost::win32 {

// A key as a keyboard sends it, with the modifiers held around it.
struct KeyPress
{
    BYTE key = 0; // virtual key
    WORD scan = 0; // the layout's scan code for it
    bool shift = false;
    bool altGr = false; // Ctrl+Alt, which is how Windows reads AltGr
    // With Caps Lock on, the same character comes with the other Shift, as for a letter.
    bool capsFlips = false;

    bool operator==(const KeyPress &) const = default;
};

// Which keys give each printable ASCII character on one keyboard layout, read from the layout
// itself through ToUnicodeEx: a key in one of its four shift states, or a dead key and the key
// that completes it. VkKeyScanEx is not asked: under Wine on some X maps it names no key for "("
// and ")", where the keypad's paren keys win.
class LayoutKeys
{
public:
    explicit LayoutKeys(HKL layout);

    HKL layout() const { return layout_; }
    // One or two presses; none when the layout cannot give `c` at all.
    std::span<const KeyPress> keysFor(char c) const;

private:
    struct Keys
    {
        std::array<KeyPress, 2> presses {};
        std::size_t count = 0;
    };

    HKL layout_;
    std::array<Keys, 0x7f - 0x20> keys_ {};
};

} // namespace quillpost::win32
