#include "send_keys.h"

#include <array>
#include <charconv>
#include <optional>
#include <string>
#include <utility>

namespace quillpost {
namespace {

struct NamedKeyName
{
    std::string_view name;
    NamedKey key;
};

constexpr std::array kNamedKeys = {
    NamedKeyName { "ENTER", NamedKey::Enter },
    NamedKeyName { "TAB", NamedKey::Tab },
    NamedKeyName { "BS", NamedKey::Backspace },
    NamedKeyName { "BKSP", NamedKey::Backspace },
    NamedKeyName { "BACKSPACE", NamedKey::Backspace },
    NamedKeyName { "DEL", NamedKey::Delete },
    NamedKeyName { "DELETE", NamedKey::Delete },
    NamedKeyName { "ESC", NamedKey::Escape },
    NamedKeyName { "INS", NamedKey::Insert },
    NamedKeyName { "INSERT", NamedKey::Insert },
    NamedKeyName { "HOME", NamedKey::Home },
    NamedKeyName { "END", NamedKey::End },
    NamedKeyName { "PGUP", NamedKey::PageUp },
    NamedKeyName { "PGDN", NamedKey::PageDown },
    NamedKeyName { "LEFT", NamedKey::Left },
    NamedKeyName { "RIGHT", NamedKey::Right },
    NamedKeyName { "UP", NamedKey::Up },
    NamedKeyName { "DOWN", NamedKey::Down },
    NamedKeyName { "CAPSLOCK", NamedKey::CapsLock },
    NamedKeyName { "NUMLOCK", NamedKey::NumLock },
    NamedKeyName { "SCROLLLOCK", NamedKey::ScrollLock },
    NamedKeyName { "BREAK", NamedKey::Break },
    NamedKeyName { "PRTSC", NamedKey::PrintScreen },
    NamedKeyName { "HELP", NamedKey::Help },
    NamedKeyName { "ADD", NamedKey::Add },
    NamedKeyName { "SUBTRACT", NamedKey::Subtract },
    NamedKeyName { "MULTIPLY", NamedKey::Multiply },
    NamedKeyName { "DIVIDE", NamedKey::Divide },
};

constexpr int kMaxRepeat = 4096;

bool isPrintable(char c)
{
    return c >= 32 && c <= 126;
}

// What Shift turns a key into on the US layout the notation is written against.
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

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

class Parser
{
public:
    explicit Parser(std::string_view keys) : keys_(keys) { }

    Result<std::vector<KeyStroke>> run()
    {
        while (pos_ < keys_.size()) {
            if (auto err = item(0, false))
                return std::move(*err);
        }
        return std::move(out_);
    }

    std::size_t offsetOf(std::size_t stroke)
    {
        while (pos_ < keys_.size()) {
            const std::size_t start = pos_;
            if (item(0, false))
                return start;
            if (out_.size() > stroke)
                return start;
        }
        return keys_.size();
    }

private:
    std::optional<Error> fail(std::string what, std::size_t at)
    {
        return Error { ErrorKind::Notation,
            what + " at character " + std::to_string(at + 1) + " of the keys", at };
    }

    void emitChar(char c, std::uint8_t mods, int count = 1)
    {
        if (mods & kShift)
            c = shifted(c);
        for (int i = 0; i < count; ++i)
            out_.push_back(KeyStroke::chr(c, mods & (kCtrl | kAlt)));
    }

    void emitKey(NamedKey k, std::uint8_t mods, int count = 1)
    {
        for (int i = 0; i < count; ++i)
            out_.push_back(KeyStroke::key(k, mods));
    }

    // One key, one modified key, or (after a modifier) one parenthesised group.
    std::optional<Error> item(std::uint8_t mods, bool inGroup)
    {
        const std::size_t at = pos_;
        const char c = keys_[pos_];
        switch (c) {
        case '+':
        case '^':
        case '%': {
            const std::uint8_t m = c == '+' ? kShift : c == '^' ? kCtrl : kAlt;
            if (mods & m)
                return fail(std::string("\"") + c + "\" given twice for one key", at);
            ++pos_;
            if (pos_ >= keys_.size())
                return fail(std::string("\"") + c + "\" with no key after it", at);
            if (keys_[pos_] == '(')
                return group(mods | m);
            return item(mods | m, inGroup);
        }
        case '~':
            ++pos_;
            emitKey(NamedKey::Enter, mods);
            return std::nullopt;
        case '\r':
            ++pos_;
            emitKey(NamedKey::Enter, mods);
            return std::nullopt;
        case '\t':
            ++pos_;
            emitKey(NamedKey::Tab, mods);
            return std::nullopt;
        case '{':
            return braced(mods);
        case '(':
            return fail("\"(\" without a modifier before it", at);
        case ')':
            return fail(inGroup ? "empty group" : "\")\" with no group open", at);
        case '}':
        case '[':
        case ']':
            return fail(std::string("\"") + c + "\" outside braces", at);
        default:
            if (!isPrintable(c))
                return fail("a character that is not printable ASCII (code "
                        + std::to_string(static_cast<unsigned char>(c)) + ")",
                    at);
            ++pos_;
            emitChar(c, mods);
            return std::nullopt;
        }
    }

    std::optional<Error> group(std::uint8_t mods)
    {
        const std::size_t open = pos_++;
        bool any = false;
        while (pos_ < keys_.size() && keys_[pos_] != ')') {
            if (auto err = item(mods, true))
                return err;
            any = true;
        }
        if (pos_ >= keys_.size())
            return fail("\"(\" that is never closed", open);
        if (!any)
            return fail("empty group", open);
        ++pos_;
        return std::nullopt;
    }

    std::optional<Error> braced(std::uint8_t mods)
    {
        const std::size_t open = pos_++;
        // "{}}" is a literal "}", the one case where the content holds the closing brace.
        std::size_t close = keys_.find('}', pos_ + (pos_ < keys_.size() && keys_[pos_] == '}'));
        if (close == std::string_view::npos)
            return fail("\"{\" that is never closed", open);
        std::string_view body = keys_.substr(pos_, close - pos_);
        pos_ = close + 1;
        if (body.empty())
            return fail("empty braces", open);

        int count = 1;
        // "{x n}": the key, one blank, a repeat count. "{ }" is the blank key itself.
        if (auto blank = body.rfind(' '); blank != std::string_view::npos && blank > 0) {
            std::string_view digits = body.substr(blank + 1);
            auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
            if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()
                || count < 0 || count > kMaxRepeat)
                return fail(
                    "a repeat count that is not a number from 0 to " + std::to_string(kMaxRepeat),
                    open);
            body = body.substr(0, blank);
        }
        if (body.size() == 1) {
            if (!isPrintable(body[0]))
                return fail("a character that is not printable ASCII in braces", open);
            emitChar(body[0], mods, count);
            return std::nullopt;
        }
        const std::string name = upper(body);
        for (const auto &named : kNamedKeys) {
            if (named.name == name) {
                emitKey(named.key, mods, count);
                return std::nullopt;
            }
        }
        if (name.size() >= 2 && name[0] == 'F') {
            int n = 0;
            auto [end, ec] = std::from_chars(name.data() + 1, name.data() + name.size(), n);
            if (ec == std::errc() && end == name.data() + name.size() && n >= 1 && n <= 16) {
                emitKey(static_cast<NamedKey>(static_cast<int>(NamedKey::F1) + n - 1), mods, count);
                return std::nullopt;
            }
        }
        return fail("unknown key name \"" + std::string(body) + "\"", open);
    }

    std::string_view keys_;
    std::size_t pos_ = 0;
    std::vector<KeyStroke> out_;
};

} // namespace

Result<std::vector<KeyStroke>> parseSendKeys(std::string_view keys)
{
    return Parser(keys).run();
}

std::size_t strokeOffset(std::string_view keys, std::size_t stroke)
{
    return Parser(keys).offsetOf(stroke);
}

} // namespace quillpost
