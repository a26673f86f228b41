#include "platform/line_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace quillpost {
namespace {

using Lines = std::vector<std::string>;

TEST(LineReader, EndsLinesOnceAtEveryBreakAndKeepsEmptyOnes)
{
    // A byte order mark is skipped only at the very start.
    const std::pair<std::string, Lines> cases[] = { { "", {} }, { "a", { "a" } },
        { "a\n", { "a" } }, { "a\r\n", { "a" } }, { "a\r", { "a" } }, { "\r\n\r\n", { "", "" } },
        { "a\r\rb", { "a", "", "b" } }, { "a\n\r\nb", { "a", "", "b" } },
        { "a\r\n\nb\r", { "a", "", "b" } }, { "\xEF\xBB\xBFhi\r\n", { "hi" } },
        { "\xEF\xBB\xBF", {} }, { "a\n\xEF\xBB\xBF", { "a", "\xEF\xBB\xBF" } },
        { "\xEF\xBB", { "\xEF\xBB" } }, { "\xEF\nx", { "\xEF", "x" } },
        { std::string("a\0b\n", 4), { std::string("a\0b", 3) } } };
    for (const auto &[bytes, lines] : cases) {
        LineReader reader(std::make_unique<std::istringstream>(bytes), "mem");
        Lines read;
        for (auto line = reader.next(); line.ok() && line.value(); line = reader.next())
            read.push_back(*line.value());
        EXPECT_EQ(read, lines) << testing::PrintToString(bytes);
        EXPECT_EQ(reader.linesRead(), static_cast<int>(lines.size()));
        auto again = reader.next(); // past the end it stays at the end
        EXPECT_TRUE(again.ok() && !again.value());
    }
}

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
