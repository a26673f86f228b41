#pragma once

#include "result.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The keystroke notation that sendKeys() reads: "+", "^" and "%" hold Shift, Ctrl and Alt for the
// next key or a parenthesised group, "~" and the character 13 are Enter, "{x}" is the character x
// or a named key ("{ENTER}", "{TAB}", "{BS}", ...), "{x n}" repeats it n times.
namespace quillpost {

enum class NamedKey : std::uint8_t {
    Enter,
    Tab,
    Backspace,
    Delete,
    Escape,
    Insert,
    Home,
    End,
    PageUp,
    PageDown,
    Left,
    Right,
    Up,
    Down,
    CapsLock,
    NumLock,
    ScrollLock,
    Break,
    PrintScreen,
    Help,
    Add,
    Subtract,
    Multiply,
    Divide,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
    F13,
    F14,
    F15,
    F16,
};

enum Modifier : std::uint8_t { kShift = 1, kCtrl = 2, kAlt = 4 };

// One key to press. A character key carries the printable ASCII character that must arrive:
// Shift in the notation is already folded into it ("+=" is '+', "+a" is 'A'), because the notation
// was written against a US keyboard and the user's layout may put the character elsewhere. So a
// character key only carries Ctrl and Alt; a named key carries any modifier.
struct KeyStroke
{
    char character = 0; // 0 for a named key
    NamedKey named = NamedKey::Enter;
    std::uint8_t modifiers = 0;

    bool isCharacter() const { return character != 0; }
    bool operator==(const KeyStroke &) const = default;

    static KeyStroke chr(char c, std::uint8_t mods = 0) { return { c, NamedKey::Enter, mods }; }
    static KeyStroke key(NamedKey k, std::uint8_t mods = 0) { return { 0, k, mods }; }
};

// Reads the whole text before anything is typed, so a line is never half typed. Text the notation
// cannot read is an error whose position is the offending character's index.
Result<std::vector<KeyStroke>> parseSendKeys(std::string_view keys);

// Where stroke number `stroke` (from 0) begins in `keys`: the start of the key, modified key or
// group that holds it, so typing can resume there. The text's size past its last stroke.
std::size_t strokeOffset(std::string_view keys, std::size_t stroke);

} // namespace quillpost
