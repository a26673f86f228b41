#include "support/app_harness.h"

#include "sending/loader.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

using Lines = std::vector<std::string>;

// `total` characters in lines of `perLine`, each line ended by CR LF.
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
        SCOPED_TRACE(perLine);
        AppHarness h;
        h.platform.addFile("fits.txt", linesOfTotal(4096, perLine));
        h.platform.addFile("over.txt", linesOfTotal(4097, perLine));

        h.openToSend("over.txt");
        ASSERT_EQ(h.platform.boxes.size(), 1u);
        EXPECT_EQ(h.platform.boxes[0].prompt, kTooLarge);
        EXPECT_EQ(h.status(), kTooLarge);
        EXPECT_FALSE(h.app->state().sending);
        EXPECT_EQ(h.platform.openFiles(), 0);

        // Fits the 4096 check; the server's own count, line breaks included, is the next box's.
        h.platform.choiceAnswers.push_back(std::string(kSendAsItIs));
        h.openToSend("fits.txt");
        EXPECT_EQ(h.platform.boxes.size(), 1u);
        EXPECT_TRUE(h.app->state().sending);
        EXPECT_EQ(h.app->state().sendFilePath, "fits.txt");
    }
}

TEST(Loading, RefusesAHugeFileWithoutReadingItAll)
{
    AppHarness h;
    h.platform.addEndlessFile("endless.log", 'a');
    h.openToSend("endless.log");
    EXPECT_EQ(h.status(), kTooLarge);
    EXPECT_LT(h.platform.bytesRead("endless.log"), 2u * 4096u);
}

TEST(Loading, CancellingOnlyEnablesPause)
{
    AppHarness h;
    h.cd.answers.push_back("");
    h.click("openfile");
    EXPECT_TRUE(h.menu("pause").enabled());
    EXPECT_EQ(h.status(), kCreditLine);
    EXPECT_FALSE(h.app->state().sending);
}

TEST(Loading, RefusesTextThatCannotBeTypedNamingLineAndColumn)
{
    const std::pair<std::string, std::string> cases[] = {
        { std::string("ok\r\nab\0c", 8), "line 2, column 3" },
        { "a\tb", "line 1, column 2" },
        { "caf\xC3\xA9\n", "line 1, column 4" },
        { "x\n\n\x1b[0m", "line 3, column 1" },
        { "\xEF\xBB\xBFok\n\xEF\xBB\xBF", "line 2, column 1" },
    };
    for (const auto &[bytes, where] : cases) {
        AppHarness h;
        h.platform.addFile("bin", bytes);
        h.openToSend("bin");
        ASSERT_EQ(h.platform.boxes.size(), 1u) << where;
        EXPECT_NE(h.platform.boxes[0].prompt.find(where), std::string::npos)
            << h.platform.boxes[0].prompt;
        EXPECT_EQ(h.status(), h.platform.boxes[0].prompt);
        h.tick(3);
        EXPECT_TRUE(h.platform.keys.empty());
        EXPECT_EQ(h.platform.openFiles(), 0);
    }
}

TEST(Loading, AFileThatCannotBeReadEndsWithItsReasonAndNothingOpen)
{
    const std::pair<std::string, std::string> cases[] = {
        { "missing.txt", "Error: Could not open missing.txt: No such file or directory." },
        { "bad.txt", "Error: Could not read bad.txt after line 1." },
    };
    for (const auto &[path, status] : cases) {
        AppHarness h;
        h.platform.addFile("bad.txt", "line one\r\nline two\r\n");
        h.platform.failReadAfter("bad.txt", 12);
        h.openToSend(path);
        h.tick(2);
        EXPECT_EQ(h.status(), status);
        EXPECT_FALSE(h.menu("pause").enabled());
        EXPECT_FALSE(h.app->state().sending);
        EXPECT_EQ(h.platform.openFiles(), 0);
        EXPECT_TRUE(h.platform.boxes.empty());
        EXPECT_TRUE(h.platform.keys.empty());
    }
}

TEST(Loading, AnotherFileDuringASendReplacesIt)
{
    const struct
    {
        const char *name;
        bool paused;
        std::string second;
        std::string status; // right after choosing the second file
        Lines typed;
    } cases[] = {
        { "running", false, "alpha\nbeta\n", std::string(kOtherFileOpen),
            { "one", "alpha", "beta" } },
        { "paused", true, "alpha\nbeta\n", std::string(kOtherFileOpen),
            { "one", "alpha", "beta" } },
        // The first send's lines are dropped all the same.
        { "too large", false, std::string(5000, 'b'), std::string(kTooLarge), { "one" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness h;
        h.platform.addFile("first.txt", "one\ntwo\nthree\n");
        h.platform.addFile("second.txt", c.second);
        h.openToSend("first.txt");
        h.tick();
        if (c.paused)
            h.click("pause");
        h.openToSend("second.txt");
        EXPECT_EQ(h.status(), c.status);
        EXPECT_FALSE(h.menu("pause").enabled());
        EXPECT_EQ(h.menu("pause").caption(), "&Pause");
        h.tick(3);
        Lines expected;
        for (const std::string &line : c.typed)
            expected.push_back("note += " + line + "\r");
        EXPECT_EQ(h.platform.keys, expected);
        EXPECT_EQ(h.status(), "End of file!!!");
    }
}

} // namespace
} // namespace quillpost::test
