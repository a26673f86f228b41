#pragma once

#include "platform/result.h"
#include "platform/send_keys.h"

#include <string>
#include <string_view>
#include <vector>

// The keystroke notation the status box shows a line in. A printable character stands for
// itself, except the notation's command characters (+ ^ % ~ ( ) { } [ ]), which stand for
// themselves only braced ("{+}"); "+" holds Shift for the next key, so "+=" types "+"; the
// character 13 is Enter. This file alone writes and reads it.
namespace quillpost {

// What is typed for one line of a note: the spool word, " += " and the line, each of the two
// escaped. Enter is not part of it.
std::string keystrokeLine(std::string_view spool, std::string_view line);

// The strokes `keys` types, Shift folded into the character it gives on the US keyboard the
// notation is written against. Notation, positioned at the first character it cannot read.
Result<std::vector<KeyStroke>> keyStrokes(std::string_view keys);

} // namespace quillpost
