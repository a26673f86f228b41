#include "support/app_harness.h"

#include "sending/loader.h"
#include "windows/about_box.h"
#include "windows/help_website.h"
#include "windows/text_viewer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillpost::test {
namespace {

TEST(AboutBox, LoadsItsTextsOnceAndAgainAfterOk)
{
    AppHarness h;
    h.click("about");
    h.platform.app.minor = 10;
    h.click("about");
    EXPECT_EQ(h.frmAbout.labels[AboutLabel::lblVersion].value, "Version 1.2.6");
    h.app->frmAbout_cmdOK_Click();
    EXPECT_FALSE(h.frmAbout.loaded);
    h.click("about");
    EXPECT_EQ(h.frmAbout.labels[AboutLabel::lblVersion].value, "Version 1.10.6");
}

TEST(AboutBox, GetKeyValueReadsTrimsAndConvertsLikeTheWindowsCalls)
{
    const struct
    {
        const char *name;
        Registry::Value value; // stored as Soft\Key\V
        std::optional<bool> read; // nothing: an error
        std::string text;
        std::string initial = ""; // callers pass the text empty
        bool readOnly = false;
        std::string key = "soft\\key", valueName = "v";
    } cases[] = { { "TextWithItsZero", regSz("C:\\x\\msinfo32.exe"), true, "C:\\x\\msinfo32.exe" },
        { "OnlyTheZero", regSz(""), true, "" },
        { "ExactlyTheBuffer", regSz(std::string(1024, 'k'), false), true, std::string(1024, 'k') },
        { "PastTheBuffer", regSz(std::string(1024, 'k')), false, "" },
        { "DwordNoZero", Registry::Value(kRegDword, { 0xFF, 0x00, 0x00, 0x01 }), true, "16777471" },
        { "OtherTypeLeavesTheText", Registry::Value(3, { 1, 2, 3 }), true, "before", "before" },
        { "NoKey", regSz("x"), false, "", "before", false, "nowhere" },
        // The open asks for write rights.
        { "ReadOnlyKey", regSz("x"), false, "", "before", true },
        { "NoValue", regSz("x"), false, "", "before", false, "soft\\key", "missing" },
        { "Empty", Registry::Value(kRegSz, {}), std::nullopt, "" } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness h;
        h.platform.reg.addKey(kHkeyLocalMachine, "Soft\\Key", c.readOnly);
        h.platform.reg.setValue(kHkeyLocalMachine, "Soft\\Key", "V", c.value);
        AboutBox box(h.platform, h.text1, h.frmAbout);
        std::string val = c.initial;
        auto r = box.GetKeyValue(kHkeyLocalMachine, c.key, c.valueName, val);
        EXPECT_EQ(r.ok() ? std::optional(r.value()) : std::nullopt, c.read);
        EXPECT_EQ(val, c.text);
        EXPECT_EQ(h.platform.reg.openKeys(), 0);
    }
}

TEST(AboutBox, SystemInfoStartsTheToolItFindsOrSaysItIsUnavailable)
{
    const std::string tool = "/usr/bin/hardinfo", inFolder = "C:\\T\\MSINFO32.EXE";
    // The name; MSINFO\PATH; whether Shared Tools Location\MSINFO is C:\T; the files that exist;
    // what is started.
    using Files = std::vector<std::string>;
    const std::tuple<const char *, std::optional<Registry::Value>, bool, Files, Files> cases[]
        = { { "nothing registered", {}, false, { tool }, {} },
              { "first key names the tool", regSz(tool), false, { tool }, { tool } },
              { "first key names no file, second is never tried", regSz("/nowhere"), true,
                  { inFolder }, {} },
              { "second key names the folder", {}, true, { inFolder }, { inFolder } },
              { "second key's folder lacks the tool", {}, true, {}, {} },
              { "empty value", Registry::Value { kRegSz, {} }, true, { tool, inFolder }, {} } };
    for (const auto &[name, path, folder, files, started] : cases) {
        SCOPED_TRACE(name);
        AppHarness h;
        if (path)
            h.platform.reg.setValue(kHkeyLocalMachine, kMsinfoKey, "PATH", *path);
        if (folder)
            h.platform.reg.setValue(
                kHkeyLocalMachine, kMsinfoLocationKey, "MSINFO", regSz("C:\\T"));
        h.platform.existingFiles = files;
        h.click("about");
        h.app->frmAbout_cmdSysInfo_Click();
        EXPECT_EQ(h.platform.started, started);
        ASSERT_EQ(h.platform.boxes.size(), started.empty() ? 1u : 0u);
        if (started.empty()) {
            EXPECT_EQ(h.platform.boxes[0].prompt, kSysInfoUnavailable);
        }
        EXPECT_EQ(h.platform.reg.openKeys(), 0);
    }
}

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

TEST(Viewer, IsOneWindowThatCloseEmptiesAndHides)
{
    AppHarness h;
    h.platform.addFile("a.txt", "first\n");
    h.platform.addFile("b.txt", "second\n");
    h.open("a.txt", "openview");
    h.open("b.txt", "openview");
    EXPECT_EQ(h.viewer.box.value, "second\r\n");
    h.app->textviewer_Command1_Click();
    EXPECT_EQ(h.viewer.box.value, "");
    EXPECT_FALSE(h.viewer.shown);
    h.open("a.txt", "openview");
    EXPECT_TRUE(h.viewer.shown);

    h.open("", "openview"); // cancelled
    EXPECT_EQ(h.viewer.box.value, "first\r\n");
    EXPECT_TRUE(h.platform.boxes.empty());
}

TEST(Viewer, LeavesASendOrAPausedSendAsItWas)
{
    AppHarness h;
    h.send("one\ntwo\n");
    h.tick();
    h.open("f.txt", "openview");
    h.click("pause");
    h.open("f.txt", "openview");
    ASSERT_EQ(h.platform.boxes.size(), 2u);
    EXPECT_EQ(h.platform.boxes[0].prompt, kViewWhileSending);
    EXPECT_EQ(h.status(), kVerifying);
    EXPECT_FALSE(h.viewer.used);
    h.click("pause");
    h.tick(2);
    EXPECT_EQ(h.platform.arrived, "note + one\rnote + two\r");
}

TEST(HelpWebsite, HelpShowsTenCrLfLinesAndTheWebsiteOpensOrABoxSaysWhyNot)
{
    AppHarness h;
    h.click("help");
    ASSERT_EQ(h.platform.boxes.size(), 1u);
    const std::string help = h.platform.boxes[0].prompt;
    EXPECT_TRUE(help.starts_with("Basic Help\r\n\r\n")) << help;
    EXPECT_EQ(std::ranges::count(help, '\n'), 9);
    EXPECT_EQ(std::ranges::count(help, '\r'), 9);

    h.click("website"); // no browser
    EXPECT_TRUE(h.status().ends_with(kWebsite)) << h.status();
    ASSERT_EQ(h.platform.boxes.size(), 2u);
    EXPECT_TRUE(contains(h.platform.boxes[1].prompt, "Could not start " + std::string(kWebsite)));
    EXPECT_EQ(h.platform.boxes[1].style, MsgStyle::Exclamation);
    h.platform.existingFiles = { std::string(kWebsite) };
    h.text1.value.clear();
    h.click("website");
    EXPECT_TRUE(h.status().ends_with(kWebsite)) << h.status();
    EXPECT_EQ(h.platform.started, Lines { std::string(kWebsite) });
    EXPECT_EQ(h.platform.boxes.size(), 2u);
}

} // namespace
} // namespace quillpost::test
