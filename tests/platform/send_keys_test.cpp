#include "platform/send_keys.h"

#include <gtest/gtest.h>

namespace quillpost {
namespace {

using K = KeyStroke;
using Strokes = std::vector<KeyStroke>;

struct GoodCase
{
    std::string keys;
    Strokes expected;
};

class SendKeysReads : public testing::TestWithParam<GoodCase>
{
};

TEST_P(SendKeysReads, IntoTheKeysMeant)
{
    auto strokes = parseSendKeys(GetParam().keys);
    ASSERT_TRUE(strokes.ok()) << strokes.error().message;
    EXPECT_EQ(strokes.value(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Notation, SendKeysReads,
    testing::Values(GoodCase { "ab 1", { K::chr('a'), K::chr('b'), K::chr(' '), K::chr('1') } },
        GoodCase { "+=", { K::chr('+') } },
        GoodCase { "+a+1+/", { K::chr('A'), K::chr('!'), K::chr('?') } },
        GoodCase { "~\r", { K::key(NamedKey::Enter), K::key(NamedKey::Enter) } },
        GoodCase { "{ENTER}{enter 2}",
            { K::key(NamedKey::Enter), K::key(NamedKey::Enter), K::key(NamedKey::Enter) } },
        GoodCase { "{a 3}{b 0}", { K::chr('a'), K::chr('a'), K::chr('a') } },
        GoodCase { "{{}{}}{(}{)}{[}{]}{~}{+}{^}{%}",
            { K::chr('{'), K::chr('}'), K::chr('('), K::chr(')'), K::chr('['), K::chr(']'),
                K::chr('~'), K::chr('+'), K::chr('^'), K::chr('%') } },
        GoodCase { "{ }{  2}", { K::chr(' '), K::chr(' '), K::chr(' ') } },
        GoodCase { "^c%{F4}+{TAB}",
            { K::chr('c', kCtrl), K::key(NamedKey::F4, kAlt), K::key(NamedKey::Tab, kShift) } },
        GoodCase { "+(ab)c", { K::chr('A'), K::chr('B'), K::chr('c') } },
        GoodCase { "^+a", { K::chr('A', kCtrl) } },
        GoodCase { "%(x{ENTER})", { K::chr('x', kAlt), K::key(NamedKey::Enter, kAlt) } },
        GoodCase { "{BS}{BKSP}{BACKSPACE}{F16}{pgdn}",
            { K::key(NamedKey::Backspace), K::key(NamedKey::Backspace), K::key(NamedKey::Backspace),
                K::key(NamedKey::F16), K::key(NamedKey::PageDown) } },
        GoodCase { "", {} }));

struct BadCase
{
    std::string keys;
    std::size_t position;
};

class SendKeysRefuses : public testing::TestWithParam<BadCase>
{
};

TEST_P(SendKeysRefuses, WhatItCannotReadAndSaysWhere)
{
    auto strokes = parseSendKeys(GetParam().keys);
    ASSERT_FALSE(strokes.ok());
    EXPECT_EQ(strokes.error().kind, ErrorKind::Notation);
    EXPECT_EQ(strokes.error().position, GetParam().position);
    EXPECT_FALSE(strokes.error().message.empty());
}

INSTANTIATE_TEST_SUITE_P(Notation, SendKeysRefuses,
    testing::Values(BadCase { "a(b", 1 }, BadCase { "ab)", 2 }, BadCase { "x{", 1 },
        BadCase { "{}", 0 }, BadCase { "a}", 1 }, BadCase { "[", 0 }, BadCase { "a]", 1 },
        BadCase { "ab+", 2 }, BadCase { "{ENTERX}", 0 }, BadCase { "{a x}", 0 },
        BadCase { "{a -1}", 0 }, BadCase { "{a 99999}", 0 }, BadCase { "{F17}", 0 },
        BadCase { "{F0}", 0 }, BadCase { "+()", 1 }, BadCase { "+(ab", 1 }, BadCase { "++a", 1 },
        BadCase { "ok\x01", 2 }, BadCase { "\x80", 0 }, BadCase { "a\nb", 1 },
        BadCase { "{\x7f}", 0 }));

} // namespace
} // namespace quillpost
