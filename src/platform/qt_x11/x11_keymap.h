#pragma once

#include "../result.h"

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct _XDisplay; // Xlib's Display, kept out of this header
struct _XkbDesc; // XKB's XkbDescRec

namespace quillpost::x11 {

using KeySymbol = unsigned long; // Xlib's KeySym

// A spare keycode and what we bound it to at levels 1 to 4 (plain, Shift, AltGr, both); all 0
// when it is free again.
struct SpareKey
{
    unsigned keycode = 0;
    std::array<KeySymbol, 4> levels {};
    bool operator==(const SpareKey &) const = default;
};

struct KeymapDeleter
{
    void operator()(_XkbDesc *map) const;
};
using Keymap = std::unique_ptr<_XkbDesc, KeymapDeleter>;

// The keyboards the server knows, and the one whose map XTest events are read with.
struct Devices
{
    unsigned xtest;
    std::vector<unsigned> keyboards;
};

Devices keyboardDevices(_XDisplay *display);

// nullptr when the server refuses (a device that has gone).
Keymap readKeymap(_XDisplay *display, unsigned device, unsigned parts);

// Everything about the XTest keyboard that a line is planned against.
struct Keyboard
{
    Keymap map;
    unsigned device = 0;
    int group = 0; // the group typing starts in: the user's locked group
    int groups = 1; // groups the map has
    // Keycodes of the typewriter block (digits, letters, punctuation, space): the only keys a
    // Windows program under Wine is sure to know, which gives other keys no virtual key.
    std::vector<bool> typewriter;
};

// Typing, when the display has no XKB or the map cannot be read.
Result<Keyboard> readKeyboard(_XDisplay *display, const Devices &devices);

// What a map says about key `kc`, as the server reads it. A group is the keyboard's effective
// group; a key group, the key's own group that it selects.

// The key group `group` selects, after the key's rule for groups it does not have; nullopt for a
// key without symbols.
std::optional<int> keyGroup(_XkbDesc *map, unsigned kc, int group);

// The level that the modifiers `state` select in a key group.
int levelFor(_XkbDesc *map, unsigned kc, int keyGroup, unsigned state);

// The modifier states that select `level`, fewest modifiers first.
std::vector<unsigned> statesFor(_XkbDesc *map, unsigned kc, int keyGroup, int level);

// Whether the key does anything at that level but type (sets a modifier, switches the group).
bool actsAt(_XkbDesc *map, unsigned kc, int keyGroup, int level);

// The real modifiers the key sets while held at that level, 0 unless its action is SetMods.
unsigned modifiersSetBy(_XkbDesc *map, unsigned kc, int keyGroup, int level);

} // namespace quillpost::x11
