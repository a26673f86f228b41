#pragma once

#include "x11_key_planner.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct _XDisplay; // Xlib's Display, kept out of this header

namespace quillpost::x11 {

// Wine reads a key's AltGr, Alt and group from the last key event it has read when the program
// translates the key, not from the key itself. So a line that mixes keys typed with AltGr (or
// Alt, or another group, or dead keys) and without goes out in parts of one kind each, and a part
// goes out only once Wine has translated the one before.

// Where the part that starts at `begin` ends, for a line of `plans` typed for Wine: a dead key
// comes last in its part, and a part is short, since Wine translates a long run of keys reading
// further events as it goes, and would read the next part's too early. `end` for a line that
// mixes nothing, or is not for Wine.
std::size_t partEnd(const std::vector<Plan> &plans, std::size_t begin, std::size_t end, bool wine);

// Wine stamps a window's user time window with the server time of each key press it reads
// (_NET_WM_USER_TIME) when that time is later than the last stamp: the one sign, seen from here,
// of how far it has got.
class WineProgress
{
public:
    // Inactive for keys Wine does not read, or with no window.
    WineProgress(_XDisplay *display, KeyReader reader, std::uint64_t window);

    bool active() const { return window_ != 0; }

    // Until Wine has translated every key sent so far, for a bounded time. `tapQuietKey` presses
    // and releases a key that gives nothing, with the modifiers of the keys before it.
    void waitUntilTranslated(const std::function<void()> &tapQuietKey);

private:
    unsigned long stamp() const;

    _XDisplay *display_;
    unsigned long window_ = 0;
    unsigned long stampAtom_ = 0;
};

} // namespace quillpost::x11
