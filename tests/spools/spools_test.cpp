#include "support/app_harness.h"

#include "spools/spools.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

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
        // An empty answer keeps the custom word; a blank is a word, and so is one with a "+".
        { { "custom", "n+te", "custom", "n+te" }, { "custom", "", "custom", "n+te" },
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
            const std::string status = h.status();
            h.click(step.item);
            EXPECT_EQ(checkedSpools(h), Lines { step.checked });
            EXPECT_EQ(h.app->settings().noteSpool, step.spool);
            ASSERT_EQ(h.platform.boxes.size(), boxes + (step.box.empty() ? 0 : 1));
            if (!step.box.empty()) {
                EXPECT_EQ(h.status(), status);
                EXPECT_TRUE(contains(h.platform.boxes.back().prompt, step.box));
            } else if (step.item == "custom" && !step.answer.empty()) {
                EXPECT_EQ(h.status(), "Custom Value: " + step.answer);
            }
            // Display shows the word only while the custom item is checked.
            h.click("displaycustom");
            EXPECT_EQ(
                h.status(), "Custom Value: " + (step.checked == "custom" ? step.spool : "Not Set"));
        }
    }
}

} // namespace
} // namespace quillpost::test
