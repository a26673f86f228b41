#include "noteserver/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillpost::noteserver::test {
namespace {

using Args = std::vector<std::string>;

TEST(Options, ReadsEverySetting)
{
    const ParsedOptions parsed = parseOptions({ "--port", "0", "--pulse-ms=10", "--dump", "/tmp/x",
        "--spam-disconnect", "--spools", "onote,Note,'", "--name", "Quill" });
    ASSERT_TRUE(parsed.options) << parsed.error;
    const Options &o = *parsed.options;
    EXPECT_EQ(o.port, 0);
    EXPECT_EQ(o.pulse, std::chrono::milliseconds(10));
    EXPECT_EQ(o.dumpPath, "/tmp/x");
    EXPECT_TRUE(o.spamDisconnect);
    EXPECT_EQ(o.spools, (Args { "onote", "Note", "'" }));
    EXPECT_EQ(o.playerName, "Quill");
}

TEST(Options, HelpStopsParsing)
{
    const ParsedOptions parsed = parseOptions({ "--help", "--bogus" });
    EXPECT_TRUE(parsed.help);
    EXPECT_FALSE(parsed.options);
}

struct Refusal
{
    Args args;
    std::string error;
};

void PrintTo(const Refusal &r, std::ostream *os)
{
    for (const std::string &arg : r.args)
        *os << "[" << arg << "]";
}

class BadOptions : public testing::TestWithParam<Refusal>
{
};

TEST_P(BadOptions, AreRefusedWithTheReason)
{
    const ParsedOptions parsed = parseOptions(GetParam().args);
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Options, BadOptions,
    testing::Values(
        Refusal { { "--port", "65536" }, "--port takes a number from 0 to 65535, not '65536'" },
        Refusal { { "--port", "-1" }, "--port takes a number from 0 to 65535, not '-1'" },
        Refusal { { "--port", "80x" }, "--port takes a number from 0 to 65535, not '80x'" },
        Refusal { { "--port=" }, "--port takes a number from 0 to 65535, not ''" },
        Refusal { { "--port" }, "--port needs a value" },
        Refusal { { "--pulse-ms", "0" }, "--pulse-ms takes a number from 1 to 60000, not '0'" },
        Refusal { { "--dump", "" }, "--dump needs a file name" },
        Refusal { { "--spools", "note,,idea" },
            "spool words are printable characters without blanks: ''" },
        Refusal { { "--spools", "my note" },
            "spool words are printable characters without blanks: 'my note'" },
        Refusal { { "--spools", "-note" },
            "a spool word of more than one character starts with a letter or digit: '-note'" },
        Refusal { { "--name", "Two Words" },
            "--name takes one word of printable characters, not 'Two Words'" },
        Refusal { { "--spam-disconnect=yes" }, "--spam-disconnect takes no value" },
        Refusal { { "--bogus" }, "unknown argument '--bogus'" },
        Refusal { { "4000" }, "unknown argument '4000'" }));

} // namespace
} // namespace quillpost::noteserver::test
