#include "platform/win32/win32_registry.h"
#include "windows/about_box.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

} // namespace
} // namespace quillpost::win32
