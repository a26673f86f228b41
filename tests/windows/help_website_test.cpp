#include "support/app_harness.h"

#include "windows/help_website.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

TEST(HelpWebsite, HelpShowsItsTextAndTheWebsiteOpensOrABoxSaysWhyNot)
{
    AppHarness h;
    h.click("help");
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    const std::string help = h.platform.boxes[0].prompt;
    EXPECT_TRUE(help.starts_with("Basic Help\r\n\r\n")) << help;

    h.click("website"); // no browser
    EXPECT_TRUE(h.status().ends_with(kWebsite)) << h.status();
    ASSERT_EQ(h.platform.boxes.size(), 2u);
    EXPECT_TRUE(contains(h.platform.boxes[1].prompt, "Could not start " + std::string(kWebsite)));
    EXPECT_EQ(h.platform.boxes[1].style, MsgStyle::Exclamation);
    h.platform.existingFiles = { std::string(kWebsite) };
    h.text1.value.clear();
    h.click("website");
    EXPECT_TRUE(h.status().ends_with(kWebsite)) << h.status();
    EXPECT_EQ(h.platform.started, Lines { std::string(kWebsite) });
    EXPECT_EQ(h.platform.boxes.size(), 2u);
}

} // namespace
} // namespace quillpost::test
