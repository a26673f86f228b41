#pragma once

#include <string>
#include <string_view>

namespace quillpost {

// Braces every character the keystroke notation would read as a command (+ ^ % ~ ( ) { } [ ]),
// so that the text arrives exactly as written.
std::string escapeKeys(std::string_view text);

// What is typed for one line of a note: the spool word, " += " (Shift+= types "+") and the line,
// each of the two escaped. Enter is not part of it.
std::string keystrokeLine(std::string_view spool, std::string_view line);

} // namespace quillpost
