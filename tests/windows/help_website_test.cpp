#include "support/app_harness.h"

#include "windows/help_website.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

std::vector<std::string> split(const std::string &text, const std::string &sep)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(sep, start)) != std::string::npos; start = at + sep.size())
        out.push_back(text.substr(start, at - start));
    out.push_back(text.substr(start));
    return out;
}

TEST(Help, ShowsTenLinesInABoxAndChangesNothing)
{
    AppHarness h;
    h.click("help");
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    EXPECT_EQ(h.platform.boxes[0].style, MsgStyle::Ok);
    const auto lines = split(h.platform.boxes[0].prompt, "\r\n");
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Basic Help");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[6],
        "you will get an error telling you this.  To fix this, shorten the text file size.");
    EXPECT_EQ(lines[8],
        "5.) If you try to view a file while another is open, all operations "
        "will be cancelled.  When the program is in");
    EXPECT_EQ(lines[9],
        "the action of sending a file, use on the pause/start options if you "
        "want to continue.");
    EXPECT_EQ(h.status(), kCreditLine);
}

TEST(Website, WritesItsStatusThenOpensTheAddressOrSaysWhyNot)
{
    AppHarness h;
    h.click("website");
    EXPECT_EQ(h.status(),
        "Status: Internet Explorer executed and pointed to http://hollowmere.example.org");
    EXPECT_EQ(h.platform.started, (std::vector<std::string> { "http://hollowmere.example.org" }));
    EXPECT_TRUE(h.platform.boxes.empty());

    h.platform.browserMissing = true;
    h.click("website");
    EXPECT_EQ(h.status(),
        "Status: Internet Explorer executed and pointed to http://hollowmere.example.org");
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    EXPECT_NE(h.platform.boxes[0].prompt.find("No web browser"), std::string::npos);
    EXPECT_EQ(h.platform.boxes[0].style, MsgStyle::Exclamation);
}

} // namespace
} // namespace quillpost::test
