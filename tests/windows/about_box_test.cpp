#include "support/app_harness.h"

#include "windows/about_box.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

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
        { "DwordNoZero", MemoryRegistry::Value(kRegDword, { 0xFF, 0x00, 0x00, 0x01 }), true,
            "16777471" },
        { "OtherTypeLeavesTheText", MemoryRegistry::Value(3, { 1, 2, 3 }), true, "before",
            "before" },
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
              { "empty value", MemoryRegistry::Value { kRegSz, {} }, true, { tool, inFolder },
                  {} } };
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

} // namespace
} // namespace quillpost::test
