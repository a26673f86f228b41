#include "support/app_harness.h"

#include "sending/loader.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

using Lines = std::vector<std::string>;

const std::string kWarning
    = "Zmud is not opened, please open Zmud and try again.\r\n\r\nIf by chance Zmud is open and "
      "errors are occuring, try with Zmud 4.62 (The version this was designed for).";

TEST(Sending, TypesOneLinePerTickAndEndsOnTheTickAfterTheLast)
{
    AppHarness h;
    h.platform.addFile("three.txt", "Hello\r\na(b)c\r\n(x)\r\n");
    h.openToSend("three.txt");
    EXPECT_TRUE(h.menu("pause").enabled());

    h.tick();
    EXPECT_EQ(h.status(), "Status: Sending -> note += Hello");
    h.tick(2);
    EXPECT_EQ(h.status(), "Status: Sending -> note += {(}x{)}");
    EXPECT_EQ(h.platform.ownActivations, 0);
    EXPECT_TRUE(h.app->state().sending);

    h.tick();
    EXPECT_EQ(
        h.platform.keys, (Lines { "note += Hello\r", "note += a{(}b{)}c\r", "note += {(}x{)}\r" }));
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

TEST(Sending, TicksWhileIdleChangeNothing)
{
    AppHarness h;
    h.tick(5);
    EXPECT_EQ(h.status(), kCreditLine);
    EXPECT_TRUE(h.platform.activated.empty());
    EXPECT_EQ(h.platform.ownActivations, 0);
}

TEST(Sending, EmptyLinesAreTypedAndEveryLineBreakEndsALine)
{
    AppHarness h;
    h.platform.addFile("mixed.txt", "a\r\n\r\nb\rc\n\nd");
    h.openToSend("mixed.txt");
    h.tick(7);
    EXPECT_EQ(h.platform.keys,
        (Lines { "note += a\r", "note += \r", "note += b\r", "note += c\r", "note += \r",
            "note += d\r" }));
    EXPECT_EQ(h.status(), "End of file!!!");
}

TEST(Sending, AnEmptyFileEndsOnTheFirstTick)
{
    AppHarness h;
    h.platform.addFile("empty.txt", "");
    h.openToSend("empty.txt");
    h.tick();
    EXPECT_TRUE(h.platform.keys.empty());
    EXPECT_EQ(h.status(), "End of file!!!");
}

TEST(Sending, EveryPrintableCharacterArrivesExactly)
{
    AppHarness h;
    std::string text;
    for (char c = 32; c <= 126; ++c)
        text += c;
    h.platform.addFile("ascii.txt", text + "\n" + text.substr(40) + "\n");
    h.platform.choiceAnswers.push_back(std::string(kSendAsItIs)); // a leading blank and a "~"
    h.openToSend("ascii.txt");
    h.tick(3);
    EXPECT_EQ(h.platform.arrived, "note + " + text + "\rnote + " + text.substr(40) + "\r");
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

TEST(FocusCheck, AFocusLossPausesAtTheLineAndStartTypesItOnce)
{
    AppHarness h;
    h.platform.addFile("three.txt", "one\ntwo\nthree\n");
    h.openToSend("three.txt");
    h.platform.focusLostAtSend = 2;
    h.tick(2);
    EXPECT_EQ(h.platform.keys, (Lines { "note += one\r" }));
    EXPECT_FALSE(h.app->state().sending);
    EXPECT_EQ(h.menu("pause").caption(), "&Start");
    EXPECT_TRUE(h.menu("pause").enabled());
    EXPECT_NE(h.status().find("line 2 was not typed"), std::string::npos) << h.status();
    EXPECT_NE(h.status().find("xterm"), std::string::npos) << h.status();

    h.tick(3);
    EXPECT_EQ(h.platform.keys.size(), 1u);
    h.click("pause");
    h.tick(3);
    EXPECT_EQ(h.platform.keys, (Lines { "note += one\r", "note += two\r", "note += three\r" }));
    EXPECT_EQ(h.status(), "End of file!!!");
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

struct FailureCase
{
    const char *name;
    std::function<void(AppHarness &)> arrange;
    std::string statusStart;
};

class TickFailure : public testing::TestWithParam<FailureCase>
{
};

TEST_P(TickFailure, EndsTheSendWithAnErrorNamingTheLineNotTyped)
{
    AppHarness h;
    h.platform.addFile("f.txt", "one\ntwo\nthree\n");
    GetParam().arrange(h);
    h.openToSend("f.txt");
    h.tick(3);
    EXPECT_EQ(h.platform.keys, (Lines { "note += one\r" }));
    EXPECT_EQ(h.status().rfind(GetParam().statusStart, 0), 0u) << h.status();
    EXPECT_NE(h.status().find("Line 2 was not typed."), std::string::npos) << h.status();
    EXPECT_FALSE(h.app->state().sending);
    EXPECT_FALSE(h.menu("pause").enabled());
    EXPECT_EQ(h.platform.ownActivations, 1);
    EXPECT_EQ(h.platform.openFiles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sending, TickFailure,
    testing::Values(FailureCase { "typing", [](AppHarness &h) { h.platform.typingFailsAtSend = 2; },
                        "Error: The display refused the keys." },
        FailureCase { "read",
            [](AppHarness &h) {
                // The load reads the file whole first; only the sender's read fails.
                h.platform.beforeOpen = [&h, opens = 0](const std::string &) mutable {
                    if (++opens == 3)
                        h.platform.failReadAfter("f.txt", 5);
                };
            },
            "Error: Could not read f.txt after line 1." },
        FailureCase { "changed",
            [](AppHarness &h) {
                h.platform.beforeOpen = [&h, opens = 0](const std::string &) mutable {
                    if (++opens == 3)
                        h.platform.addFile("f.txt", "one\ntw\to\nthree\n");
                };
            },
            "Error: the file changed after it was loaded" },
        FailureCase { "grown",
            [](AppHarness &h) {
                h.platform.beforeOpen = [&h, opens = 0](const std::string &) mutable {
                    if (++opens == 3)
                        h.platform.addFile("f.txt", "one\n" + std::string(9000, 'g') + "\n");
                };
            },
            "Error: the file changed after it was loaded: line 2 is longer than a whole note." }),
    [](const auto &info) { return std::string(info.param.name); });

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
    EXPECT_EQ(h.menu("pause").caption(), "&Pause");
    EXPECT_FALSE(h.menu("pause").enabled());
}

TEST(Pausing, StartWithNoFileEndsAtTheNextTick)
{
    AppHarness h;
    h.cd.answers.push_back("");
    h.click("openfile");
    h.click("pause");
    h.click("pause");
    h.tick();
    EXPECT_EQ(h.status(), "End of file!!!");
    EXPECT_FALSE(h.menu("pause").enabled());
}

TEST(Exit, EndsTheProgramEvenDuringASend)
{
    AppHarness h;
    h.platform.addFile("f.txt", "one\n");
    h.openToSend("f.txt");
    h.click("exit");
    EXPECT_TRUE(h.platform.ended);
}

} // namespace
} // namespace quillpost::test
