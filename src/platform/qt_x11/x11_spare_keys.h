#pragma once

#include "../result.h"
#include "x11_key_planner.h"
#include "x11_keymap.h"

#include <chrono>
#include <vector>

struct _XDisplay; // Xlib's Display, kept out of this header

namespace quillpost::x11 {

// Keycodes no keyboard uses (or that we bound ourselves), and the width of a binding.
struct SparePool
{
    std::vector<unsigned> keycodes;
    int symsPerKeycode = 0;
};

// Enough keycodes for every spare symbol the plans need where the server has them, and never
// fewer than a small pool.
SparePool findSpares(_XDisplay *display, const Keyboard &keyboard, const Devices &devices,
    const std::vector<Binding> &bound, const std::vector<Plan> &plans);

// Gives each plan that needs a spare key its keycode, keeping what `bound` holds where the line
// needs it. When the pool is too small for the line, later batches rebind the least recently used
// keys. The first batch undoes the old bindings the line does not use.
std::vector<Batch> shareOut(
    std::vector<Plan> &plans, const SparePool &pool, const std::vector<Binding> &bound);

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

    const std::vector<Binding> &bound() const { return bound_; }

    // Forgets bindings the map no longer shows: another program (setxkbmap) replaced them.
    void forgetChanged(const Keyboard &keyboard);

    // Makes the bindings (symbol 0 undoes one) and waits until the server's map for `device`
    // shows them. A keycode whose old binding may still be on its way to the client is changed
    // only once the client has had time to read it.
    Outcome change(const std::vector<Binding> &binds, unsigned device, int symsPerKeycode);

    Outcome undoAll();

    // Keys bound here have just been sent.
    void sent() { lastSent_ = std::chrono::steady_clock::now(); }

private:
    _XDisplay *display_;
    std::vector<Binding> bound_;
    unsigned device_ = 0;
    int symsPerKeycode_ = 0;
    std::chrono::steady_clock::time_point lastSent_ {};
};

} // namespace quillpost::x11
