#include "support/app_harness.h"

#include "windows/about_box.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

TEST(AboutBox, SystemInfoStartsTheToolItFindsOrSaysItIsUnavailable)
{
    const std::string tool = "/usr/bin/hardinfo", inFolder = "C:\\T\\MSINFO32.EXE";
    // The value is read into 1024 bytes, its zero dropped; a DWORD reads as its decimal digits.
    const std::string full = "/" + std::string(1023, 'k');
    // The name; MSINFO\PATH; whether Shared Tools Location\MSINFO is C:\T; the files that exist;
    // what is started. The key is opened with write rights too: a read-only one is not read.
    using Files = std::vector<std::string>;
    const std::tuple<const char *, std::optional<MemoryRegistry::Value>, bool, Files, Files> cases[]
        = { { "nothing registered", {}, false, { tool }, {} },
              { "first key names the tool", regSz(tool), false, { tool }, { tool } },
              { "read-only first key", regSz(tool), false, { tool }, {} },
              { "exactly the buffer", regSz(full, false), false, { full }, { full } },
              { "past the buffer", regSz(full), false, { full }, {} },
              { "a DWORD", MemoryRegistry::Value(kRegDword, { 0xFF, 0x00, 0x00, 0x01 }), false,
                  { "16777471" }, { "16777471" } },
              { "first key names no file, second is never tried", regSz("/nowhere"), true,
                  { inFolder }, {} },
              { "second key names the folder", {}, true, { inFolder }, { inFolder } },
              { "second key's folder lacks the tool", {}, true, {}, {} },
              { "empty value", MemoryRegistry::Value { kRegSz, {} }, true, { tool, inFolder },
                  {} } };
    for (const auto &[name, path, folder, files, started] : cases) {
        SCOPED_TRACE(name);
        AppHarness h;
        if (std::string_view(name).starts_with("read-only"))
            h.platform.reg.addKey(kHkeyLocalMachine, kMsinfoKey, true);
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
