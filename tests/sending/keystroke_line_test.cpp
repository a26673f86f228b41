#include "platform/send_keys.h"
#include "sending/keystroke_line.h"

#include <gtest/gtest.h>

namespace quillpost {
namespace {

struct Case
{
    std::string spool;
    std::string line;
    std::string keys;
};

class KeystrokeLine : public testing::TestWithParam<Case>
{
};

TEST_P(KeystrokeLine, IsSpoolPlusEqualsAndTheEscapedLine)
{
    EXPECT_EQ(keystrokeLine(GetParam().spool, GetParam().line), GetParam().keys);
}

INSTANTIATE_TEST_SUITE_P(Lines, KeystrokeLine,
    testing::Values(Case { "note", "Hello", "note += Hello" }, Case { "note", "", "note += " },
        Case { "note", "a(b)c", "note += a{(}b{)}c" }, Case { "note", ")(", "note += {)}{(}" },
        Case { "note", "(x)", "note += {(}x{)}" },
        // Every parenthesis, not only the first of each kind.
        Case { "note", "((", "note += {(}{(}" }, Case { "note", "((x))", "note += {(}{(}x{)}{)}" },
        Case { "note", "1+1=2 ^_^ 50% ~ok~", "note += 1{+}1=2 {^}_{^} 50{%} {~}ok{~}" },
        Case { "note", "{x} [y]", "note += {{}x{}} {[}y{]}" },
        Case { "oocn", "Hello", "oocn += Hello" }, Case { "n+te", "hi", "n{+}te += hi" }));

// What the client receives from a keystroke line, Enter as CR.
std::string arrives(const std::string &keys)
{
    auto strokes = parseSendKeys(keys);
    EXPECT_TRUE(strokes.ok()) << keys;
    std::string out;
    if (strokes.ok())
        for (const KeyStroke &k : strokes.value())
            out += k.isCharacter() && k.modifiers == 0 ? k.character : '\x01';
    return out;
}

TEST(KeystrokeLine, EveryPrintableCharacterArrivesAsWritten)
{
    std::string all;
    for (char c = 32; c <= 126; ++c)
        all += c;
    EXPECT_EQ(arrives(keystrokeLine("note", all)), "note + " + all);
    // Each character alone and doubled, where a notation character would pair with a neighbour.
    for (char c = 32; c <= 126; ++c) {
        const std::string text { c, c, 'x', c };
        EXPECT_EQ(arrives(escapeKeys(text)), text) << "character " << int(c);
    }
}

} // namespace
} // namespace quillpost
