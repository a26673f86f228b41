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

std::vector<std::string> readAll(LineReader &reader)
{
    std::vector<std::string> lines;
    for (;;) {
        auto line = reader.next();
        EXPECT_TRUE(line.ok());
        if (!line.ok() || !line.value())
            return lines;
        lines.push_back(*line.value());
    }
}

LineReader over(const std::string &bytes)
{
    return LineReader(std::make_unique<std::istringstream>(bytes), "mem");
}

struct Case
{
    std::string bytes;
    std::vector<std::string> lines;
};

class LineBreaks : public testing::TestWithParam<Case>
{
};

TEST_P(LineBreaks, EndLinesOnceAndKeepEmptyOnes)
{
    LineReader reader = over(GetParam().bytes);
    EXPECT_EQ(readAll(reader), GetParam().lines);
    EXPECT_EQ(reader.linesRead(), static_cast<int>(GetParam().lines.size()));
    // Past the end it stays at the end.
    auto again = reader.next();
    ASSERT_TRUE(again.ok());
    EXPECT_FALSE(again.value().has_value());
}

INSTANTIATE_TEST_SUITE_P(Reader, LineBreaks,
    testing::Values(Case { "", {} }, Case { "a", { "a" } }, Case { "a\n", { "a" } },
        Case { "a\r\n", { "a" } }, Case { "a\r", { "a" } }, Case { "\n", { "" } },
        Case { "\r\n\r\n", { "", "" } }, Case { "a\r\rb", { "a", "", "b" } },
        Case { "a\n\nb\n", { "a", "", "b" } }, Case { "a\n\r\nb", { "a", "", "b" } },
        Case { "a\r\n\nb\r", { "a", "", "b" } }, Case { "x\ry\r\nz\nw", { "x", "y", "z", "w" } },
        // A byte order mark is skipped only at the very start.
        Case { "\xEF\xBB\xBFhi\r\n", { "hi" } }, Case { "\xEF\xBB\xBF", {} },
        Case { "\xEF\xBB\xBF\r\n", { "" } }, Case { "a\n\xEF\xBB\xBF", { "a", "\xEF\xBB\xBF" } },
        Case { "\xEF\xBB", { "\xEF\xBB" } }, Case { "\xEF\nx", { "\xEF", "x" } },
        Case { std::string("a\0b\n", 4), { std::string("a\0b", 3) } }));

TEST(LineReader, CutsALineAtItsLimitInsteadOfHoldingItWhole)
{
    LineReader reader = over(std::string(100000, 'x') + "\nnext");
    auto line = reader.next(10);
    ASSERT_TRUE(line.ok());
    EXPECT_EQ(*line.value(), std::string(11, 'x'));
}

class TempDir : public testing::Test
{
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path()
            / ("quillpost-reader-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::permissions(dir_ / "locked.txt", std::filesystem::perms::owner_all,
            std::filesystem::perm_options::replace, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    std::string write(const std::string &name, const std::string &bytes)
    {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return (dir_ / name).string();
    }
    std::filesystem::path dir_;
};

TEST_F(TempDir, OpensARealFileAndReadsItsLines)
{
    auto reader = openLineReader(write("note.txt", "one\r\ntwo\n"));
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(readAll(*reader.value()), (std::vector<std::string> { "one", "two" }));
}

TEST_F(TempDir, NamesThePathAndTheReasonWhenAFileCannotBeOpened)
{
    const std::string missing = (dir_ / "missing.txt").string();
    auto r1 = openLineReader(missing);
    ASSERT_FALSE(r1.ok());
    EXPECT_EQ(r1.error().kind, ErrorKind::File);
    EXPECT_NE(r1.error().message.find(missing), std::string::npos);
    EXPECT_NE(r1.error().message.find("No such file"), std::string::npos);

    auto r2 = openLineReader(dir_.string());
    ASSERT_FALSE(r2.ok());
    EXPECT_NE(r2.error().message.find("folder"), std::string::npos);
}

// Windows has neither POSIX permissions nor a file that opens and then refuses every read.
#if !defined(_WIN32)
TEST_F(TempDir, NamesTheReasonWhenReadingIsNotAllowed)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads files whatever their permissions";
    const std::string locked = write("locked.txt", "secret");
    std::filesystem::permissions(
        locked, std::filesystem::perms::none, std::filesystem::perm_options::replace);
    auto r3 = openLineReader(locked);
    ASSERT_FALSE(r3.ok());
    EXPECT_NE(r3.error().message.find("Permission denied"), std::string::npos);
}

TEST(LineReader, ReportsAReadErrorInsteadOfAnEndOfFile)
{
    // The kernel refuses reads of this file at offset 0 even though it opens.
    auto reader = openLineReader("/proc/self/mem");
    ASSERT_TRUE(reader.ok());
    auto line = reader.value()->next();
    ASSERT_FALSE(line.ok());
    EXPECT_EQ(line.error().kind, ErrorKind::File);
    EXPECT_NE(line.error().message.find("/proc/self/mem"), std::string::npos);
}
#endif

} // namespace
} // namespace quillpost
