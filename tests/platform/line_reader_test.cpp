#include "platform/line_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quillpost {
namespace {

TEST(LineReader, NamesThePathAndTheReasonWhenAFileCannotBeOpenedOrRead)
{
    const auto tmp = std::filesystem::temp_directory_path();
    const std::pair<std::string, std::string> refused[] = {
        { (tmp / "quillpost-no-such-folder" / "missing.txt").string(), "No such file" },
        { tmp.string(), "folder" },
    };
    for (const auto &[path, reason] : refused) {
        auto r = openLineReader(path);
        ASSERT_FALSE(r.ok()) << path;
        EXPECT_EQ(r.error().kind, ErrorKind::File);
        EXPECT_NE(r.error().message.find(path + ": "), std::string::npos) << r.error().message;
        EXPECT_NE(r.error().message.find(reason), std::string::npos) << r.error().message;
    }

#if !defined(_WIN32)
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
