#include "support/app_harness.h"

#include "app/command_line.h"
#include "sending/intervals.h"
#include "sending/loader.h"
#include "spools/spools.h"
#include "windows/about_box.h"
#include "windows/help_website.h"
#include "windows/text_viewer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillpost::test {
namespace {

TEST(WindowSize, SpringsBackInTheNormalStateOnly)
{
    AppHarness h;
    for (WindowState state :
        { WindowState::Minimized, WindowState::Maximized, WindowState::Normal }) {
        h.window.state = state;
        h.window.w = 9000;
        h.window.h = 300;
        h.app->Form_Resize();
        const bool normal = state == WindowState::Normal;
        EXPECT_EQ(h.window.w, normal ? FakeWindow {}.w : 9000);
        EXPECT_EQ(h.window.h, normal ? FakeWindow {}.h : 300);
    }
}

TEST(Intervals, EachItemSetsItsIntervalAndTheReportFollowsTheValue)
{
    AppHarness h;
    for (const IntervalRow &row : kIntervalRows) {
        h.click(row.item);
        EXPECT_EQ(h.timer1.value, row.milliseconds);
        EXPECT_EQ(h.status(), row.status);
        h.click("showtimerinterval");
        EXPECT_EQ(h.status(),
            "The timer interval is set at  " + std::to_string(row.milliseconds / 1000)
                + (row.milliseconds == 1000 ? " second." : " seconds."));
    }
}

TEST(CommandLine, ReadsTheClientTitleAndAnswersHelpAndVersion)
{
    using Action = CommandLine::Action;
    // The arguments, the action, the client title it runs with, a part of its text.
    const std::tuple<Lines, Action, std::string, std::string> cases[] = {
        { {}, Action::Run, "zMUD", "" },
        { { "--client", "Mudlet - Hollowmere" }, Action::Run, "Mudlet - Hollowmere", "" },
        { { "--client=tt++" }, Action::Run, "tt++", "" },
        { { "--client", "a", "--help" }, Action::Help, "", "--client TITLE" },
        { { "--version" }, Action::Version, "", "quillpost 1.2.6" },
        { { "--client" }, Action::Refuse, "", "needs a window title" },
        { { "--client=" }, Action::Refuse, "", "not empty" },
        { { "-x" }, Action::Refuse, "", "unknown argument '-x'" },
    };
    for (const auto &[args, action, title, textHas] : cases) {
        const CommandLine line = parseCommandLine(args);
        SCOPED_TRACE(line.text);
        EXPECT_EQ(line.action, action);
        if (action == Action::Run) {
            EXPECT_EQ(line.clientTitle, title);
        }
        EXPECT_TRUE(contains(line.text, textHas));
    }
}

// The checked spool items, in menu order.
Lines checkedSpools(AppHarness &h)
{
    Lines out;
    for (const SpoolRow &row : kSpoolRows)
        if (h.menu(row.item).checked())
            out.emplace_back(row.item);
    if (h.menu("custom").checked())
        out.emplace_back("custom");
    return out;
}

TEST(Spools, OneItemStaysCheckedAndItsWordActive)
{
    struct Step
    {
        // answer: for "custom"; box: what a box then says
        std::string item, answer, checked, spool, box = "";
    };
    const std::vector<Step> stories[] = {
        { { "quest", "", "quest", "qnote" }, { "quest", "", "quest", "qnote" },
            { "description", "", "description", "description" } },
        // An empty answer keeps the custom word; a blank is a word, and so is one with a "+".
        { { "custom", "n+te", "custom", "n+te" }, { "custom", "", "custom", "n+te" },
            { "custom", " ", "custom", " " }, { "oocn", "", "oocn", "oocn" } },
        { { "custom", "note", "custom", "note" }, { "note", "", "note", "note" } },
        // Nothing set, the disabled button, and words that cannot be typed change nothing.
        { { "custom", "", "note", "note" },
            { "N", "", "note", "note", std::string(kDisabledCommand) },
            { "custom", "oocn\nnote", "note", "note", "character 5" },
            { "custom", "tab\there", "note", "note", "character 4" } },
    };
    for (const auto &story : stories) {
        AppHarness h;
        EXPECT_EQ(checkedSpools(h), Lines { "note" });
        for (const Step &step : story) {
            SCOPED_TRACE(step.item + step.answer);
            if (step.item == "custom")
                h.platform.inputAnswers.push_back(step.answer);
            const std::size_t boxes = h.platform.boxes.size();
            const std::string status = h.status();
            h.click(step.item);
            EXPECT_EQ(checkedSpools(h), Lines { step.checked });
            EXPECT_EQ(h.app->settings().noteSpool, step.spool);
            ASSERT_EQ(h.platform.boxes.size(), boxes + (step.box.empty() ? 0 : 1));
            if (!step.box.empty()) {
                EXPECT_EQ(h.status(), status);
                EXPECT_TRUE(contains(h.platform.boxes.back().prompt, step.box));
            } else if (step.item == "custom" && !step.answer.empty()) {
                EXPECT_EQ(h.status(), "Custom Value: " + step.answer);
            }
            // Display shows the word only while the custom item is checked.
            h.click("displaycustom");
            EXPECT_EQ(
                h.status(), "Custom Value: " + (step.checked == "custom" ? step.spool : "Not Set"));
        }
    }
}

// Neither a spool nor an interval chosen mid-send stops or restarts it.
TEST(Spools, AChoiceChangesTheWordOfTheFollowingLinesOnly)
{
    AppHarness h;
    h.send("one\n" + std::string(kSpoolRows.size(), '\n'));
    h.tick();
    std::string arrived = "note + one\r";
    for (const SpoolRow &row : kSpoolRows) {
        h.click(row.item);
        EXPECT_EQ(h.status(), row.status);
        h.click("three");
        h.tick();
        arrived += std::string(row.word) + " + \r";
    }
    EXPECT_EQ(h.platform.arrived, arrived);
}

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
        MemoryRegistry::Value value; // stored as Soft\Key\V
        std::optional<bool> read; // nothing: an error
        std::string text;
        std::string initial = ""; // callers pass the text empty
        bool readOnly = false;
        std::string key = "soft\\key", valueName = "v";
    } cases[] = { { "TextWithItsZero", regSz("C:\\x\\msinfo32.exe"), true, "C:\\x\\msinfo32.exe" },
        { "OnlyTheZero", regSz(""), true, "" },
        { "ExactlyTheBuffer", regSz(std::string(1024, 'k'), false), true, std::string(1024, 'k') },
        { "PastTheBuffer", regSz(std::string(1024, 'k')), false, "" },
        { "DwordNoZero", MemoryRegistry::Value(kRegDword, { 0xFF, 0x00, 0x00, 0x01 }), true, "16777471" },
        { "OtherTypeLeavesTheText", MemoryRegistry::Value(3, { 1, 2, 3 }), true, "before", "before" },
        { "NoKey", regSz("x"), false, "", "before", false, "nowhere" },
        // The open asks for write rights.
        { "ReadOnlyKey", regSz("x"), false, "", "before", true },
        { "NoValue", regSz("x"), false, "", "before", false, "soft\\key", "missing" },
        { "Empty", MemoryRegistry::Value(kRegSz, {}), std::nullopt, "" } };
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
    const std::tuple<const char *, std::optional<MemoryRegistry::Value>, bool, Files, Files> cases[]
        = { { "nothing registered", {}, false, { tool }, {} },
              { "first key names the tool", regSz(tool), false, { tool }, { tool } },
              { "first key names no file, second is never tried", regSz("/nowhere"), true,
                  { inFolder }, {} },
              { "second key names the folder", {}, true, { inFolder }, { inFolder } },
              { "second key's folder lacks the tool", {}, true, {}, {} },
              { "empty value", MemoryRegistry::Value { kRegSz, {} }, true, { tool, inFolder }, {} } };
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
