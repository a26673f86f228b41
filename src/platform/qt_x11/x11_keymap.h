#pragma once

#include "../result.h"
#include "../send_keys.h"

#include <cstddef>
#include <utility>
#include <vector>

struct _XDisplay; // Xlib's Display, kept out of this header

namespace quillpost::x11 {

using KeySymbol = unsigned long; // Xlib's KeySym

// One stroke, ready to send: keys to hold, the key itself, and the group to type it in.
struct Plan
{
    std::vector<unsigned> holdKeys; // pressed in this order, released in reverse
    unsigned keycode = 0; // for a spare key: filled in when the pool is shared out
    KeySymbol spareSym = 0; // set when the stroke goes through a spare key
    int group = 0;
    bool togglesLock = false;
};

using Binding = std::pair<unsigned, KeySymbol>;

// Strokes [previous end, end) are typed after `binds` are made.
struct Batch
{
    std::size_t end = 0;
    std::vector<Binding> binds;
};

// Every stroke of a line mapped to keys, before the first key is pressed.
struct LinePlan
{
    std::vector<Plan> plans; // one for each stroke
    std::vector<Batch> batches;
    unsigned device = 0; // the keyboard whose map XTest events are read with
    int symsPerKeycode = 0; // the width of a spare key's binding in the core map
};

// Unmappable at the first character outside printable ASCII, which no keyboard map is asked for.
Outcome checkCharacters(const std::vector<KeyStroke> &strokes);

// Maps the line against the XTest device's keyboard map, read afresh for it. Characters the map
// lacks are given spare keycodes, shared out in batches when there are too few for the line.
// Unmappable names the first stroke no key can give; Typing, a display without XKB or whose
// map cannot be read.
Result<LinePlan> planLine(_XDisplay *display, const std::vector<KeyStroke> &strokes);

// Whether the server's map for `device` gives each binding's symbol on its keycode yet.
bool mapShows(_XDisplay *display, unsigned device, const std::vector<Binding> &binds);

} // namespace quillpost::x11
