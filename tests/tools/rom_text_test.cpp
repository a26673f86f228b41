#include "noteserver/rom_text.h"

#include <gtest/gtest.h>

namespace quillpost::noteserver::test {
namespace {

struct Split
{
    std::string text;
    std::string word;
    std::string rest;
};

void PrintTo(const Split &s, std::ostream *os)
{
    *os << testing::PrintToString(s.text);
}

class OneArgument : public testing::TestWithParam<Split>
{
};

TEST_P(OneArgument, SplitsLikeRom)
{
    const Argument got = oneArgument(GetParam().text);
    EXPECT_EQ(got.word, GetParam().word);
    EXPECT_EQ(got.rest, GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(RomText, OneArgument,
    testing::Values(Split { "  Foo  bar baz ", "foo", "bar baz " },
        Split { "+   text", "+", "text" }, Split { "word", "word", "" }, Split { "", "", "" },
        Split { "   ", "", "" }, Split { "'Two Words' rest", "two words", "rest" },
        Split { "\"q\"x", "q", "x" }, Split { "'open to the end", "open to the end", "" },
        // Only a blank ends a plain word; other white space is part of it.
        Split { "a\tb c", "a\tb", "c" }));

TEST(RomText, PrefixMatchIgnoresCaseAndTakesTheEmptyWord)
{
    EXPECT_TRUE(isPrefixOf("SU", "subject"));
    EXPECT_TRUE(isPrefixOf("", "show"));
    EXPECT_TRUE(isPrefixOf("show", "show"));
    EXPECT_FALSE(isPrefixOf("shows", "show"));
    EXPECT_FALSE(isPrefixOf("x", "show"));
}

} // namespace
} // namespace quillpost::noteserver::test
