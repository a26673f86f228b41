#include "support/app_harness.h"

#include "app/command_line.h"
#include "app/menu_tree.h"
#include "sending/intervals.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

TEST(StartUp, SetsTheDefaultsAndTheMenuStates)
{
    AppHarness h;
    const SharedState &s = h.app->state();
    EXPECT_FALSE(s.sending);
    EXPECT_EQ(s.noteSpool, "note");
    EXPECT_EQ(s.lineBreak, "\r\n");
    EXPECT_EQ(h.status().rfind("Written by: ", 0), 0u);
    EXPECT_FALSE(h.menu("pause").enabled());
    EXPECT_EQ(h.menu("pause").caption(), "&Pause");
    int checkedItems = 0;
    for (const MenuRow &row : menuTree())
        checkedItems += row.checked ? 1 : 0;
    EXPECT_EQ(checkedItems, 1);
    EXPECT_TRUE(h.menu("note").checked());
}

TEST(StartUp, TheMenuBarReadsFileNoteTypeOptionsPauseHelp)
{
    std::vector<std::string_view> bar;
    for (const MenuRow &row : menuTree())
        if (row.level == 1)
            bar.push_back(row.caption);
    EXPECT_EQ(bar,
        (std::vector<std::string_view> { "&File", "&Note Type", "&Options", "&Pause", "&Help" }));
    const auto rows = menuTree();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].name == "pause") {
            EXPECT_FALSE(opensSubmenu(rows, i));
        }
    }
}

TEST(StartUp, EveryCommandOfTheMenuTreeHasItsHandler)
{
    AppHarness h;
    const auto rows = menuTree();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (isSeparator(rows[i]) || opensSubmenu(rows, i))
            continue;
        EXPECT_TRUE(h.app->click(rows[i].name)) << rows[i].name;
    }
    EXPECT_FALSE(h.app->click("file")) << "a submenu opener runs nothing";
    EXPECT_TRUE(h.app->click("N"));
}

TEST(WindowSize, SpringsBackInTheNormalStateOnly)
{
    AppHarness h;
    const int w = h.window.w, hh = h.window.h;
    h.window.w = 9000;
    h.window.h = 300;
    h.app->Form_Resize();
    EXPECT_EQ(h.window.w, w);
    EXPECT_EQ(h.window.h, hh);

    for (WindowState state : { WindowState::Minimized, WindowState::Maximized }) {
        h.window.state = state;
        h.window.w = 100;
        h.app->Form_Resize();
        EXPECT_EQ(h.window.w, 100);
    }
    h.window.state = WindowState::Normal;
    h.app->Form_Resize();
    EXPECT_EQ(h.window.w, w);
}

TEST(Intervals, EachItemSetsItsIntervalAndTheReportFollowsTheValue)
{
    AppHarness h;
    h.click("showtimerinterval");
    EXPECT_EQ(h.status(), "The timer interval is set at  1 second.");
    for (const IntervalRow &row : kIntervalRows) {
        h.click(row.item);
        EXPECT_EQ(h.timer1.value, row.milliseconds);
        EXPECT_EQ(h.status(), row.status);
        h.click("showtimerinterval");
        EXPECT_EQ(h.status(),
            "The timer interval is set at  " + std::to_string(row.milliseconds / 1000)
                + (row.milliseconds == 1000 ? " second." : " seconds."));
    }
    h.click("one");
    h.click("showtimerinterval");
    EXPECT_EQ(h.status(), "The timer interval is set at  1 second.");
    for (const IntervalRow &row : kIntervalRows)
        EXPECT_FALSE(h.menu(row.item).checked());
}

TEST(Intervals, ChangingTheIntervalMidSendNeitherStopsNorRestartsIt)
{
    AppHarness h;
    h.platform.addFile("f.txt", "one\ntwo\n");
    h.openToSend("f.txt");
    h.tick();
    h.click("three");
    h.tick();
    EXPECT_EQ(h.platform.keys, (std::vector<std::string> { "note += one\r", "note += two\r" }));
}

TEST(Intervals, NumberTextKeepsTheFirstCharacterForTheSign)
{
    EXPECT_EQ(numberText(1), " 1");
    EXPECT_EQ(numberText(2.5), " 2.5");
    EXPECT_EQ(numberText(0.001), " 0.001");
    EXPECT_EQ(numberText(-3), "-3");
}

TEST(CommandLine, ReadsTheClientTitleAndAnswersHelpAndVersion)
{
    using Action = CommandLine::Action;
    const struct
    {
        std::vector<std::string> args;
        Action action;
        std::string title;
        std::string textHas;
    } cases[] = {
        { {}, Action::Run, "zMUD", "" },
        { { "--client", "Mudlet - Hollowmere" }, Action::Run, "Mudlet - Hollowmere", "" },
        { { "--client=tt++" }, Action::Run, "tt++", "" },
        { { "--client", "a", "--help" }, Action::Help, "", "--client TITLE" },
        { { "--version" }, Action::Version, "", "quillpost 1.2.6" },
        { { "--client" }, Action::Refuse, "", "needs a window title" },
        { { "--client=" }, Action::Refuse, "", "not empty" },
        { { "-x" }, Action::Refuse, "", "unknown argument '-x'" },
    };
    for (const auto &c : cases) {
        const CommandLine line = parseCommandLine(c.args);
        SCOPED_TRACE(line.text);
        EXPECT_EQ(line.action, c.action);
        if (c.action == Action::Run) {
            EXPECT_EQ(line.clientTitle, c.title);
        }
        EXPECT_NE(line.text.find(c.textHas), std::string::npos);
    }
}

} // namespace
} // namespace quillpost::test
