#include "support/app_harness.h"

#include "windows/text_viewer.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

TEST(Viewer, ShowsEveryLineWithCrLfOrSaysWhatFailedLeavingNothingOpen)
{
    // The file (nothing: none) and where reading it fails; the characters viewed, CR LF included
    // (nothing: no viewer); what a box says.
    const std::size_t never = std::string::npos;
    const std::tuple<std::optional<std::string>, std::size_t, std::optional<std::size_t>,
        std::string_view>
        cases[] = {
            { "", never, 0, "" },
            { "no final break", never, 16, "" },
            { std::string(4094, 'x'), never, 4096, "" },
            { std::string(4095, 'x'), never, 4097, kViewNote },
            { "a\r\n\r\nb\rc", never, 11, "" },
            { std::nullopt, never, std::nullopt,
                "Could not open f.txt: No such file or directory." },
            { "line one\nline two\n", 10, std::nullopt, "Could not read f.txt after line 1." },
            { std::string(3 * TextViewer::kCapacity, 'z'), never, std::nullopt, kViewTooLarge },
        };
    for (const auto &[file, failAfter, viewed, box] : cases) {
        SCOPED_TRACE(testing::Message() << viewed.value_or(0) << ' ' << box);
        AppHarness h;
        if (file)
            h.platform.addFile("f.txt", *file, failAfter);
        h.open("f.txt", "openview");
        ASSERT_EQ(h.platform.boxes.size(), box.empty() ? 0u : 1u);
        if (!box.empty()) {
            EXPECT_EQ(h.platform.boxes[0].prompt, box);
        }
        ASSERT_EQ(h.viewer.used, viewed.has_value());
        if (viewed) {
            const std::string &text = h.viewer.box.value;
            EXPECT_EQ(text.size(), *viewed);
            EXPECT_TRUE(text.empty() || text.ends_with("\r\n"));
            EXPECT_EQ(h.status(), "Status: Viewing file f.txt");
        }
        EXPECT_EQ(h.platform.openFiles(), 0);
        EXPECT_LT(h.platform.files["f.txt"].bytesRead, 2 * TextViewer::kCapacity);
    }
}

} // namespace
} // namespace quillpost::test
