#pragma once

#include "platform/line_reader.h"
#include "platform/result.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillpost {

// The largest note a ROM 2.4 style server takes, in characters of line text (breaks not counted).
inline constexpr std::size_t kMaxNoteChars = 4096;

// Where a line holds a byte that cannot be typed as text (anything but printable ASCII).
struct BadByte
{
    std::size_t column; // from 1
    unsigned char byte;
};
std::optional<BadByte> firstUntypable(std::string_view line);

// "line 3, column 7 holds ... (code 9)" for the user.
std::string describeBadByte(int line, BadByte bad);

struct FileCheck
{
    enum class Verdict { Fits, TooLarge, NotText } verdict = Verdict::Fits;
    int line = 0; // where a NotText file was refused, from 1
    BadByte bad { 0, 0 };
};

// Reads `reader` to its end, or only until the running count passes the limit or an untypable
// byte shows up, so that a file of any size is judged without reading it all.
Result<FileCheck> checkFileToSend(LineReader &reader);

} // namespace quillpost
