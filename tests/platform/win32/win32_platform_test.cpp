#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_registry.h"
#include "windows/about_box.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <filesystem>
#include <fstream>

namespace quillpost::win32 {
namespace {

struct RegistryCase
{
    const char *key;
    const char *value;
    long open; // what opening it returns
    long query; // and asking for the value, when it opened
};

// The About box asks with write rights too (0x2003F); a fresh prefix runs as an administrator.
TEST(SystemRegistry, AnswersTheAboutBoxQueriesAsWindowsDoes)
{
    const RegistryCase cases[] = {
        { "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", kErrorSuccess, kErrorFileNotFound },
        { "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", kErrorSuccess,
            kErrorSuccess },
        { "SOFTWARE\\No Such Vendor\\No Such Key", "PATH", kErrorFileNotFound, 0 },
    };
    SystemRegistry reg;
    for (const RegistryCase &c : cases) {
        SCOPED_TRACE(c.key);
        RegHandle key = 0;
        ASSERT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, c.key, 0, kAboutKeyAccess, &key), c.open);
        if (c.open != kErrorSuccess)
            continue;
        std::array<std::uint8_t, 64> buffer {};
        std::uint32_t size = buffer.size();
        std::uint32_t type = 0;
        EXPECT_EQ(reg.RegQueryValueExA(key, c.value, &type, buffer, &size), c.query);
        if (c.query == kErrorSuccess) {
            EXPECT_EQ(type, kRegSz);
            EXPECT_GT(size, 1u);
        }
        EXPECT_EQ(reg.RegCloseKey(key), kErrorSuccess);
        EXPECT_EQ(reg.RegCloseKey(key), kErrorInvalidHandle) << "closed twice";
    }
    EXPECT_EQ(reg.openKeys(), 0);
}

TEST(SystemRegistry, TooSmallABufferAsksForMore)
{
    SystemRegistry reg;
    RegHandle key = 0;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine,
                  "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, kAboutKeyAccess, &key),
        kErrorSuccess);
    std::array<std::uint8_t, 1> buffer {};
    std::uint32_t size = buffer.size();
    EXPECT_EQ(reg.RegQueryValueExA(key, "CurrentVersion", nullptr, buffer, &size), kErrorMoreData);
    EXPECT_GT(size, 1u) << "the size needed";
}

// The shortcut shows after a tab; the logic compares captions (Pause and Start) without it.
TEST(MenuCommand, CaptionLeavesTheShortcutTextOut)
{
    struct Case
    {
        const wchar_t *shortcut;
        const char *caption;
    } cases[] = { { L"", "&Pause" }, { L"Ctrl+O", "&Open file to Send" }, { L"F7", "E&xit" } };
    HMENU menu = CreatePopupMenu();
    UINT id = 1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.caption);
        AppendMenuW(menu, MF_STRING, id, L"placeholder");
        MenuCommand item(menu, id++, nullptr, c.shortcut);
        item.setCaption(c.caption);
        EXPECT_EQ(item.caption(), c.caption);
        item.setCaption("&Start");
        EXPECT_EQ(item.caption(), "&Start");
        item.setEnabled(false);
        item.setChecked(true);
        EXPECT_FALSE(item.enabled());
        EXPECT_TRUE(item.checked());
    }
    DestroyMenu(menu);
}

TEST(Win32Platform, DirNamesOnlyAnOrdinaryFile)
{
    const auto dir = std::filesystem::temp_directory_path() / "quillpost-dir-test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "MSINFO32.EXE") << "x";
    std::ofstream(dir / "hidden.exe") << "x";
    SetFileAttributesW((dir / "hidden.exe").wstring().c_str(), FILE_ATTRIBUTE_HIDDEN);
    const std::string base = dir.string();
    struct Case
    {
        std::string path;
        std::string name;
    } cases[] = {
        { base + "\\MSINFO32.EXE", "MSINFO32.EXE" },
        { base + "\\msinfo32.exe", "msinfo32.exe" }, // as asked: Windows names ignore case
        { base, "" },
        { base + "\\missing.exe", "" },
        { base + "\\hidden.exe", "" },
    };
    Win32Platform platform;
    for (const Case &c : cases)
        EXPECT_EQ(platform.dir(c.path), c.name) << c.path;
    SetFileAttributesW((dir / "hidden.exe").wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace quillpost::win32
