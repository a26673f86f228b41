#include "platform/send_keys.h"
#include "sending/keystroke_line.h"

#include <gtest/gtest.h>

namespace quillpost {
namespace {

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

TEST(KeystrokeLine, EveryPrintableCharacterArrivesAsWrittenInLineAndSpool)
{
    // Each character alone and in runs, where a notation character would pair with a neighbour;
    // Sending.EveryPrintableCharacterArrivesExactly types them all in one line.
    for (char c = 32; c <= 126; ++c) {
        const std::string text { c, c, 'x', c, c, c };
        EXPECT_EQ(arrives(keystrokeLine("note", text)), "note + " + text) << "character " << int(c);
        EXPECT_EQ(arrives(keystrokeLine(text, "")), text + " + ") << "character " << int(c);
    }
}

} // namespace
} // namespace quillpost
