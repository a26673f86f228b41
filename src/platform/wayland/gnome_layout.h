#pragma once

#include "platform/send_keys.h"

#include <cstdint>
#include <string>

namespace quillpost::wl {

// The keymap GNOME Shell types with, as XKB names: every layout of the active group of input
// sources ("de,us"), their variants, the options, and which layout is in effect.
struct GnomeLayout
{
    std::string layouts;
    std::string variants;
    std::string options;
    std::uint32_t group = 0;
};

// The keysym GNOME is asked to type for `stroke`: a character's keysym is its code, Enter is
// Return.
std::uint32_t keysymOf(KeyStroke stroke);

// Unmappable, naming each character once, when `layout` lacks a key for any of `strokes`. mutter's
// virtual keyboard types a keysym only through the first key of the layout in effect that carries
// it, with at most Shift or AltGr held; anything else it drops without a word.
Outcome checkLayout(const GnomeLayout &layout, std::span<const KeyStroke> strokes);

} // namespace quillpost::wl
