#include "platform/send_keys.h"

#include <gtest/gtest.h>

namespace quillpost {
namespace {

using K = KeyStroke;
using N = NamedKey;

TEST(SendKeys, ReadsTheNotationIntoTheKeysMeant)
{
    // Every printable character escaped, in the spool word and the line, is the fuzz target's.
    const std::pair<std::string, std::vector<KeyStroke>> cases[] = { { "", {} },
        { "+=+a+1+/", { K::chr('+'), K::chr('A'), K::chr('!'), K::chr('?') } },
        { "~\r{ENTER}{enter 2}", std::vector(5, K::key(N::Enter)) },
        { "{a 3}{b 0}{ }{  2}",
            { K::chr('a'), K::chr('a'), K::chr('a'), K::chr(' '), K::chr(' '), K::chr(' ') } },
        { "^c%{F4}+{TAB}^+a",
            { K::chr('c', kCtrl), K::key(N::F4, kAlt), K::key(N::Tab, kShift),
                K::chr('A', kCtrl) } },
        { "+(ab)c%(x{ENTER})",
            { K::chr('A'), K::chr('B'), K::chr('c'), K::chr('x', kAlt), K::key(N::Enter, kAlt) } },
        { "{BS}{BKSP}{BACKSPACE}{F16}{pgdn}",
            { K::key(N::Backspace), K::key(N::Backspace), K::key(N::Backspace), K::key(N::F16),
                K::key(N::PageDown) } } };
    for (const auto &[keys, expected] : cases) {
        auto strokes = parseSendKeys(keys);
        ASSERT_TRUE(strokes.ok()) << keys << ": " << strokes.error().message;
        EXPECT_EQ(strokes.value(), expected) << keys;
    }
}

TEST(SendKeys, RefusesWhatItCannotReadAndSaysWhere)
{
    const std::pair<std::string, std::size_t> cases[]
        = { { "a(b", 1 }, { "ab)", 2 }, { "x{", 1 }, { "{}", 0 }, { "a}", 1 }, { "[", 0 },
              { "a]", 1 }, { "ab+", 2 }, { "{ENTERX}", 0 }, { "{a x}", 0 }, { "{a -1}", 0 },
              { "{a 99999}", 0 }, { "{F17}", 0 }, { "{F0}", 0 }, { "+()", 1 }, { "+(ab", 1 },
              { "++a", 1 }, { "ok\x01", 2 }, { "\x80", 0 }, { "a\nb", 1 }, { "{\x7f}", 0 } };
    for (const auto &[keys, position] : cases) {
        auto strokes = parseSendKeys(keys);
        ASSERT_FALSE(strokes.ok()) << keys;
        EXPECT_EQ(strokes.error().kind, ErrorKind::Notation);
        EXPECT_EQ(strokes.error().position, position) << keys;
        EXPECT_NE(strokes.error().message.find("at character " + std::to_string(position + 1)),
            std::string::npos)
            << strokes.error().message;
    }
}

} // namespace
} // namespace quillpost
