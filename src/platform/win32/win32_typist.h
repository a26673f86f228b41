#pragma once

#include "platform/platform.h"

#include <span>

namespace quillpost::win32 {

// Types the strokes into `target`, one stroke per SendInput call, each only while `target` is the
// foreground window: FocusLost at the first stroke that finds it elsewhere, Typing at one that
// Windows did not take whole, each positioned at the first stroke not typed. A character goes as
// a unicode event, so it arrives whatever the keyboard layout; Enter as its virtual key.
Outcome typeStrokes(WindowId target, std::span<const KeyStroke> strokes);

} // namespace quillpost::win32
