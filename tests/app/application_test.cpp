#include "support/app_harness.h"

#include "app/command_line.h"
#include "windows/credit.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

TEST(CommandLine, ReadsTheClientTitleAndAnswersHelpAndVersion)
{
    using Action = CommandLine::Action;
    // The arguments, the action, the client title it runs with, a part of its text.
    const std::tuple<Lines, Action, std::string, std::string> cases[] = {
        { {}, Action::Run, "zMUD", "" },
        { { "--client", "Hollowmere - Mudlet" }, Action::Run, "Hollowmere - Mudlet", "" },
        { { "--client=tt++" }, Action::Run, "tt++", "" },
        { { "--client", "a", "--help" }, Action::Help, "", "--client TITLE" },
        { { "--version" }, Action::Version, "", "quillpost 1.2.6" },
        { { "--client" }, Action::Refuse, "", "needs a window title" },
        { { "--client=" }, Action::Refuse, "", "not empty" },
        { { "-x" }, Action::Refuse, "", "unknown argument '-x'" },
    };
    for (const auto &[args, action, title, textHas] : cases) {
        const CommandLine line = parseCommandLine(args);
        SCOPED_TRACE(line.text);
        EXPECT_EQ(line.action, action);
        if (action == Action::Run) {
            EXPECT_EQ(line.clientTitle, title);
        }
        EXPECT_TRUE(contains(line.text, textHas));
    }
}

// The window's close button asks first while a send is under way, and a quit chosen there types
// nothing more; E&xit ends at once.
TEST(Quitting, ClosingTheWindowAsksOnlyWhileASendIsUnderWay)
{
    // Ticks after loading, paused, E&xit instead of the close button, the answer (nullopt: no
    // box expected).
    const std::tuple<int, bool, bool, std::optional<std::string_view>> cases[] = {
        { 3, false, false, std::nullopt }, // after the end of the file
        { 1, true, false, kStopAndQuit }, // the two answers mid-send are the Linux e2e story's
        { 1, false, false, "" }, // box closed
        { 1, false, true, std::nullopt },
    };
    for (const auto &[ticksBefore, paused, exit, answer] : cases) {
        SCOPED_TRACE(
            testing::Message() << ticksBefore << paused << exit << answer.value_or("none"));
        AppHarness h;
        h.send("one\ntwo\n");
        h.tick(ticksBefore);
        if (paused)
            h.click("pause");
        if (answer)
            h.platform.choiceAnswers.emplace_back(*answer);
        if (exit)
            h.click("exit");
        else
            h.app->Form_QueryUnload();
        ASSERT_EQ(h.platform.choices.size(), answer ? 1u : 0u);
        if (answer) {
            EXPECT_TRUE(contains(h.platform.choices[0].first, "line 2 is next"));
        }
        const bool ends = answer != kKeepSending && answer != "";
        EXPECT_EQ(h.platform.ended, ends);
        const std::size_t typed = h.platform.arrived.size();
        h.tick(3);
        // E&xit leaves the send to the end of the process.
        EXPECT_EQ(
            h.platform.arrived.size() > typed, (!ends || exit) && !paused && ticksBefore == 1);
    }
}

} // namespace
} // namespace quillpost::test
