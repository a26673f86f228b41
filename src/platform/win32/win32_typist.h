#pragma once

#include "platform/platform.h"

#include <windows.h>

#include <memory>
#include <span>
#include <vector>

namespace quillpost::win32 {

class LayoutKeys;

// Types strokes as a keyboard would: each character as the key and Shift or AltGr that give it on
// the keyboard layout of the window's thread, a dead key followed by what completes it where that
// is the layout's way, and only a character the layout cannot give at all as a unicode event
// (VK_PACKET), which programs that read keys themselves, PuTTY among them, do not read alike.
// Each layout's keys are read once and kept.
class Typist
{
public:
    Typist();
    ~Typist();
    Typist(const Typist &) = delete;
    Typist &operator=(const Typist &) = delete;

    // Types the strokes into `target`, one stroke per SendInput call, each only while `target` is
    // the foreground window: FocusLost at the first stroke that finds it elsewhere, Typing at one
    // that Windows did not take whole, each positioned at the first stroke not typed. Every stroke
    // is mapped to keys first. Shift, Ctrl and Alt held by the user are released for the line; no
    // modifier is left held on any path. Caps Lock is left as it is: while the window's thread sees
    // it on, a letter goes with the other Shift, as a person types it.
    Outcome type(WindowId target, std::span<const KeyStroke> strokes);

private:
    const LayoutKeys &keysOf(HKL layout);

    std::vector<std::unique_ptr<LayoutKeys>> layouts_;
};

} // namespace quillpost::win32
