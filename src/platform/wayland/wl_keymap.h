#pragma once

#include "platform/send_keys.h"

#include <cstdint>
#include <string>

namespace quillpost::wl {

// A keymap with one key for each character Quillpost types, each giving its character with no
// modifier held, so a line arrives as written whatever layout the player uses. XKB text format.
std::string typingKeymap();

// The evdev key code that types `stroke` in typingKeymap().
std::uint32_t keyFor(KeyStroke stroke);

// A key of typingKeymap() that gives no character: pressing it gives a seat without a keyboard
// one, so that the first key of the first line is not lost.
constexpr std::uint32_t kSilentKey = 1;

} // namespace quillpost::wl
