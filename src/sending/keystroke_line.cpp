#include "keystroke_line.h"

namespace quillpost {

std::string escapeKeys(std::string_view text)
{
    constexpr std::string_view kNotation = "+^%~(){}[]";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (kNotation.find(c) != std::string_view::npos) {
            out += '{';
            out += c;
            out += '}';
        } else {
            out += c;
        }
    }
    return out;
}

std::string keystrokeLine(std::string_view spool, std::string_view line)
{
    return escapeKeys(spool) + " += " + escapeKeys(line);
}

} // namespace quillpost
