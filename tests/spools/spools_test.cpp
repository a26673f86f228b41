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
        // answer: for "custom"; box: what a box then says
        std::string item, answer, checked, spool, box = "";
    };
    const std::vector<Step> stories[] = {
        { { "quest", "", "quest", "qnote" }, { "quest", "", "quest", "qnote" },
            { "description", "", "description", "description" } },
        // An empty answer keeps the custom word; a blank is a word.
        { { "custom", "onote", "custom", "onote" }, { "custom", "", "custom", "onote" },
            { "custom", " ", "custom", " " }, { "oocn", "", "oocn", "oocn" } },
        { { "custom", "note", "custom", "note" }, { "note", "", "note", "note" } },
        // Nothing set, the disabled button, and words that cannot be typed change nothing.
        { { "custom", "", "note", "note" },
            { "N", "", "note", "note", std::string(kDisabledCommand) },
            { "custom", "oocn\nnote", "note", "note", "character 5" },
            { "custom", "tab\there", "note", "note", "character 4" } },
    };
    for (const auto &story : stories) {
        AppHarness h;
        EXPECT_EQ(checkedSpools(h), Lines { "note" });
        for (const Step &step : story) {
            SCOPED_TRACE(step.item + step.answer);
            if (step.item == "custom")
                h.platform.inputAnswers.push_back(step.answer);
            const std::size_t boxes = h.platform.boxes.size();
            h.click(step.item);
            EXPECT_EQ(checkedSpools(h), Lines { step.checked });
            EXPECT_EQ(h.app->state().noteSpool, step.spool);
            ASSERT_EQ(h.platform.boxes.size(), boxes + (step.box.empty() ? 0 : 1));
            if (!step.box.empty()) {
                EXPECT_NE(h.platform.boxes.back().prompt.find(step.box), std::string::npos);
                EXPECT_EQ(h.status(), kCreditLine);
            }
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

TEST(CustomSpool, DisplayShowsTheWordOnlyWhileItIsChecked)
{
    AppHarness h;
    h.click("displaycustom");
    EXPECT_EQ(h.status(), "Custom Value: Not Set");
    h.platform.inputAnswers.push_back("n+te ");
    h.click("custom");
    EXPECT_EQ(h.status(), "Custom Value: n+te ");
    h.click("displaycustom");
    EXPECT_EQ(h.status(), "Custom Value: n+te ");
    h.click("anote");
    h.click("displaycustom");
    EXPECT_EQ(h.status(), "Custom Value: Not Set");
}

} // namespace
} // namespace quillpost::test
