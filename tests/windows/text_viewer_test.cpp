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

TEST(Viewer, ShowsEveryLineWithCrLfOrSaysWhatFailedLeavingNothingOpen)
{
    // The file; the characters viewed, CR LF included (nothing: no viewer); what a box says.
    const std::tuple<std::string, std::optional<std::size_t>, std::string> cases[] = {
        { "empty.txt", 0, "" }, { "unended.txt", 16, "" }, { "4096.txt", 4096, "" },
        { "4097.txt", 4097, std::string(kViewNote) }, { "breaks.txt", 11, "" },
        { "missing.txt", std::nullopt, "Could not open missing.txt: No such file or directory." },
        { "broken.txt", std::nullopt, "Could not read broken.txt after line 1." },
        { "huge.log", std::nullopt, std::string(kViewTooLarge) }
    };
    for (const auto &[path, viewed, box] : cases) {
        SCOPED_TRACE(path);
        AppHarness h;
        h.platform.addFile("empty.txt", "");
        h.platform.addFile("unended.txt", "no final break");
        h.platform.addFile("4096.txt", std::string(4094, 'x'));
        h.platform.addFile("4097.txt", std::string(4095, 'x'));
        h.platform.addFile("breaks.txt", "a\r\n\r\nb\rc");
        h.platform.addFile("broken.txt", "line one\nline two\n");
        h.platform.failReadAfter("broken.txt", 10);
        h.platform.addEndlessFile("huge.log", 'z');
        view(h, path);
        ASSERT_EQ(h.platform.boxes.size(), box.empty() ? 0u : 1u);
        if (!box.empty()) {
            EXPECT_EQ(h.platform.boxes[0].prompt, box);
        }
        ASSERT_EQ(h.viewerHost.viewer != nullptr, viewed.has_value());
        if (viewed) {
            const std::string &text = h.viewerHost.viewer->box.value;
            EXPECT_EQ(text.size(), *viewed);
            EXPECT_TRUE(text.empty() || text.ends_with("\r\n"));
            EXPECT_EQ(h.status(), "Status: Viewing file " + path);
        }
        EXPECT_EQ(h.platform.openFiles(), 0);
        EXPECT_LT(h.platform.bytesRead("huge.log"), 2 * TextViewer::kCapacity);
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

} // namespace
} // namespace quillpost::test
