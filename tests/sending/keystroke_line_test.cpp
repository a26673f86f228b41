#include "platform/send_keys.h"
#include "sending/keystroke_line.h"

#include <gtest/gtest.h>

namespace quillpost {
namespace {

TEST(KeystrokeLine, IsSpoolPlusEqualsAndTheEscapedLine)
{
    const std::tuple<std::string, std::string, std::string> cases[] = {
        { "note", "", "note += " },
        // Every parenthesis, not only the first of each kind.
        { "note", "((x)))(", "note += {(}{(}x{)}{)}{)}{(}" },
        { "note", "1+1=2 ^_^ 50% ~ok~", "note += 1{+}1=2 {^}_{^} 50{%} {~}ok{~}" },
        { "note", "{x} [y]", "note += {{}x{}} {[}y{]}" },
        { "n+te", "hi", "n{+}te += hi" },
    };
    for (const auto &[spool, line, keys] : cases)
        EXPECT_EQ(keystrokeLine(spool, line), keys);
}

// What the client receives from a keystroke line; a key with a modifier or a named key as ^A.
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
    // Each character alone and doubled, where a notation character would pair with a neighbour;
    // Sending.EveryPrintableCharacterArrivesExactly types them all in one line.
    for (char c = 32; c <= 126; ++c) {
        const std::string text { c, c, 'x', c };
        EXPECT_EQ(arrives(escapeKeys(text)), text) << "character " << int(c);
    }
}

} // namespace
} // namespace quillpost
