#include "sending/keystroke_line.h"
#include "support/printable.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace quillpost {
namespace {

TEST(KeystrokeLine, ShowsTheLineEscapedAndTypesItAsWritten)
{
    const std::string printable = test::printableAscii();
    const std::string printableShown
        = " !\"#${%}&'{(}{)}*{+},-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ"
          "{[}\\{]}{^}_`abcdefghijklmnopqrstuvwxyz{{}|{}}{~}";
    // The spool word, the line, the notation shown, and what arrives from it.
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        { "note", "a(b)c", "note += a{(}b{)}c", "note + a(b)c" },
        { "idea", "", "idea += ", "idea + " },
        { "n+te", printable, "n{+}te += " + printableShown, "n+te + " + printable },
    };
    for (const auto &[spool, line, shown, typed] : cases) {
        const std::string keys = keystrokeLine(spool, line);
        EXPECT_EQ(keys, shown);
        auto strokes = keyStrokes(keys + '\r');
        ASSERT_TRUE(strokes.ok()) << keys << ": " << strokes.error().message;
        EXPECT_EQ(strokes.value(), strokesOf(typed + '\r')) << keys;
    }
}

} // namespace
} // namespace quillpost
