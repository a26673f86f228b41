#pragma once

#include "../result.h"
#include "../send_keys.h"
#include "x11_key_planner.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

struct _XDisplay; // Xlib's Display, kept out of this header

namespace quillpost::x11 {

// Who the keys are for: Wine's windows are typed for differently (x11_key_planner.h).
struct Target
{
    KeyReader reader = KeyReader::Native;
    std::uint64_t window = 0; // the client's top-level window, where Wine notes its progress
};

// Types key strokes through XTest into whatever window holds the keyboard focus, against the
// keyboard map that the server uses for the XTest device: any layout, AltGr levels and dead keys
// included. Every stroke is mapped before the first key is pressed, so a line is typed whole or
// not at all. Characters the map lacks go through spare keycodes, which stay bound until a later
// line needs them otherwise or none, or the typist goes; for Wine, which cannot read them, such a
// line is refused. Modifiers the user holds are released for the line and none is left held.
class Typist
{
public:
    // `display` is borrowed, never closed here, and must outlive the typist, which frees its
    // spare keys on it when it goes.
    explicit Typist(_XDisplay *display);
    ~Typist();
    Typist(const Typist &) = delete;
    Typist &operator=(const Typist &) = delete;

    // `focusCheck`, when given, runs with the display grabbed right before the keys go out, so
    // that no other program can move the focus in between; its error stops the line there, with
    // the position of the first stroke not typed. A keyboard grab held by another program stops
    // it the same way (FocusLost). A line that needs more spare keys than there are, or typed for
    // Wine with AltGr, is sent in parts, each checked: only such a line can stop part way.
    Outcome type(std::span<const KeyStroke> strokes,
        const std::function<Outcome()> &focusCheck = {}, const Target &target = {});

private:
    _XDisplay *display_;
    std::unique_ptr<SpareKeys> spares_;
};

} // namespace quillpost::x11
