#include "support/app_harness.h"

#include "sending/loader.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

using Lines = std::vector<std::string>;

// n lines holding `total` characters in all, each line ended by CR LF.
std::string linesOfTotal(std::size_t total, std::size_t perLine)
{
    std::string out;
    for (std::size_t done = 0; done < total; done += perLine)
        out += std::string(std::min(perLine, total - done), 'x') + "\r\n";
    return out;
}

TEST(Loading, AcceptsAFileOf4096CharactersAndRefuses4097HoweverManyLineBreaks)
{
    for (std::size_t perLine : { 1u, 7u, 4096u }) {
        AppHarness h;
        h.platform.addFile("fits.txt", linesOfTotal(4096, perLine));
        h.platform.addFile("over.txt", linesOfTotal(4097, perLine));

        h.openToSend("over.txt");
        ASSERT_EQ(h.platform.boxes.size(), 1u);
        EXPECT_EQ(h.platform.boxes[0].prompt, kTooLarge);
        EXPECT_EQ(h.platform.boxes[0].style, MsgStyle::Ok);
        EXPECT_EQ(h.status(), kTooLarge);
        EXPECT_FALSE(h.app->state().sending);
        EXPECT_EQ(h.platform.openFiles(), 0);

        // Fits the 4096 check; the server's own count, line breaks included, is the next box's.
        h.platform.choiceAnswers.push_back(std::string(kSendAsItIs));
        h.openToSend("fits.txt");
        EXPECT_EQ(h.platform.boxes.size(), 1u);
        EXPECT_EQ(h.platform.choices.size(), 1u);
        EXPECT_EQ(h.status(), kVerifying);
        EXPECT_TRUE(h.app->state().sending);
        EXPECT_EQ(h.app->state().sendFilePath, "fits.txt");
        EXPECT_EQ(
            h.cd.titles, (Lines { "Open File to send to Zmud", "Open File to send to Zmud" }));
    }
}

TEST(Loading, RefusesAHugeFileWithoutReadingItAll)
{
    AppHarness h;
    h.platform.addEndlessFile("endless.log", 'a');
    h.openToSend("endless.log");
    EXPECT_EQ(h.status(), kTooLarge);
    EXPECT_LT(h.platform.bytesRead("endless.log"), 2u * 4096u);

    // One line that never ends must not be held whole either.
    h.platform.addEndlessFile("oneline.log", 'b');
    h.openToSend("oneline.log");
    EXPECT_LT(h.platform.bytesRead("oneline.log"), 2u * 4096u);
}

TEST(Loading, CancellingOnlyEnablesPause)
{
    AppHarness h;
    h.cd.answers.push_back("");
    h.click("openfile");
    EXPECT_TRUE(h.menu("pause").enabled());
    EXPECT_EQ(h.status(), kCreditLine);
    EXPECT_FALSE(h.app->state().sending);
    EXPECT_TRUE(h.platform.boxes.empty());
}

struct NotTextCase
{
    std::string bytes;
    std::string where;
};

class NotText : public testing::TestWithParam<NotTextCase>
{
};

TEST_P(NotText, IsRefusedNamingLineAndColumnBeforeAnythingIsTyped)
{
    AppHarness h;
    h.platform.addFile("bin", GetParam().bytes);
    h.openToSend("bin");
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    EXPECT_NE(h.platform.boxes[0].prompt.find(GetParam().where), std::string::npos)
        << h.platform.boxes[0].prompt;
    EXPECT_EQ(h.status(), h.platform.boxes[0].prompt);
    h.tick(3);
    EXPECT_TRUE(h.platform.keys.empty());
    EXPECT_EQ(h.platform.openFiles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Loading, NotText,
    testing::Values(NotTextCase { std::string("ok\r\nab\0c", 8), "line 2, column 3" },
        NotTextCase { "a\tb", "line 1, column 2" },
        NotTextCase { "caf\xC3\xA9\n", "line 1, column 4" },
        NotTextCase { "x\n\n\x1b[0m", "line 3, column 1" },
        NotTextCase { "\xEF\xBB\xBFok\n\xEF\xBB\xBF", "line 2, column 1" }));

TEST(Loading, SkipsAByteOrderMarkAtTheStart)
{
    AppHarness h;
    h.platform.addFile("bom.txt", "\xEF\xBB\xBFHello\r\n");
    h.openToSend("bom.txt");
    h.tick();
    EXPECT_EQ(h.platform.keys, (Lines { "note += Hello\r" }));
}

TEST(Loading, AFileThatCannotBeReadEndsWithItsReasonAndNothingOpen)
{
    AppHarness h;
    h.platform.addFile("bad.txt", "line one\r\nline two\r\n");
    h.platform.failReadAfter("bad.txt", 12);

    h.openToSend("missing.txt");
    EXPECT_EQ(h.status(), "Error: Could not open missing.txt: No such file or directory.");
    EXPECT_FALSE(h.menu("pause").enabled());

    h.openToSend("bad.txt");
    EXPECT_EQ(h.status(), "Error: Could not read bad.txt after line 1.");
    EXPECT_FALSE(h.menu("pause").enabled());
    EXPECT_FALSE(h.app->state().sending);
    EXPECT_EQ(h.platform.openFiles(), 0);
    EXPECT_TRUE(h.platform.boxes.empty());
    h.tick(2);
    EXPECT_TRUE(h.platform.keys.empty());
    EXPECT_EQ(h.status(), "Error: Could not read bad.txt after line 1.");
}

TEST(Loading, AnotherFileDuringASendReplacesItAndLeavesPauseDisabled)
{
    AppHarness h;
    h.platform.addFile("first.txt", "one\ntwo\nthree\n");
    h.platform.addFile("second.txt", "alpha\nbeta\n");
    h.openToSend("first.txt");
    h.tick();

    h.openToSend("second.txt");
    EXPECT_EQ(h.status(), kOtherFileOpen);
    EXPECT_FALSE(h.menu("pause").enabled());
    EXPECT_EQ(h.menu("pause").caption(), "&Pause");
    EXPECT_EQ(h.platform.openFiles(), 1);

    h.tick(3);
    EXPECT_EQ(h.platform.keys, (Lines { "note += one\r", "note += alpha\r", "note += beta\r" }));
    EXPECT_EQ(h.status(), "End of file!!!");
}

TEST(Loading, AnotherFileWhilePausedSendsAtOnce)
{
    AppHarness h;
    h.platform.addFile("first.txt", "one\ntwo\n");
    h.platform.addFile("second.txt", "alpha\n");
    h.openToSend("first.txt");
    h.tick();
    h.click("pause");
    h.openToSend("second.txt");
    EXPECT_TRUE(h.app->state().sending);
    EXPECT_FALSE(h.menu("pause").enabled());
    EXPECT_EQ(h.menu("pause").caption(), "&Pause");
    h.tick();
    EXPECT_EQ(h.platform.keys, (Lines { "note += one\r", "note += alpha\r" }));
}

TEST(Loading, ATooLargeFileDuringASendEndsThatSendOnTheNextTick)
{
    AppHarness h;
    h.platform.addFile("first.txt", "one\ntwo\n");
    h.platform.addFile("big.txt", std::string(5000, 'b'));
    h.openToSend("first.txt");
    h.tick();
    h.openToSend("big.txt");
    EXPECT_EQ(h.status(), kTooLarge);
    h.tick();
    EXPECT_EQ(h.status(), "End of file!!!");
    EXPECT_EQ(h.platform.keys, (Lines { "note += one\r" }));
}

} // namespace
} // namespace quillpost::test
