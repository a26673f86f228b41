#pragma once

#include "result.h"

#include <span>
#include <string_view>
#include <vector>

namespace quillpost {

// The only characters the program types, and so the only ones a file to send may hold.
constexpr bool isPrintableAscii(char c)
{
    return c >= 0x20 && c <= 0x7e;
}

// One key to press: a printable ASCII character, which must arrive as that character whatever key
// the user's layout puts it on, or Enter.
struct KeyStroke
{
    static constexpr char kEnter = '\r';

    char character = kEnter;

    bool isEnter() const { return character == kEnter; }
    bool operator==(const KeyStroke &) const = default;
};

// Each character of `text` a stroke, the character 13 Enter.
std::vector<KeyStroke> strokesOf(std::string_view text);

// Unmappable at the first stroke that is neither printable ASCII nor Enter: no backend is asked
// to find a key for one.
Outcome checkStrokes(std::span<const KeyStroke> strokes);

} // namespace quillpost
