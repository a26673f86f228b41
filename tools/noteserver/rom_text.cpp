#include "rom_text.h"

#include <algorithm>
#include <cctype>

namespace quillpost::noteserver {

namespace {

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

bool isRomSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view skipBlanks(std::string_view text)
{
    while (!text.empty() && isRomSpace(text.front()))
        text.remove_prefix(1);
    return text;
}

Argument oneArgument(std::string_view text)
{
    text = skipBlanks(text);
    char end = ' ';
    if (!text.empty() && (text.front() == '\'' || text.front() == '"')) {
        end = text.front();
        text.remove_prefix(1);
    }
    Argument out;
    while (!text.empty()) {
        const char c = text.front();
        text.remove_prefix(1);
        if (c == end)
            break;
        out.word.push_back(lower(c));
    }
    out.rest = skipBlanks(text);
    return out;
}

bool isPrefixOf(std::string_view part, std::string_view whole)
{
    return part.size() <= whole.size() && equalsIgnoreCase(part, whole.substr(0, part.size()));
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return lower(x) == lower(y); });
}

std::string smashTilde(std::string_view text)
{
    std::string out(text);
    std::ranges::replace(out, '~', '-');
    return out;
}

} // namespace quillpost::noteserver
