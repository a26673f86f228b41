#include "support/app_harness.h"

#include "windows/help_website.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillpost::test {
namespace {

TEST(Help, ShowsTenCrLfLinesInABox)
{
    AppHarness h;
    h.click("help");
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    const std::string &text = h.platform.boxes[0].prompt;
    EXPECT_TRUE(text.starts_with("Basic Help\r\n\r\n")) << text;
    EXPECT_EQ(std::ranges::count(text, '\n'), 9);
    EXPECT_EQ(std::ranges::count(text, '\r'), 9);
}

TEST(Website, WritesItsStatusThenOpensTheAddressOrSaysWhyNot)
{
    for (const bool missing : { false, true }) {
        AppHarness h;
        h.platform.browserMissing = missing;
        h.click("website");
        EXPECT_EQ(h.status(),
            "Status: Internet Explorer executed and pointed to http://hollowmere.example.org");
        EXPECT_EQ(h.platform.started,
            missing ? std::vector<std::string> {}
                    : std::vector<std::string> { "http://hollowmere.example.org" });
        ASSERT_EQ(h.platform.boxes.size(), missing ? 1u : 0u);
        if (missing) {
            EXPECT_NE(h.platform.boxes[0].prompt.find("No web browser"), std::string::npos);
            EXPECT_EQ(h.platform.boxes[0].style, MsgStyle::Exclamation);
        }
    }
}

} // namespace
} // namespace quillpost::test
