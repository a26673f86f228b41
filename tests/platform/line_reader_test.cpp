#include "platform/line_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace quillpost {
namespace {

TEST(LineReader, NamesThePathAndTheReasonWhenAFileCannotBeOpenedOrRead)
{
    const auto tmp = std::filesystem::temp_directory_path();
    std::vector<std::pair<std::string, std::string>> refused = {
        { (tmp / "quillpost-no-such-folder" / "missing.txt").string(), "No such file" },
        { tmp.string(), "folder" },
    };
#if !defined(_WIN32) // Windows has no POSIX permissions, and root reads files whatever theirs
    const auto locked = tmp / ("quillpost-locked-" + std::to_string(::getpid()));
    std::ofstream(locked) << "secret";
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    if (::geteuid() != 0)
        refused.emplace_back(locked.string(), "Permission denied");
#endif
    for (const auto &[path, reason] : refused) {
        auto r = openLineReader(path);
        ASSERT_FALSE(r.ok()) << path;
        EXPECT_EQ(r.error().kind, ErrorKind::File);
        EXPECT_NE(r.error().message.find(path + ": "), std::string::npos) << r.error().message;
        EXPECT_NE(r.error().message.find(reason), std::string::npos) << r.error().message;
    }

#if !defined(_WIN32)
    std::filesystem::remove(locked);
    // The kernel refuses reads of this file at offset 0 even though it opens: an error, not an
    // end of file.
    auto mem = openLineReader("/proc/self/mem");
    ASSERT_TRUE(mem.ok());
    auto line = mem.value()->next();
    ASSERT_FALSE(line.ok());
    EXPECT_NE(line.error().message.find("/proc/self/mem"), std::string::npos);
#endif
}

} // namespace
} // namespace quillpost
