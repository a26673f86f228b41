#include "kwin_layout_keys.h"

#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <string>

namespace quillpost::wl {
namespace {

// XKB key codes are evdev codes plus 8.
constexpr xkb_keycode_t kXkbOffset = 8;
constexpr std::size_t kEnterSlot = 95;

using Keymap = std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)>;
using State = std::unique_ptr<xkb_state, decltype(&xkb_state_unref)>;

std::size_t slotOf(KeyStroke stroke)
{
    return stroke.isEnter() ? kEnterSlot : static_cast<std::size_t>(stroke.character - ' ');
}

// Printable ASCII keysyms are the characters' own codes.
std::optional<std::size_t> slotFor(xkb_keysym_t sym)
{
    if (sym == XKB_KEY_Return)
        return kEnterSlot;
    if (sym >= ' ' && sym <= '~')
        return sym - ' ';
    return std::nullopt;
}

xkb_keysym_t baseSymbol(xkb_keymap *keymap, xkb_keycode_t key, xkb_layout_index_t group)
{
    const xkb_keysym_t *syms = nullptr;
    return xkb_keymap_key_get_syms_by_level(keymap, key, group, 0, &syms) == 1 ? syms[0]
                                                                               : XKB_KEY_NoSymbol;
}

std::optional<xkb_keycode_t> keyWithBase(
    xkb_keymap *keymap, xkb_keysym_t sym, xkb_layout_index_t group)
{
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= xkb_keymap_max_keycode(keymap);
         ++key)
        if (baseSymbol(keymap, key, group) == sym)
            return key;
    return std::nullopt;
}

State pressed(
    xkb_keymap *keymap, const std::vector<xkb_keycode_t> &keys, xkb_layout_index_t group = 0)
{
    State state(xkb_state_new(keymap), xkb_state_unref);
    xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, group);
    for (const xkb_keycode_t key : keys)
        xkb_state_update_key(state.get(), key, XKB_KEY_DOWN);
    return state;
}

// Keypad keys type digits or move the cursor depending on Num Lock, which the seat does not tell
// a program without a window; a key that changes modifiers or locks would change later strokes.
bool plainKey(xkb_keymap *keymap, xkb_keycode_t key, xkb_layout_index_t group)
{
    const xkb_keysym_t base = baseSymbol(keymap, key, group);
    if (base >= XKB_KEY_KP_Space && base <= XKB_KEY_KP_Equal)
        return false;
    return xkb_state_update_key(pressed(keymap, {}, group).get(), key, XKB_KEY_DOWN) == 0;
}

std::string named(std::size_t slot)
{
    return slot == kEnterSlot ? std::string("Return")
                              : std::string(1, static_cast<char>(' ' + slot));
}

} // namespace

Result<LayoutKeys> LayoutKeys::fromKeymap(std::string_view text, std::uint32_t group)
{
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), xkb_context_unref);
    Keymap keymap(context ? xkb_keymap_new_from_buffer(context.get(), text.data(), text.size(),
                      XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS)
                          : nullptr,
        xkb_keymap_unref);
    if (!keymap)
        return Error { ErrorKind::Typing, "The desktop's keyboard map could not be read." };
    xkb_keymap *map = keymap.get();
    LayoutKeys keys;
    keys.layouts_ = xkb_keymap_num_layouts(map);
    if (group >= keys.layouts_)
        return Error { ErrorKind::Typing,
            "The desktop's keyboard map has no layout " + std::to_string(group + 1) + "." };

    // Fewest modifiers first: Shift, then AltGr (the third level), then both.
    std::vector<std::vector<xkb_keycode_t>> holds { {} };
    const auto shift = keyWithBase(map, XKB_KEY_Shift_L, group);
    const auto altGr = keyWithBase(map, XKB_KEY_ISO_Level3_Shift, group);
    if (shift)
        holds.push_back({ *shift });
    if (altGr)
        holds.push_back({ *altGr });
    if (shift && altGr)
        holds.push_back({ *altGr, *shift });

    for (const auto &hold : holds) {
        const State state = pressed(map, hold, group);
        for (xkb_keycode_t key = xkb_keymap_min_keycode(map); key <= xkb_keymap_max_keycode(map);
             ++key) {
            const auto slot = slotFor(xkb_state_key_get_one_sym(state.get(), key));
            if (!slot || keys.presses_[*slot] || !plainKey(map, key, group))
                continue;
            LayoutPress &press = keys.presses_[*slot].emplace();
            for (const xkb_keycode_t h : hold)
                press.hold.push_back(h - kXkbOffset);
            press.key = key - kXkbOffset;
        }
    }
    return keys;
}

Result<std::vector<LayoutPress>> LayoutKeys::plan(std::span<const KeyStroke> strokes) const
{
    if (auto checked = checkStrokes(strokes); !checked)
        return checked.error();
    std::vector<LayoutPress> presses;
    std::string missing;
    bool seen[96] = {};
    for (const KeyStroke stroke : strokes) {
        const std::size_t slot = slotOf(stroke);
        if (presses_[slot]) {
            presses.push_back(*presses_[slot]);
        } else if (!seen[slot]) {
            seen[slot] = true;
            missing += (missing.empty() ? "" : " ") + named(slot);
        }
    }
    if (missing.empty())
        return presses;
    return Error { ErrorKind::Unmappable,
        "The keyboard layout of this desktop has no key for these characters: " + missing
            + ". Quillpost types into native windows here only through your layout; add a layout "
              "that has them, or leave them out of the file.",
        0 };
}

} // namespace quillpost::wl
