#include "support/app_harness.h"

#include "spools/spools.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

using Lines = std::vector<std::string>;

// The checked spool items, in menu order.
Lines checkedSpools(AppHarness &h)
{
    Lines out;
    for (const SpoolRow &row : kSpoolRows)
        if (h.menu(row.item).checked())
            out.emplace_back(row.item);
    if (h.menu("custom").checked())
        out.emplace_back("custom");
    return out;
}

TEST(Spools, OneItemStaysCheckedAndItsWordActive)
{
    struct Step
    {
        std::string item, answer /* for "custom" */, checked, spool;
    };
    const std::vector<Step> stories[] = {
        { { "quest", "", "quest", "qnote" }, { "quest", "", "quest", "qnote" },
            { "description", "", "description", "description" } },
        // An empty answer keeps the custom word; a blank is a word.
        { { "custom", "onote", "custom", "onote" }, { "custom", "", "custom", "onote" },
            { "custom", " ", "custom", " " }, { "oocn", "", "oocn", "oocn" } },
        { { "custom", "note", "custom", "note" }, { "note", "", "note", "note" } },
        // Nothing set, the disabled item, and words that cannot be typed change nothing.
        { { "custom", "", "note", "note" }, { "N", "", "note", "note" },
            { "custom", "two\r\nlines", "note", "note" },
            { "custom", "tab\there", "note", "note" } },
    };
    for (const auto &story : stories) {
        AppHarness h;
        EXPECT_EQ(checkedSpools(h), Lines { "note" });
        for (const Step &step : story) {
            if (step.item == "custom")
                h.platform.inputAnswers.push_back(step.answer);
            h.click(step.item);
            EXPECT_EQ(checkedSpools(h), Lines { step.checked }) << step.item << step.answer;
            EXPECT_EQ(h.app->state().noteSpool, step.spool) << step.item << step.answer;
        }
    }
}

TEST(Spools, AChoiceChangesTheWordOfTheFollowingLinesOnly)
{
    AppHarness h;
    h.platform.addFile("f.txt", "one\n" + std::string(kSpoolRows.size(), '\n'));
    h.openToSend("f.txt");
    h.tick();
    Lines expected { "note += one\r" };
    for (const SpoolRow &row : kSpoolRows) {
        h.click(row.item);
        EXPECT_EQ(h.status(), row.status);
        h.tick();
        expected.push_back(std::string(row.word) + " += \r");
    }
    EXPECT_EQ(h.platform.keys, expected);
}

TEST(CustomSpool, TypesTheWordExactlyAndShowsIt)
{
    AppHarness h;
    h.click("displaycustom");
    EXPECT_EQ(h.status(), "Custom Value: Not Set");

    h.platform.inputAnswers.push_back("n+te ");
    h.click("custom");
    ASSERT_EQ(h.platform.prompts.size(), 1u);
    EXPECT_EQ(h.status(), "Custom Value: n+te ");
    h.platform.addFile("f.txt", "hi\n");
    h.openToSend("f.txt");
    h.tick();
    EXPECT_EQ(h.platform.arrived, "n+te  + hi\r");

    h.click("anote");
    h.click("displaycustom");
    EXPECT_EQ(h.status(), "Custom Value: Not Set");
}

TEST(CustomSpool, RefusesAWordItCannotTypeWithAMessage)
{
    AppHarness h;
    h.platform.inputAnswers.push_back("oocn\nnote");
    h.click("custom");
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    EXPECT_NE(h.platform.boxes[0].prompt.find("character 5"), std::string::npos);
    EXPECT_EQ(h.status(), kCreditLine);
}

TEST(DisabledButton, OnlySaysSo)
{
    AppHarness h;
    h.click("N");
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    EXPECT_EQ(h.status(), kCreditLine);
}

} // namespace
} // namespace quillpost::test
