#include "send_keys.h"

#include <cstdio>
#include <string>

namespace quillpost {

std::vector<KeyStroke> strokesOf(std::string_view text)
{
    std::vector<KeyStroke> strokes;
    strokes.reserve(text.size());
    for (char c : text)
        strokes.push_back(KeyStroke { c });
    return strokes;
}

Outcome checkStrokes(std::span<const KeyStroke> strokes)
{
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        const char c = strokes[i].character;
        if (isPrintableAscii(c) || strokes[i].isEnter())
            continue;
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(c));
        return Error { ErrorKind::Unmappable,
            std::string("The character ") + code
                + " cannot be typed: only printable ASCII characters can be typed.",
            i };
    }
    return Ok {};
}

} // namespace quillpost
