#pragma once

#include <string>
#include <string_view>

namespace quillpost::noteserver {

// ROM's own string helpers (interp.c, db.c). Players' lines go through these, so their quirks
// (quotes, lower-casing, prefix matching) are kept as they are.

bool isRomSpace(char c);
std::string_view skipBlanks(std::string_view text);

struct Argument
{
    std::string word; // lower-cased
    std::string_view rest; // leading blanks already skipped
};

// one_argument: a word ends at a blank, or at the matching quote when it starts with ' or ".
Argument oneArgument(std::string_view text);

// !str_prefix(part, whole): case-insensitive; the empty string is a prefix of everything.
bool isPrefixOf(std::string_view part, std::string_view whole);
// !str_cmp(a, b)
bool equalsIgnoreCase(std::string_view a, std::string_view b);
// smash_tilde: a '~' would end the string field in ROM's note file.
std::string smashTilde(std::string_view text);

} // namespace quillpost::noteserver
