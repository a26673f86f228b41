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

TEST(Loading, RefusesWhatCannotBeSentSayingWhyWithNothingOpenOrTyped)
{
    // The file, what its box says (nothing: no box), and the status.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        { "over1.txt", std::string(kTooLarge), std::string(kTooLarge) },
        { "over4097.txt", std::string(kTooLarge), std::string(kTooLarge) },
        { "endless.log", std::string(kTooLarge), std::string(kTooLarge) },
        // Which byte is named is the fuzz target's; here, that the message names it.
        { "nul.txt", "line 2, column 3", "line 2, column 3" },
        { "bom.txt", "line 2, column 1", "line 2, column 1" },
        { "missing.txt", "", "Error: Could not open missing.txt: No such file or directory." },
        { "bad.txt", "", "Error: Could not read bad.txt after line 1." }
    };
    for (const auto &[path, box, status] : cases) {
        SCOPED_TRACE(path);
        AppHarness h;
        h.platform.addFile("over1.txt", linesOfTotal(4097, 1));
        h.platform.addFile("over4097.txt", linesOfTotal(4097, 4097));
        h.platform.addEndlessFile("endless.log", 'a');
        h.platform.addFile("nul.txt", std::string("ok\r\nab\0c", 8));
        h.platform.addFile("bom.txt", "\xEF\xBB\xBFok\n\xEF\xBB\xBF");
        h.platform.addFile("bad.txt", "line one\r\nline two\r\n");
        h.platform.failReadAfter("bad.txt", 12);
        h.openToSend(path);
        h.tick(2);
        ASSERT_EQ(h.platform.boxes.size(), box.empty() ? 0u : 1u);
        if (!box.empty()) {
            EXPECT_NE(h.platform.boxes[0].prompt.find(box), std::string::npos);
        }
        EXPECT_NE(h.status().find(status), std::string::npos) << h.status();
        // A refused file leaves Pause as choosing it left it; a failed read ends the send.
        EXPECT_EQ(h.menu("pause").enabled(), !box.empty());
        EXPECT_FALSE(h.app->state().sending);
        EXPECT_EQ(h.platform.openFiles(), 0);
        EXPECT_TRUE(h.platform.keys.empty());
        EXPECT_LT(h.platform.bytesRead("endless.log"), 2u * 4096u);
    }
}

TEST(Loading, AcceptsAFileOf4096CharactersHoweverManyLineBreaks)
{
    // Any layout of breaks is the fuzz target's; these are the extremes.
    for (std::size_t perLine : { 1u, 4096u }) {
        AppHarness h;
        h.platform.addFile("fits.txt", linesOfTotal(4096, perLine));
        // The server's own count, line breaks included, is the next box's.
        h.platform.choiceAnswers.push_back(std::string(kSendAsItIs));
        h.openToSend("fits.txt");
        EXPECT_TRUE(h.app->state().sending) << perLine;
    }
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

TEST(Loading, AnotherFileDuringASendReplacesIt)
{
    // Paused or not, the second file, the status right after choosing it, and what is typed: a
    // refused second file drops the first send's lines all the same.
    const std::tuple<bool, std::string, std::string_view, Lines> cases[] = {
        { false, "alpha\nbeta\n", kOtherFileOpen, { "one", "alpha", "beta" } },
        { true, "alpha\nbeta\n", kOtherFileOpen, { "one", "alpha", "beta" } },
        { false, std::string(5000, 'b'), kTooLarge, { "one" } },
    };
    for (const auto &[paused, second, status, typed] : cases) {
        SCOPED_TRACE(second.size() + paused);
        AppHarness h;
        h.platform.addFile("first.txt", "one\ntwo\nthree\n");
        h.platform.addFile("second.txt", second);
        h.openToSend("first.txt");
        h.tick();
        if (paused)
            h.click("pause");
        h.openToSend("second.txt");
        EXPECT_EQ(h.status(), status);
        EXPECT_FALSE(h.menu("pause").enabled());
        EXPECT_EQ(h.menu("pause").caption(), "&Pause");
        h.tick(3);
        Lines expected;
        for (const std::string &line : typed)
            expected.push_back("note += " + line + "\r");
        EXPECT_EQ(h.platform.keys, expected);
        EXPECT_EQ(h.status(), "End of file!!!");
    }
}

} // namespace
} // namespace quillpost::test
