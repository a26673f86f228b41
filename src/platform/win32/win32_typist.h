#pragma once

#include "platform/platform.h"
#include "platform/send_keys.h"

#include <windows.h>

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace quillpost::win32 {

// The input events of one stroke: a character as a unicode event, so it arrives whatever the
// keyboard layout; Ctrl or Alt with a character, and named keys, as virtual keys. Unmappable when
// the layout has no key for a character that must be held with Ctrl or Alt.
Result<std::vector<INPUT>> strokeEvents(const KeyStroke &stroke);

struct TypingStop
{
    Error error;
    std::size_t stroke; // the first stroke not typed
};

// Types the strokes into `target`, one stroke per SendInput call, each only while `target` is the
// foreground window: FocusLost at the first stroke that finds it elsewhere, Typing at one that
// Windows did not take whole. Every stroke is mapped before the first is sent.
// Nothing when every stroke was typed.
std::optional<TypingStop> typeStrokes(WindowId target, std::span<const KeyStroke> strokes);

} // namespace quillpost::win32
