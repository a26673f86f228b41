#include "support/app_harness.h"

#include "spools/spools.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

using Lines = std::vector<std::string>;

// The checked spool items, in menu order.
std::vector<std::string> checkedSpools(AppHarness &h)
{
    std::vector<std::string> out;
    for (const SpoolRow &row : kSpoolRows)
        if (h.menu(row.item).checked())
            out.emplace_back(row.item);
    if (h.menu("custom").checked())
        out.emplace_back("custom");
    return out;
}

struct Step
{
    std::string item;
    std::string answer; // for "custom"
    std::string checked;
    std::string spool;
};

void PrintTo(const Step &step, std::ostream *os)
{
    *os << step.item << "(" << step.answer << ")";
}

class SpoolChoices : public testing::TestWithParam<std::vector<Step>>
{
};

TEST_P(SpoolChoices, KeepExactlyOneItemCheckedAndItsWordActive)
{
    AppHarness h;
    EXPECT_EQ(checkedSpools(h), Lines { "note" });
    for (const Step &step : GetParam()) {
        if (step.item == "custom")
            h.platform.inputAnswers.push_back(step.answer);
        h.click(step.item);
        EXPECT_EQ(checkedSpools(h), Lines { step.checked }) << "after " << step.item;
        EXPECT_EQ(h.app->state().noteSpool, step.spool) << "after " << step.item;
    }
}

INSTANTIATE_TEST_SUITE_P(Spools, SpoolChoices,
    testing::Values(
        std::vector<Step> { { "quest", "", "quest", "qnote" }, { "quest", "", "quest", "qnote" },
            { "description", "", "description", "description" } },
        std::vector<Step> { { "custom", "onote", "custom", "onote" },
            { "custom", "", "custom", "onote" }, { "custom", " ", "custom", " " },
            { "oocn", "", "oocn", "oocn" } },
        std::vector<Step> {
            { "custom", "note", "custom", "note" }, { "note", "", "note", "note" } },
        std::vector<Step> { { "custom", "", "note", "note" }, { "N", "", "note", "note" },
            { "custom", "two\r\nlines", "note", "note" },
            { "custom", "tab\there", "note", "note" } }));

TEST(Spools, EachFixedItemReportsItselfAndQuestTypesQnote)
{
    AppHarness h;
    h.platform.addFile("f.txt", std::string(kSpoolRows.size(), '\n'));
    h.openToSend("f.txt");
    Lines expected;
    for (const SpoolRow &row : kSpoolRows) {
        h.click(row.item);
        EXPECT_EQ(h.status(), row.status);
        h.tick();
        expected.push_back(std::string(row.word) + " += \r");
    }
    EXPECT_EQ(h.platform.keys, expected);
    EXPECT_EQ(h.platform.keys[2], "qnote += \r");
}

TEST(Spools, AChoiceMidSendChangesOnlyTheFollowingLines)
{
    AppHarness h;
    h.platform.addFile("f.txt", "one\ntwo\n");
    h.openToSend("f.txt");
    h.tick();
    h.click("oocn");
    h.tick();
    EXPECT_EQ(h.platform.keys, (Lines { "note += one\r", "oocn += two\r" }));
}

TEST(CustomSpool, AsksWithItsPromptAndShowsTheWordTypedExactly)
{
    AppHarness h;
    h.click("displaycustom");
    EXPECT_EQ(h.status(), "Custom Value: Not Set");

    h.platform.inputAnswers.push_back("n+te ");
    h.click("custom");
    ASSERT_EQ(h.platform.prompts.size(), 1u);
    EXPECT_EQ(h.platform.prompts[0].first,
        "Please enter the custom note spool name.  This will\r\nallow you to tailor this for "
        "other muds note-spools\r\n\r\nExample: onote instead of oocn");
    EXPECT_EQ(h.platform.prompts[0].second, "Custom Note Spool");
    EXPECT_EQ(h.status(), "Custom Value: n+te ");
    h.click("displaycustom");
    EXPECT_EQ(h.status(), "Custom Value: n+te ");

    h.platform.addFile("f.txt", "hi\n");
    h.openToSend("f.txt");
    h.tick();
    EXPECT_EQ(h.platform.arrived, "n+te  + hi\r");

    h.click("anote");
    h.click("displaycustom");
    EXPECT_EQ(h.status(), "Custom Value: Not Set");
}

TEST(CustomSpool, RefusesAWordItCannotTypeWithAMessageAndChangesNothing)
{
    AppHarness h;
    h.platform.inputAnswers.push_back("oocn\nnote");
    h.click("custom");
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    EXPECT_NE(h.platform.boxes[0].prompt.find("character 5"), std::string::npos);
    EXPECT_EQ(h.status(), kCreditLine);
    EXPECT_EQ(h.app->state().noteSpool, "note");
}

TEST(DisabledButton, OnlySaysSo)
{
    AppHarness h;
    h.click("N");
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    EXPECT_EQ(h.platform.boxes[0].prompt, "This command has been disabled.");
    EXPECT_EQ(h.platform.boxes[0].style, MsgStyle::Ok);
    EXPECT_EQ(h.status(), kCreditLine);
    EXPECT_EQ(h.app->state().noteSpool, "note");
}

} // namespace
} // namespace quillpost::test
