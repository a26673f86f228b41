#pragma once

#include "platform/result.h"
#include "platform/send_keys.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quillpost::wl {

// One stroke as keys of the player's layout: evdev codes, the modifiers held while `key` is tapped.
struct LayoutPress
{
    std::vector<std::uint32_t> hold; // pressed in this order, released in reverse
    std::uint32_t key = 0;
};

// Where each character Quillpost types sits in a keyboard layout, for a compositor that types
// only through the layout the player chose (KWin's fake input). Read from the keymap the seat
// hands its clients, no lock held.
class LayoutKeys
{
public:
    // The keys of layout `group` of a map in XKB text format; Typing when the map cannot be read.
    static Result<LayoutKeys> fromKeymap(std::string_view keymap, std::uint32_t group = 0);

    // How many layouts the map holds; past the first, the compositor must say which is in use.
    std::uint32_t layouts() const { return layouts_; }

    // The keys for every stroke, or Unmappable at position 0 naming each character the layout
    // lacks, so that nothing of a line is typed when any of it cannot be.
    Result<std::vector<LayoutPress>> plan(std::span<const KeyStroke> strokes) const;

private:
    // Indexed by character - ' ', Enter last.
    std::array<std::optional<LayoutPress>, 96> presses_;
    std::uint32_t layouts_ = 1;
};

} // namespace quillpost::wl
