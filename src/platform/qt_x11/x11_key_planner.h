#pragma once

#include "../result.h"
#include "../send_keys.h"
#include "x11_keymap.h"

#include <cstddef>
#include <span>
#include <vector>

struct _XDisplay; // Xlib's Display, kept out of this header

namespace quillpost::x11 {

class SpareKeys;

// Who reads the keys. Wine knows only the keys of the typewriter block, and takes AltGr, Alt and
// the group from the last key event it has read, not from the key it translates: typed for Wine,
// a line keeps to typewriter keys, types an accent as its dead key and a space, and marks the
// keys that need AltGr (x11_wine_pacing.h sends them apart).
enum class KeyReader { Native, Wine };

// One stroke, ready to send: keys to hold, the key itself, and the group to type it in.
struct Plan
{
    std::vector<unsigned> holdKeys; // pressed in this order, released in reverse
    unsigned keycode = 0; // for a spare key: filled in when the pool is shared out
    KeySymbol spareSym = 0; // set when the stroke goes through a spare key
    unsigned thenKey = 0; // tapped after the key (space after a dead key), 0 for none
    int group = 0;
    bool paced = false; // for Wine: typed with AltGr, Alt or another group
};

// Strokes [previous end, end) are typed after `binds` are made.
struct Batch
{
    std::size_t end = 0;
    std::vector<SpareKey> binds;
};

// Every stroke of a line mapped to keys, before the first key is pressed.
struct LinePlan
{
    std::vector<Plan> plans; // one for each stroke
    std::vector<Batch> batches;
    bool usesSpares = false; // some strokes go through spare keys
    unsigned quietKey = 0; // for Wine: a keycode that types nothing, 0 when there is none
};

// Maps the line against the XTest device's keyboard map, read afresh for it. Characters the map
// lacks go through spare keycodes: those `spares` holds already are used again, others are bound,
// in batches when there are too few keycodes for the line. Unmappable names the first stroke no
// key can give; for Wine, which cannot read a spare key, it names every character no group of
// the map has, at position 0. Typing, a display without XKB or whose map cannot be read. The
// strokes are printable ASCII or Enter (checkStrokes).
Result<LinePlan> planLine(
    _XDisplay *display, std::span<const KeyStroke> strokes, KeyReader reader, SpareKeys &spares);

// Once a batch's spare keys are bound: plans its strokes [begin, end) that go through them against
// the map as it is now, which gives the keys and levels that reach them. Typing, when the map
// does not show the bindings within a short time.
Outcome planSpareStrokes(_XDisplay *display, std::span<const KeyStroke> strokes, KeyReader reader,
    LinePlan &line, std::size_t begin, std::size_t end);

} // namespace quillpost::x11
