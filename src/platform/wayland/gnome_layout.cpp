#include "gnome_layout.h"

#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <optional>
#include <unordered_map>

namespace quillpost::wl {
namespace {

constexpr std::uint32_t kReturn = 0xff0d;
constexpr std::uint32_t kShift = 0xffe1; // Shift_L
constexpr std::uint32_t kAltGr = 0xfe03; // ISO_Level3_Shift

// The levels mutter can reach: itself, with Shift, with AltGr; not both at once.
constexpr xkb_level_index_t kLevels = 3;

struct Keymap
{
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context { nullptr,
        xkb_context_unref };
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap { nullptr, xkb_keymap_unref };
};

// The level at which mutter finds each keysym of `group`: the first key that carries it, searching
// keys and levels in its order.
std::unordered_map<std::uint32_t, xkb_level_index_t> firstLevels(
    xkb_keymap *keymap, xkb_layout_index_t group)
{
    std::unordered_map<std::uint32_t, xkb_level_index_t> first;
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key < last; ++key) {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, key, group);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t *syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, key, group, level, &syms);
            for (int i = 0; i < count; ++i)
                first.try_emplace(syms[i], level);
        }
    }
    return first;
}

// The n-th name of a comma-separated list.
std::string nth(const std::string &list, std::size_t n)
{
    std::size_t start = 0;
    while (n-- > 0) {
        const std::size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            return list;
        start = comma + 1;
    }
    return list.substr(start, list.find(',', start) - start);
}

} // namespace

std::uint32_t keysymOf(KeyStroke stroke)
{
    return stroke.isEnter() ? kReturn : static_cast<unsigned char>(stroke.character);
}

Outcome checkLayout(const GnomeLayout &layout, std::span<const KeyStroke> strokes)
{
    if (auto ascii = checkStrokes(strokes); !ascii)
        return ascii;
    // Compiling a keymap takes longer than typing a line; players seldom change layouts.
    thread_local Keymap k;
    thread_local GnomeLayout compiled;
    if (!k.keymap || compiled.layouts != layout.layouts || compiled.variants != layout.variants
        || compiled.options != layout.options) {
        k.keymap.reset();
        if (!k.context)
            k.context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
        const xkb_rule_names names { "evdev", "pc105", layout.layouts.c_str(),
            layout.variants.c_str(), layout.options.c_str() };
        if (k.context)
            k.keymap.reset(
                xkb_keymap_new_from_names(k.context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
        compiled = layout;
    }
    if (!k.keymap)
        return Error { ErrorKind::Unmappable,
            "The keyboard layout in use (" + layout.layouts
                + ") could not be read, so Quillpost cannot tell which characters it types.",
            0 };
    const auto first = firstLevels(k.keymap.get(), layout.group);
    const auto levelOf = [&](std::uint32_t keysym) -> std::optional<xkb_level_index_t> {
        const auto found = first.find(keysym);
        return found == first.end() ? std::nullopt : std::optional(found->second);
    };
    const bool shift = levelOf(kShift) == 0u;
    const bool altGr = levelOf(kAltGr).has_value();
    std::string missing;
    std::string named;
    for (const KeyStroke stroke : strokes) {
        const auto level = levelOf(keysymOf(stroke));
        const bool typed
            = level && *level < kLevels && (*level != 1 || shift) && (*level != 2 || altGr);
        if (typed || missing.find(stroke.character) != std::string::npos)
            continue;
        missing += stroke.character;
        named += (named.empty() ? "" : " ")
            + (stroke.isEnter() ? std::string("Return") : std::string(1, stroke.character));
    }
    if (missing.empty())
        return Ok {};
    return Error { ErrorKind::Unmappable,
        "GNOME types only what the keyboard layout in use (" + nth(layout.layouts, layout.group)
            + ") has, and it has no key for these characters: " + named
            + ". Switch to a layout that has them (English (US), for example) and send again.",
        0 };
}

} // namespace quillpost::wl
