#include "support/app_harness.h"

#include "sending/loader.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

using Lines = std::vector<std::string>;

const std::string kWarning
    = "Zmud is not opened, please open Zmud and try again.\r\n\r\nIf by chance Zmud is open and "
      "errors are occuring, try with Zmud 4.62 (The version this was designed for).";

bool contains(const std::string &text, std::string_view part)
{
    return text.find(part) != std::string::npos;
}

TEST(Sending, TypesOneLinePerTickAndEndsOnTheTickAfterTheLast)
{
    AppHarness h;
    h.tick(3);
    EXPECT_EQ(h.status(), kCreditLine) << "ticks while idle change nothing";
    h.platform.addFile("three.txt", "Hello\r\na(b)c\r\n(x)\r\n");
    h.openToSend("three.txt");

    h.tick();
    EXPECT_EQ(h.status(), "Status: Sending -> note += Hello");
    h.tick(2);
    EXPECT_EQ(h.status(), "Status: Sending -> note += {(}x{)}");
    EXPECT_EQ(h.platform.ownActivations, 0);

    h.tick();
    EXPECT_EQ(h.platform.arrived, "note + Hello\rnote + a(b)c\rnote + (x)\r");
    EXPECT_EQ(h.status(), "End of file!!!");
    EXPECT_FALSE(h.app->state().sending);
    EXPECT_FALSE(h.menu("pause").enabled());
    EXPECT_EQ(h.menu("pause").caption(), "&Pause");
    EXPECT_EQ(h.platform.ownActivations, 1);
    EXPECT_EQ(h.platform.openFiles(), 0);

    h.tick(2);
    EXPECT_EQ(h.platform.keys.size(), 3u);
    EXPECT_EQ(h.platform.ownActivations, 1);
}

TEST(Sending, EveryLineArrivesAsWrittenWhateverItsBreaks)
{
    std::string ascii;
    for (char c = 32; c <= 126; ++c)
        ascii += c;
    const struct
    {
        std::string file;
        std::string arrived;
    } cases[] = {
        { "", "" },
        { "a\r\n\r\nb\rc\n\nd", "note + a\rnote + \rnote + b\rnote + c\rnote + \rnote + d\r" },
        // A leading blank and a "~": the preflight box is answered below.
        { ascii + "\n" + ascii.substr(40) + "\n",
            "note + " + ascii + "\rnote + " + ascii.substr(40) + "\r" },
    };
    for (const auto &c : cases) {
        AppHarness h;
        h.platform.addFile("f.txt", c.file);
        h.platform.choiceAnswers.push_back(std::string(kSendAsItIs));
        h.openToSend("f.txt");
        h.tick(8);
        EXPECT_EQ(h.platform.arrived, c.arrived);
        EXPECT_EQ(h.status(), "End of file!!!");
    }
}

TEST(ClientCheck, WarnsUntilTheClientIsThereThenTypesThePendingLineOnce)
{
    AppHarness h;
    h.platform.addFile("two.txt", "first\nsecond\n");
    h.openToSend("two.txt");
    h.platform.clientMissingChecks = 3;
    int nestedTicks = 0;
    // The timer keeps ticking while the box is open; those ticks must not type anything.
    h.platform.whileBoxOpen = [&](const FakePlatform::Box &) {
        for (int i = 0; i < 4; ++i, ++nestedTicks)
            h.tick();
        EXPECT_TRUE(h.platform.keys.empty());
    };
    h.tick();
    ASSERT_EQ(h.platform.boxes.size(), 3u);
    EXPECT_EQ(h.platform.boxes[0].prompt, kWarning);
    EXPECT_EQ(h.platform.boxes[0].style, MsgStyle::Exclamation);
    EXPECT_EQ(nestedTicks, 12);
    EXPECT_EQ(h.status(), "Status: Sending -> note += first");
    h.tick(2);
    EXPECT_EQ(h.platform.keys, (Lines { "note += first\r", "note += second\r" }));
    EXPECT_EQ(h.status(), "End of file!!!");
}

// Real clients retitle their window as they run; the send keeps the window it found until that
// window is closed, and only then looks again by title.
TEST(ClientCheck, KeepsTheWindowItFoundUntilItClosesThenLooksAgain)
{
    AppHarness h;
    h.platform.addFile("f.txt", "one\ntwo\nthree\nfour\nfive\n");
    h.openToSend("f.txt");
    h.tick();
    h.platform.clientTitle = "(*) Hollowmere - zmud";
    h.tick();
    EXPECT_EQ(h.platform.activated, Lines { "zMUD" }) << "looked up by title only once";

    // Closed between ticks: the warning until a new client is there, then the line waits for it.
    h.platform.closeClient();
    h.platform.clientTitle = "zMUD";
    h.platform.whileBoxOpen = [&](const FakePlatform::Box &) { h.platform.reopenClient(); };
    h.tick();
    EXPECT_EQ(h.platform.boxes.size(), 1u);

    // Closed while a line was cut short: its start went with the old window, so the new one
    // gets the whole line.
    h.platform.whileBoxOpen = nullptr;
    h.platform.focusLostAtSend = 4;
    h.platform.typedBeforeFailure = 5; // half a line, then the window goes
    h.tick();
    h.platform.closeClient();
    h.platform.reopenClient();
    h.click("pause");
    h.tick(3);
    EXPECT_EQ(h.platform.arrived,
        "note + one\rnote + two\rnote + three\rnote note + four\rnote + five\r");
    EXPECT_EQ(h.status(), "End of file!!!");
}

TEST(ClientCheck, ANewSendLooksForTheClientAgain)
{
    AppHarness h;
    h.platform.addFile("f.txt", "one\n");
    h.openToSend("f.txt");
    h.tick(2);
    // Still open, but no longer a "zMUD" window: the new send must not take it.
    h.platform.clientTitle = "xterm";
    h.platform.whileBoxOpen = [&](const FakePlatform::Box &) { h.platform.clientTitle = "zMUD"; };
    h.openToSend("f.txt");
    h.tick(2);
    EXPECT_EQ(h.platform.boxes.size(), 1u);
    EXPECT_EQ(h.platform.arrived, "note + one\rnote + one\r");
}

// A window chosen by clicking is the client for the rest of the run, whatever its title, until
// it closes; then the title rule applies again.
TEST(ClientChoice, TheChosenWindowServesUntilItClosesThenTheTitleRuleAgain)
{
    AppHarness h;
    h.app->setClientTitle("Mud");
    h.platform.client = WindowId { 0x77 };
    h.platform.clientTitle = "Hollowmere - Mudlet";
    h.platform.picks.push_back(PickedWindow { { 0x77 }, "Hollowmere - Mudlet" });
    h.click("chooseclient");
    EXPECT_EQ(h.status(), "Client window: Hollowmere - Mudlet");

    h.platform.addFile("f.txt", "one\ntwo\n");
    h.openToSend("f.txt");
    h.tick(3);
    h.openToSend("f.txt");
    h.tick();
    EXPECT_TRUE(h.platform.activated.empty()) << "the chosen window was looked up by title";

    h.platform.closeClient();
    h.platform.reopenClient();
    h.platform.clientTitle = "mudlet";
    h.tick(2);
    EXPECT_EQ(h.platform.activated, Lines { "Mud" });
    EXPECT_EQ(h.platform.arrived, "note + one\rnote + two\rnote + one\rnote + two\r");
    EXPECT_TRUE(h.platform.boxes.empty());
}

TEST(ClientChoice, CancelAndTheProgramsOwnWindowsLeaveTheClientAsItWas)
{
    const struct
    {
        const char *name;
        std::optional<PickedWindow> picked; // nullopt: Esc
        std::size_t boxes;
    } cases[] = {
        { "Esc", std::nullopt, 0 },
        { "own window", PickedWindow { { 0x99 }, "Quillpost", true }, 1 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness h;
        if (c.picked)
            h.platform.picks.push_back(*c.picked);
        h.click("chooseclient");
        EXPECT_EQ(h.platform.boxes.size(), c.boxes);
        EXPECT_EQ(h.status(), kChooseClientCancelled);
        h.platform.addFile("f.txt", "one\n");
        h.openToSend("f.txt");
        h.tick();
        EXPECT_EQ(h.platform.activated, Lines { "zMUD" });
        EXPECT_EQ(h.platform.arrived, "note + one\r");
    }
}

// A focus loss pauses at the line; ticks then do nothing, and Start types what was not typed:
// the whole line, or, when part of it is already in the client's input line, only the rest,
// with the spool it was begun with.
TEST(FocusCheck, AFocusLossPausesAtTheLineAndStartTypesWhatWasNotTyped)
{
    const struct
    {
        std::size_t typedBefore;
        std::string status;
        Lines keys;
    } cases[] = {
        { 0, "line 2 was not typed", { "note += one\r", "oocn += {(}a{)} b\r", "oocn += c\r" } },
        { std::string("note += {(}").size(), "line 2 was typed up to character 8 of 12",
            { "note += one\r", "note += {(}", "a{)} b\r", "oocn += c\r" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status);
        AppHarness h;
        h.platform.addFile("f.txt", "one\n(a) b\nc\n");
        h.openToSend("f.txt");
        h.platform.focusLostAtSend = 2;
        h.platform.typedBeforeFailure = c.typedBefore;
        h.tick(2);
        EXPECT_FALSE(h.app->state().sending);
        EXPECT_EQ(h.menu("pause").caption(), "&Start");
        EXPECT_TRUE(h.menu("pause").enabled());
        EXPECT_TRUE(contains(h.status(), c.status)) << h.status();
        EXPECT_TRUE(contains(h.status(), "xterm")) << h.status();
        h.tick(3);
        const std::size_t typed = h.platform.keys.size();
        h.click("oocn");
        h.click("pause");
        h.tick(3);
        EXPECT_EQ(typed, c.keys.size() - 2) << "ticks typed while paused";
        EXPECT_EQ(h.platform.keys, c.keys);
        EXPECT_EQ(h.status(), "End of file!!!");
    }
}

TEST(FocusCheck, APauseAfterLoadingThroughTheErrorHandlerStillOffersStart)
{
    AppHarness h;
    h.platform.addFile("a.txt", "a1\na2\n");
    h.platform.addFile("b.txt", "b1\nb2\n");
    h.openToSend("a.txt");
    h.openToSend("b.txt");
    ASSERT_FALSE(h.menu("pause").enabled());
    h.platform.focusLostAtSend = 1;
    h.tick();
    EXPECT_TRUE(h.menu("pause").enabled());
    h.click("pause");
    h.tick(2);
    EXPECT_EQ(h.platform.keys, (Lines { "note += b1\r", "note += b2\r" }));
}

TEST(Sending, AFailedTickEndsTheSendWithAnErrorNamingTheLineNotTyped)
{
    // Each case changes the file just before the sender opens it (the load reads it first).
    const auto onSendersOpen = [](AppHarness &h, std::function<void()> change) {
        h.platform.beforeOpen = [change, opens = 0](const std::string &) mutable {
            if (++opens == 3)
                change();
        };
    };
    const struct
    {
        const char *name;
        std::function<void(AppHarness &)> arrange;
        std::string statusStart;
        std::string line2 = "Line 2 was not typed.";
        std::string arrived = "note + one\r";
    } cases[] = {
        { "typing", [](AppHarness &h) { h.platform.typingFailsAtSend = 2; },
            "Error: The display refused the keys." },
        { "typing part way",
            [](AppHarness &h) {
                h.platform.typingFailsAtSend = 2;
                h.platform.typedBeforeFailure = 5;
            },
            "Error: The display refused the keys.", "Line 2 was typed only in part.",
            "note + one\rnote " },
        { "read",
            [&](AppHarness &h) {
                onSendersOpen(h, [&h] { h.platform.failReadAfter("f.txt", 5); });
            },
            "Error: Could not read f.txt after line 1." },
        { "changed",
            [&](AppHarness &h) {
                onSendersOpen(h, [&h] { h.platform.addFile("f.txt", "one\ntw\to\nthree\n"); });
            },
            "Error: the file changed after it was loaded" },
        { "grown",
            [&](AppHarness &h) {
                onSendersOpen(h,
                    [&h] { h.platform.addFile("f.txt", "one\n" + std::string(9000, 'g') + "\n"); });
            },
            "Error: the file changed after it was loaded: line 2 is longer than a whole note." },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness h;
        h.platform.addFile("f.txt", "one\ntwo\nthree\n");
        c.arrange(h);
        h.openToSend("f.txt");
        h.tick(3);
        EXPECT_EQ(h.platform.arrived, c.arrived);
        EXPECT_EQ(h.status().rfind(c.statusStart, 0), 0u) << h.status();
        EXPECT_TRUE(contains(h.status(), c.line2)) << h.status();
        EXPECT_FALSE(h.app->state().sending);
        EXPECT_FALSE(h.menu("pause").enabled());
        EXPECT_EQ(h.platform.ownActivations, 1);
        EXPECT_EQ(h.platform.openFiles(), 0);
    }
}

TEST(Pausing, HoldsTheSendAtTheNextLineAndStartGoesOn)
{
    AppHarness h;
    h.platform.addFile("f.txt", "one\ntwo\n");
    h.openToSend("f.txt");
    h.tick();
    h.click("pause");
    EXPECT_EQ(h.menu("pause").caption(), "&Start");
    h.tick(4);
    EXPECT_EQ(h.status(), "Status: Sending -> note += one");
    EXPECT_EQ(h.platform.keys.size(), 1u);
    h.click("pause");
    EXPECT_EQ(h.menu("pause").caption(), "&Pause");
    h.tick(2);
    EXPECT_EQ(h.platform.keys, (Lines { "note += one\r", "note += two\r" }));
    EXPECT_FALSE(h.menu("pause").enabled());

    // Start with no file open (after a cancelled load) ends at the next tick.
    h.cd.answers.push_back("");
    h.click("openfile");
    h.click("pause");
    h.click("pause");
    h.tick();
    EXPECT_EQ(h.status(), "End of file!!!");
    EXPECT_FALSE(h.menu("pause").enabled());
}

// E&xit ends at once; the window's close button asks first while a send is under way, and a
// quit chosen there types nothing more.
TEST(Quitting, ClosingTheWindowAsksOnlyWhileASendIsUnderWay)
{
    const struct
    {
        const char *name;
        int ticksBefore; // after loading; -1: nothing loaded
        bool paused;
        std::optional<std::string_view> answer; // nullopt: no box expected
        bool ends;
    } cases[] = {
        { "idle", -1, false, std::nullopt, true },
        { "after the end of the file", 3, false, std::nullopt, true },
        { "sending, quit", 1, false, kStopAndQuit, true },
        { "sending, keep going", 1, false, kKeepSending, false },
        { "paused, quit", 1, true, kStopAndQuit, true },
        { "box closed", 1, false, "", false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness h;
        h.platform.addFile("f.txt", "one\ntwo\n");
        if (c.ticksBefore >= 0)
            h.openToSend("f.txt");
        h.tick(c.ticksBefore);
        if (c.paused)
            h.click("pause");
        if (c.answer)
            h.platform.choiceAnswers.emplace_back(*c.answer);
        h.app->Form_QueryUnload();
        EXPECT_EQ(h.platform.choices.size(), c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_TRUE(contains(h.platform.choices[0].first, "line 2 is next"))
                << h.platform.choices[0].first;
        }
        EXPECT_EQ(h.platform.ended, c.ends);
        const std::size_t typed = h.platform.keys.size();
        h.tick(3);
        EXPECT_EQ(h.platform.keys.size() > typed,
            !c.ends && !c.paused && c.ticksBefore >= 0 && c.ticksBefore < 3);
    }
    AppHarness h;
    h.platform.addFile("f.txt", "one\n");
    h.openToSend("f.txt");
    h.click("exit");
    EXPECT_TRUE(h.platform.ended);
    EXPECT_TRUE(h.platform.choices.empty());
}

} // namespace
} // namespace quillpost::test
