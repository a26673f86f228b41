#include "support/app_harness.h"

#include "sending/loader.h"
#include "windows/text_viewer.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

using Lines = std::vector<std::string>;

void view(AppHarness &h, const std::string &path)
{
    h.cd.answers.push_back(path);
    h.click("openview");
}

TEST(Viewer, ShowsEveryLineWithCrLfAndNotesTextPastTheNoteSize)
{
    // The bytes, the characters viewed (CR LF included) and whether a note says it is too long.
    const std::tuple<std::string, std::size_t, bool> cases[] = { { "", 0, false },
        { "no final break", 16, false }, { std::string(4094, 'x'), 4096, false },
        { std::string(4095, 'x'), 4097, true }, { "a\r\n\r\nb\rc", 11, false } };
    for (const auto &[bytes, viewed, note] : cases) {
        SCOPED_TRACE(bytes.size());
        AppHarness h;
        h.platform.addFile("v.txt", bytes);
        view(h, "v.txt");
        ASSERT_TRUE(h.viewerHost.viewer);
        const std::string &text = h.viewerHost.viewer->box.value;
        EXPECT_EQ(text.size(), viewed);
        EXPECT_TRUE(text.empty() || text.ends_with("\r\n"));
        ASSERT_EQ(h.platform.boxes.size(), note ? 1u : 0u);
        if (note) {
            EXPECT_EQ(h.platform.boxes[0].prompt, kViewNote);
        }
        EXPECT_EQ(h.status(), "Status: Viewing file v.txt");
        EXPECT_EQ(h.platform.openFiles(), 0);
    }
}

TEST(Viewer, IsOneWindowThatCloseEmptiesAndHides)
{
    AppHarness h;
    h.platform.addFile("a.txt", "first\n");
    h.platform.addFile("b.txt", "second\n");
    view(h, "a.txt");
    view(h, "b.txt");
    EXPECT_EQ(h.viewerHost.viewer->box.value, "second\r\n");
    h.app->textviewer_Command1_Click();
    EXPECT_EQ(h.viewerHost.viewer->box.value, "");
    EXPECT_FALSE(h.viewerHost.viewer->shown);
    view(h, "a.txt");
    EXPECT_TRUE(h.viewerHost.viewer->shown);
    EXPECT_EQ(h.viewerHost.created, 1);

    view(h, ""); // cancelled
    EXPECT_EQ(h.viewerHost.viewer->box.value, "first\r\n");
    EXPECT_TRUE(h.platform.boxes.empty());
}

TEST(Viewer, LeavesASendOrAPausedSendAsItWas)
{
    for (bool paused : { false, true }) {
        AppHarness h;
        h.platform.addFile("send.txt", "one\ntwo\n");
        h.platform.addFile("look.txt", "look\n");
        h.openToSend("send.txt");
        h.tick();
        if (paused)
            h.click("pause");
        view(h, "look.txt");
        ASSERT_EQ(h.platform.boxes.size(), 1u);
        EXPECT_EQ(h.platform.boxes[0].prompt, kViewWhileSending);
        EXPECT_EQ(h.status(), kVerifying);
        EXPECT_FALSE(h.viewerHost.viewer);
        if (paused)
            h.click("pause");
        h.tick(2);
        EXPECT_EQ(h.platform.keys, (Lines { "note += one\r", "note += two\r" }));
    }
}

TEST(Viewer, SaysWhatFailedAndLeavesNothingOpen)
{
    AppHarness h;
    h.platform.addFile("broken.txt", "line one\nline two\n");
    h.platform.failReadAfter("broken.txt", 10);
    h.platform.addEndlessFile("huge.log", 'z');

    view(h, "missing.txt");
    view(h, "broken.txt");
    view(h, "huge.log");
    ASSERT_EQ(h.platform.boxes.size(), 3u);
    EXPECT_EQ(h.platform.boxes[0].prompt, "Could not open missing.txt: No such file or directory.");
    EXPECT_EQ(h.platform.boxes[1].prompt, "Could not read broken.txt after line 1.");
    EXPECT_EQ(h.platform.boxes[2].prompt, kViewTooLarge);
    EXPECT_LT(h.platform.bytesRead("huge.log"), 2 * TextViewer::kCapacity);
    EXPECT_EQ(h.platform.openFiles(), 0);
    EXPECT_FALSE(h.viewerHost.viewer);
}

} // namespace
} // namespace quillpost::test
