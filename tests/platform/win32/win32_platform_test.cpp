#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_registry.h"
#include "windows/about_box.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace quillpost::win32 {
namespace {

// The About box asks with write rights too (0x2003F); a fresh prefix runs as an administrator.
TEST(SystemRegistry, AnswersTheAboutBoxQueriesAsWindowsDoes)
{
    const char *const version = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    const std::tuple<const char *, const char *, std::size_t, long, long> cases[] = {
        // key, value, buffer size, what opening it returns, and asking for the value when it opened
        { "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", 64, kErrorSuccess,
            kErrorFileNotFound },
        { version, "CurrentVersion", 64, kErrorSuccess, kErrorSuccess },
        { version, "CurrentVersion", 1, kErrorSuccess, kErrorMoreData }, // and the size it needs
        { "SOFTWARE\\No Such Vendor\\No Such Key", "PATH", 64, kErrorFileNotFound, 0 },
    };
    SystemRegistry reg;
    for (const auto &[name, value, bufferSize, open, query] : cases) {
        SCOPED_TRACE(std::string(name) + " " + value + " " + std::to_string(bufferSize));
        RegHandle key = 0;
        ASSERT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, name, 0, kAboutKeyAccess, &key), open);
        if (open != kErrorSuccess)
            continue;
        std::vector<std::uint8_t> buffer(bufferSize);
        std::uint32_t size = static_cast<std::uint32_t>(bufferSize), type = 0;
        // The type is asked for only when the value is read.
        EXPECT_EQ(reg.RegQueryValueExA(
                      key, value, query == kErrorSuccess ? &type : nullptr, buffer, &size),
            query);
        EXPECT_EQ(reg.RegCloseKey(key), kErrorSuccess);
        EXPECT_EQ(reg.RegCloseKey(key), kErrorInvalidHandle) << "closed twice";
        if (query == kErrorFileNotFound)
            continue;
        EXPECT_GT(size, 1u);
        EXPECT_EQ(type, query == kErrorSuccess ? kRegSz : 0);
    }
    EXPECT_EQ(reg.openKeys(), 0);
}

TEST(Win32Platform, DirNamesOnlyAnOrdinaryFile)
{
    const auto dir = std::filesystem::temp_directory_path() / "quillpost-dir-test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "MSINFO32.EXE") << "x";
    std::ofstream(dir / "hidden.exe") << "x";
    SetFileAttributesW((dir / "hidden.exe").wstring().c_str(), FILE_ATTRIBUTE_HIDDEN);
    const std::string base = dir.string();
    const std::pair<std::string, std::string> cases[] = {
        { base + "\\MSINFO32.EXE", "MSINFO32.EXE" },
        { base + "\\msinfo32.exe", "msinfo32.exe" }, // as asked: Windows names ignore case
        { base, "" },
        { base + "\\missing.exe", "" },
        { base + "\\hidden.exe", "" },
    };
    Win32Platform platform;
    for (const auto &[path, name] : cases)
        EXPECT_EQ(platform.dir(path), name) << path;
    SetFileAttributesW((dir / "hidden.exe").wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace quillpost::win32
