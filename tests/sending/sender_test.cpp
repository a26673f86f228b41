#include "support/app_harness.h"

#include "sending/loader.h"
#include "windows/credit.h"
#include "windows/text_viewer.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

TEST(Sending, TypesOneLinePerTickHoldsWhilePausedAndEndsOnTheTickAfterTheLast)
{
    AppHarness h;
    h.tick(3);
    EXPECT_EQ(h.status(), kCreditLine) << "ticks while idle change nothing";
    // The interval's report, in the singular or plural, with the two blanks its number format
    // leaves.
    h.click("showtimerinterval");
    EXPECT_EQ(h.status(), "The timer interval is set at  1 second.");
    EXPECT_FALSE(h.menu("pause").enabledValue) << "nothing to pause yet";
    h.send("Hello\r\na(b)c\r\n(x)\r\n");
    h.tick();
    EXPECT_EQ(h.status(), "Status: Sending -> note += Hello");
    h.open("f.txt", "openview"); // the viewer leaves a send, paused or not, as it was
    h.click("pause");
    EXPECT_EQ(h.menu("pause").captionValue, "&Start");
    h.open("f.txt", "openview");
    ASSERT_EQ(h.platform.boxes.size(), 2u);
    EXPECT_EQ(h.platform.boxes[0].prompt, kViewWhileSending);
    EXPECT_EQ(h.status(), kVerifying);
    EXPECT_FALSE(h.viewer.used);
    h.tick(4);
    EXPECT_EQ(h.platform.arrived, "note + Hello\r");
    h.click("pause");
    EXPECT_EQ(h.menu("pause").captionValue, "&Pause");
    h.click("three"); // an interval chosen mid-send neither restarts it nor stops it
    EXPECT_EQ(h.timer1.value, 3000);
    h.click("showtimerinterval");
    EXPECT_EQ(h.status(), "The timer interval is set at  3 seconds.");
    h.tick(2);
    EXPECT_EQ(h.status(), "Status: Sending -> note += {(}x{)}");
    EXPECT_EQ(h.platform.ownActivations, 0);
    h.tick();
    EXPECT_EQ(h.status(), "End of file!!!");
    h.tick(2);
    EXPECT_EQ(h.platform.arrived, "note + Hello\rnote + a(b)c\rnote + (x)\r");
    EXPECT_NE(h.app->send().state(), Send::State::Sending);
    EXPECT_FALSE(h.menu("pause").enabledValue);
    EXPECT_EQ(h.menu("pause").captionValue, "&Pause");
    EXPECT_EQ(h.platform.ownActivations, 1);
    EXPECT_EQ(h.platform.openFiles(), 0);

    // A cancelled load only enables Pause; Start with no file open ends at the next tick.
    h.click("openfile");
    EXPECT_TRUE(h.menu("pause").enabledValue);
    EXPECT_EQ(h.status(), "End of file!!!");
    EXPECT_NE(h.app->send().state(), Send::State::Sending);
    h.click("pause");
    h.click("pause");
    h.tick();
    EXPECT_FALSE(h.menu("pause").enabledValue);
}

// The last send's window, still open but no longer titled for the client, is not taken by the
// next send (keeping it through new titles mid-send is the Linux e2e story's).
TEST(ClientCheck, AStrangerIsNotTaken)
{
    AppHarness h;
    h.send("one\n");
    h.tick(2);
    h.platform.clientTitle = "xterm";
    h.platform.whileBoxOpen = [&] { h.platform.clientTitle = "zMUD"; };
    h.open("f.txt");
    h.tick();
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    EXPECT_TRUE(contains(h.platform.boxes[0].prompt, "Zmud is not opened"));
    EXPECT_EQ(h.platform.boxes[0].style, MsgStyle::Exclamation);
    EXPECT_EQ(h.platform.activated.back(), "zMUD");
}

TEST(ClientChoice, NoPickOrOneOfOursIsNoChoice)
{
    AppHarness h;
    h.click("chooseclient");
    EXPECT_EQ(h.status(), kChooseClientCancelled);
    h.platform.picked = PickedWindow { { 0x99 }, "Quillpost", true };
    h.click("chooseclient");
    EXPECT_EQ(h.status(), kChooseClientCancelled);
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    EXPECT_EQ(h.platform.boxes[0].prompt, kOwnWindowRefused);
}

// A focus loss pauses at the line; ticks then do nothing, and Start types what was not typed:
// the whole line, or, when part of it is already in the client's input line, only the rest,
// with the spool it was begun with. A client that closed meanwhile took that line's start with
// it: the next one gets the whole line.
TEST(FocusCheck, AFocusLossPausesAtTheLineAndStartTypesWhatWasNotTyped)
{
    // How much of line 2 is typed before the loss, whether the client then closes and another
    // opens, the status, and what arrived then and at the end.
    const std::tuple<std::size_t, bool, std::string, std::string, std::string> cases[] = {
        { 0, false, "line 2 was not typed", "note + one\r",
            "note + one\rqnote + (a) b\rqnote + c\r" },
        { 8, false, "line 2 was typed up to character 8 of 12", "note + one\rnote + (",
            "note + one\rnote + (a) b\rqnote + c\r" },
        { 5, true, "line 2 was typed up to character 5 of 12", "note + one\rnote ",
            "note + one\rnote note + (a) b\rqnote + c\r" },
    };
    for (const auto &[typedBefore, reopens, status, atPause, arrived] : cases) {
        SCOPED_TRACE(status);
        AppHarness h;
        // Loaded over another file, which leaves Pause disabled: the pause must enable it.
        h.send("other\n");
        h.send("one\n(a) b\nc\n");
        h.platform.sendFailure = { 2, ErrorKind::FocusLost, typedBefore };
        h.tick(2);
        EXPECT_NE(h.app->send().state(), Send::State::Sending);
        EXPECT_EQ(h.menu("pause").captionValue, "&Start");
        EXPECT_TRUE(h.menu("pause").enabledValue);
        EXPECT_TRUE(contains(h.status(), status)) << h.status();
        EXPECT_TRUE(contains(h.status(), "xterm")) << h.status();
        h.tick(3);
        EXPECT_EQ(h.platform.arrived, atPause) << "ticks typed while paused";
        if (reopens)
            h.platform.reopenClient();
        h.click("quest");
        h.click("pause");
        h.tick(3);
        EXPECT_EQ(h.platform.arrived, arrived);
        EXPECT_EQ(h.status(), "End of file!!!");
    }
}

TEST(Sending, AFailedTickEndsTheSendWithAnErrorNamingTheLineNotTyped)
{
    // The send that fails, or how the file changes, after the file was loaded.
    using Failure = FakePlatform::SendFailure;
    const struct
    {
        std::optional<Failure> failure;
        std::function<void(FakePlatform::File &)> change;
        std::string statusStart;
        std::string line2 = "Line 2 was not typed.";
        std::string arrived = "note + one\r";
    } cases[] = {
        { Failure { 2, ErrorKind::Typing }, {}, "Error: The display refused the keys." },
        { Failure { 2, ErrorKind::Typing, 5 }, {}, "Error: The display refused the keys.",
            "Line 2 was typed only in part.", "note + one\rnote " },
        { {}, [](auto &f) { f.failAfter = 5; }, "Error: Could not read f.txt after line 1." },
        { {}, [](auto &f) { f.contents = "one\ntw\to\nthree\n"; },
            "Error: the file changed after it was loaded" },
        { {}, [](auto &f) { f.contents = "one\n" + std::string(9000, 'g'); },
            "Error: the file changed after it was loaded: line 2 is longer than a whole note." },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.statusStart);
        AppHarness h;
        h.send("one\ntwo\nthree\n");
        h.platform.sendFailure = c.failure;
        if (c.change)
            c.change(h.platform.files["f.txt"]);
        h.tick(3);
        EXPECT_EQ(h.platform.arrived, c.arrived);
        EXPECT_EQ(h.status().rfind(c.statusStart, 0), 0u) << h.status();
        EXPECT_TRUE(contains(h.status(), c.line2)) << h.status();
        EXPECT_NE(h.app->send().state(), Send::State::Sending);
        EXPECT_FALSE(h.menu("pause").enabledValue);
        EXPECT_EQ(h.platform.ownActivations, 1);
        EXPECT_EQ(h.platform.openFiles(), 0);
    }
}

} // namespace
} // namespace quillpost::test
