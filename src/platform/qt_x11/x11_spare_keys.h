#pragma once

#include "x11_key_planner.h"
#include "x11_keymap.h"

#include <chrono>
#include <vector>

struct _XDisplay; // Xlib's Display, kept out of this header

namespace quillpost::x11 {

// Keycodes no keyboard uses (or that we bound ourselves), the width of a key in the core map, and
// how many levels of each the map lets us reach (Shift, AltGr).
struct SparePool
{
    std::vector<unsigned> keycodes;
    int symsPerKeycode = 0;
    std::size_t levels = 1;
};

// Enough keycodes for every spare symbol the plans need where the server has them, and never
// fewer than a small pool.
SparePool findSpares(_XDisplay *display, const Keyboard &keyboard, const Devices &devices,
    const std::vector<SpareKey> &bound, const std::vector<Plan> &plans);

// Gives each symbol the plans need a level of a spare key, keeping what `bound` holds where the
// line needs it. When the pool is too small for the line, later batches rebind the least recently
// used levels. The first batch frees the old keys the line does not use.
std::vector<Batch> shareOut(
    std::vector<Plan> &plans, const SparePool &pool, const std::vector<SpareKey> &bound);

// The spare keycodes bound for lines typed so far. A client reads a key with the map it fetches
// when it gets to the key, which may be well after the key was sent; so a binding stays until a
// later line needs the keycode for something else, or needs no spare key at all, or this object
// goes (the program's end), and is undone only once the keys sent with it have had time to be read.
class SpareKeys
{
public:
    explicit SpareKeys(_XDisplay *display) : display_(display) { }
    ~SpareKeys(); // undoes every binding
    SpareKeys(const SpareKeys &) = delete;
    SpareKeys &operator=(const SpareKeys &) = delete;

    const std::vector<SpareKey> &bound() const { return bound_; }

    // Forgets bindings the map no longer shows: another program (setxkbmap) replaced them.
    void forgetChanged(const Keyboard &keyboard);

    // Binds the keys as given (all levels 0 frees one). A level whose old symbol may still be on
    // its way to the client is changed only once the client has had time to read it.
    void change(const std::vector<SpareKey> &binds);

    void undoAll();

    // Keys bound here have just been sent.
    void sent() { lastSent_ = std::chrono::steady_clock::now(); }

private:
    _XDisplay *display_;
    std::vector<SpareKey> bound_;
    std::chrono::steady_clock::time_point lastSent_ {};
};

} // namespace quillpost::x11
