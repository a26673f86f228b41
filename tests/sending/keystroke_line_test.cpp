#include "sending/keystroke_line.h"
#include "support/printable.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

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

TEST(KeystrokeLine, ReadsShiftAndRefusesWhatItCannotReadAndSaysWhere)
{
    const std::pair<std::string, std::string> read[]
        = { { "+=+a+1+/+{[}+ ", "+A!?{ " }, { "{}}{{}\r\r", "}{\r\r" } };
    for (const auto &[keys, typed] : read) {
        auto strokes = keyStrokes(keys);
        ASSERT_TRUE(strokes.ok()) << keys << ": " << strokes.error().message;
        EXPECT_EQ(strokes.value(), strokesOf(typed)) << keys;
    }
    // Groups, Ctrl, Alt, repeats and named keys are not part of the notation.
    const std::pair<std::string, std::size_t> refused[] = { { "a(b", 1 }, { "ab)", 2 }, { "x{", 1 },
        { "{}", 0 }, { "a}", 1 }, { "[", 0 }, { "ab+", 2 }, { "+", 0 }, { "++a", 1 }, { "+\r", 1 },
        { "~", 0 }, { "^c", 0 }, { "%x", 0 }, { "{ENTER}", 0 }, { "{a 3}", 0 }, { "ok\x01", 2 },
        { "\x80", 0 }, { "a\nb", 1 }, { "{\x7f}", 0 } };
    for (const auto &[keys, position] : refused) {
        auto strokes = keyStrokes(keys);
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
