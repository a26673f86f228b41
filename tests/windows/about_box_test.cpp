#include "support/app_harness.h"

#include "windows/about_box.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

TEST(AboutBox, LoadsItsTextsOnceAndAgainAfterOk)
{
    AppHarness h;
    h.click("about");
    h.click("about");
    EXPECT_EQ(h.frmAbout.loads, 1);
    EXPECT_TRUE(h.frmAbout.shown);
    EXPECT_EQ(h.frmAbout.caption, "About Quillpost");
    EXPECT_EQ(h.frmAbout.labels[AboutLabel::lblTitle].value, "Quillpost");
    EXPECT_EQ(h.frmAbout.labels[AboutLabel::lblVersion].value, "Version 1.2.6");
    EXPECT_EQ(h.frmAbout.labels[AboutLabel::lblDescription].value,
        "This program was written for Hollowmere at hollowmere.example.org port 4000.  It "
        "can be and is intended to be tailorable to be used on any ROM derivitive using ROM "
        "2.4 style notes.");
    EXPECT_EQ(h.frmAbout.labels[AboutLabel::lblDisclaimer].value, "");
    EXPECT_EQ(h.status(), kCreditLine);

    h.app->frmAbout_cmdOK_Click();
    EXPECT_FALSE(h.frmAbout.loaded);
    h.platform.app.minor = 10;
    h.click("about");
    EXPECT_EQ(h.frmAbout.loads, 2);
    EXPECT_EQ(h.frmAbout.labels[AboutLabel::lblVersion].value, "Version 1.10.6");
}

Registry::Value bytes(std::uint32_t type, std::vector<std::uint8_t> data)
{
    return Registry::Value { type, std::move(data) };
}

struct KeyCase
{
    const char *name;
    Registry::Value value;
    bool read;
    std::string text;
    std::string initial = ""; // callers pass the text empty
};

class GetKeyValue : public testing::TestWithParam<KeyCase>
{
};

TEST_P(GetKeyValue, ReadsTrimsAndConvertsLikeTheWindowsCalls)
{
    AppHarness h;
    h.platform.reg.setValue(kHkeyLocalMachine, "Soft\\Key", "V", GetParam().value);
    AboutBox box(h.platform, h.text1, h.frmAbout);
    std::string val = GetParam().initial;
    auto r = box.GetKeyValue(kHkeyLocalMachine, "soft\\key", "v", val);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), GetParam().read);
    EXPECT_EQ(val, GetParam().text);
    EXPECT_EQ(h.platform.reg.openKeys(), 0);
}

INSTANTIATE_TEST_SUITE_P(Registry, GetKeyValue,
    testing::Values(
        KeyCase { "TextWithItsZero", regSz("C:\\x\\msinfo32.exe"), true, "C:\\x\\msinfo32.exe" },
        KeyCase { "TextWithoutZero", regSz("abc", false), true, "abc" },
        KeyCase { "OnlyTheZero", regSz(""), true, "" },
        KeyCase { "ExactlyTheBuffer", regSz(std::string(1024, 'k'), false), true,
            std::string(1024, 'k') },
        KeyCase { "PastTheBuffer", regSz(std::string(1024, 'k')), false, "" },
        // A final zero byte is trimmed whatever the type.
        KeyCase { "Dword", bytes(kRegDword, { 0x2A, 0x01, 0x00, 0x00 }), true, "298" },
        KeyCase { "DwordNoZero", bytes(kRegDword, { 0xFF, 0x00, 0x00, 0x01 }), true, "16777471" },
        KeyCase { "OtherTypeLeavesTheText", bytes(3, { 1, 2, 3 }), true, "before", "before" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(GetKeyValueFailures, MissingRefusedAndEmptyValues)
{
    AppHarness h;
    Registry &reg = h.platform.reg;
    reg.addKey(kHkeyLocalMachine, "Locked", true);
    reg.setValue(kHkeyLocalMachine, "Locked", "V", regSz("x"));
    reg.setValue(kHkeyLocalMachine, "Open", "Empty", bytes(kRegSz, {}));
    AboutBox box(h.platform, h.text1, h.frmAbout);

    std::string val = "before";
    auto noKey = box.GetKeyValue(kHkeyLocalMachine, "Nowhere", "V", val);
    EXPECT_TRUE(noKey.ok() && !noKey.value());
    EXPECT_EQ(val, "");

    val = "before";
    auto locked = box.GetKeyValue(kHkeyLocalMachine, "Locked", "V", val);
    EXPECT_TRUE(locked.ok() && !locked.value()) << "the open asks for write rights";
    EXPECT_EQ(val, "");

    val = "before";
    auto noValue = box.GetKeyValue(kHkeyLocalMachine, "Open", "Missing", val);
    EXPECT_TRUE(noValue.ok() && !noValue.value());
    EXPECT_EQ(val, "");

    auto empty = box.GetKeyValue(kHkeyLocalMachine, "Open", "Empty", val);
    EXPECT_FALSE(empty.ok());
    EXPECT_EQ(reg.openKeys(), 0);
}

TEST(SystemInfo, StartsTheToolItFindsOrSaysItIsUnavailable)
{
    struct Case
    {
        const char *name;
        std::function<void(FakePlatform &)> arrange;
        std::vector<std::string> started;
    };
    const std::string tool = "/usr/bin/hardinfo";
    const Case cases[] = {
        { "nothing registered", [](FakePlatform &) {}, {} },
        { "first key names the tool",
            [&](FakePlatform &p) {
                p.reg.setValue(kHkeyLocalMachine, kMsinfoKey, "PATH", regSz(tool));
                p.existingFiles = { tool };
            },
            { tool } },
        { "first key names no file, second is never tried",
            [&](FakePlatform &p) {
                p.reg.setValue(kHkeyLocalMachine, kMsinfoKey, "PATH", regSz("/nowhere"));
                p.reg.setValue(kHkeyLocalMachine, kMsinfoLocationKey, "MSINFO", regSz("C:\\T"));
                p.existingFiles = { "C:\\T\\MSINFO32.EXE" };
            },
            {} },
        { "second key names the folder",
            [&](FakePlatform &p) {
                p.reg.setValue(kHkeyLocalMachine, kMsinfoLocationKey, "MSINFO", regSz("C:\\T"));
                p.existingFiles = { "C:\\T\\MSINFO32.EXE" };
            },
            { "C:\\T\\MSINFO32.EXE" } },
        { "second key's folder lacks the tool",
            [&](FakePlatform &p) {
                p.reg.setValue(kHkeyLocalMachine, kMsinfoLocationKey, "MSINFO", regSz("C:\\T"));
            },
            {} },
        { "empty value",
            [&](FakePlatform &p) {
                p.reg.setValue(
                    kHkeyLocalMachine, kMsinfoKey, "PATH", Registry::Value { kRegSz, {} });
                p.existingFiles = { tool };
            },
            {} },
        { "other type leaves the path empty",
            [&](FakePlatform &p) {
                p.reg.setValue(
                    kHkeyLocalMachine, kMsinfoKey, "PATH", Registry::Value { 7, { 'a', 0 } });
            },
            {} },
    };
    for (const Case &c : cases) {
        AppHarness h;
        c.arrange(h.platform);
        h.click("about");
        h.app->frmAbout_cmdSysInfo_Click();
        EXPECT_EQ(h.platform.started, c.started) << c.name;
        if (c.started.empty()) {
            ASSERT_EQ(h.platform.boxes.size(), 1u) << c.name;
            EXPECT_EQ(h.platform.boxes[0].prompt, "System Information Is Unavailable At This Time");
            EXPECT_EQ(h.platform.boxes[0].style, MsgStyle::Ok);
        } else {
            EXPECT_TRUE(h.platform.boxes.empty()) << c.name;
        }
        EXPECT_EQ(h.platform.reg.openKeys(), 0) << c.name;
    }
}

} // namespace
} // namespace quillpost::test
