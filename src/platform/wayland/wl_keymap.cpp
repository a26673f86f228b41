#include "wl_keymap.h"

#include <xkbcommon/xkbcommon.h>

namespace quillpost::wl {
namespace {

// XKB key codes are evdev codes plus 8.
constexpr std::uint32_t kXkbOffset = 8;
constexpr std::uint32_t kEnterKey = kSilentKey + 1;
constexpr std::uint32_t kFirstCharacterKey = kEnterKey + 1;

std::string keyName(std::uint32_t key)
{
    // Legacy XKB readers take at most four characters in a key name.
    const std::string digits = std::to_string(key + kXkbOffset);
    return "<K" + std::string(3 - digits.size(), '0') + digits + ">";
}

std::string symbolName(xkb_keysym_t keysym)
{
    char name[64];
    xkb_keysym_get_name(keysym, name, sizeof name);
    return name;
}

} // namespace

std::uint32_t keyFor(KeyStroke stroke)
{
    if (stroke.isEnter())
        return kEnterKey;
    return kFirstCharacterKey + static_cast<std::uint32_t>(stroke.character - ' ');
}

std::string typingKeymap()
{
    std::string codes, symbols;
    const auto add = [&](std::uint32_t key, const std::string &symbol) {
        codes += "    " + keyName(key) + " = " + std::to_string(key + kXkbOffset) + ";\n";
        symbols += "    key " + keyName(key) + " { [ " + symbol + " ] };\n";
    };
    add(kSilentKey, "NoSymbol");
    add(kEnterKey, "Return");
    // Printable ASCII keysyms are the characters' own codes.
    for (char c = ' '; isPrintableAscii(c); ++c)
        add(keyFor(KeyStroke { c }), symbolName(static_cast<xkb_keysym_t>(c)));
    return "xkb_keymap {\n"
           "xkb_keycodes \"quillpost\" {\n    minimum = 8;\n    maximum = 255;\n"
        + codes
        + "};\n"
          "xkb_types \"quillpost\" { include \"complete\" };\n"
          "xkb_compatibility \"quillpost\" { include \"complete\" };\n"
          "xkb_symbols \"quillpost\" {\n"
        + symbols + "};\n};\n";
}

} // namespace quillpost::wl
