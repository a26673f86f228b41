#include "keystroke_line.h"

#include <algorithm>
#include <optional>
#include <string>

namespace quillpost {
namespace {

constexpr std::string_view kCommands = "+^%~(){}[]";

std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (kCommands.find(c) != std::string_view::npos) {
            out += '{';
            out += c;
            out += '}';
        } else {
            out += c;
        }
    }
    return out;
}

char shifted(char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<char>(c - 'a' + 'A');
    constexpr std::string_view kPlain = "`1234567890-=[]\\;',./";
    constexpr std::string_view kShifted = "~!@#$%^&*()_+{}|:\"<>?";
    if (auto i = kPlain.find(c); i != std::string_view::npos)
        return kShifted[i];
    return c;
}

// The character key at `at` ("a" or "{+}"), moving past it; nullopt when there is none.
std::optional<char> characterKey(std::string_view keys, std::size_t &at)
{
    if (at >= keys.size())
        return std::nullopt;
    const char c = keys[at];
    if (c == '{') {
        if (at + 2 >= keys.size() || keys[at + 2] != '}' || !isPrintableAscii(keys[at + 1]))
            return std::nullopt;
        at += 3;
        return keys[at - 2];
    }
    if (!isPrintableAscii(c) || kCommands.find(c) != std::string_view::npos)
        return std::nullopt;
    ++at;
    return c;
}

Error unreadable(std::string_view keys, std::size_t at)
{
    std::string what;
    if (at >= keys.size())
        what = "\"+\" with no key after it";
    else if (keys[at] == '{')
        what = "braces that do not hold one printable character";
    else if (!isPrintableAscii(keys[at]))
        what = "a character that is not printable ASCII (code "
            + std::to_string(static_cast<unsigned char>(keys[at])) + ")";
    else
        what = std::string("\"") + keys[at] + "\" outside braces";
    const std::size_t where = std::min(at, keys.size() - 1);
    return Error { ErrorKind::Notation,
        what + " at character " + std::to_string(where + 1) + " of the keys", where };
}

} // namespace

std::string keystrokeLine(std::string_view spool, std::string_view line)
{
    return escaped(spool) + " += " + escaped(line);
}

Result<std::vector<KeyStroke>> keyStrokes(std::string_view keys)
{
    std::vector<KeyStroke> strokes;
    std::size_t at = 0;
    while (at < keys.size()) {
        if (keys[at] == KeyStroke::kEnter) {
            strokes.push_back(KeyStroke { KeyStroke::kEnter });
            ++at;
            continue;
        }
        const bool shift = keys[at] == '+';
        at += shift ? 1 : 0;
        const auto c = characterKey(keys, at);
        if (!c)
            return unreadable(keys, at);
        strokes.push_back(KeyStroke { shift ? shifted(*c) : *c });
    }
    return strokes;
}

} // namespace quillpost
