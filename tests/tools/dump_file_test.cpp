#include "noteserver/dump_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillpost::noteserver::test {
namespace {

std::string readAll(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(DumpFile, ReplacesTheFileByteForByteAndLeavesNoTemporary)
{
    const std::filesystem::path dir = testing::TempDir() + "/noteserver_dump";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "draft.txt").string();

    ASSERT_EQ(writeFileAtomically(path, std::string("first line\n\rsecond\n\r", 20)), std::nullopt);
    EXPECT_EQ(readAll(path), "first line\n\rsecond\n\r");
    ASSERT_EQ(writeFileAtomically(path, "x\n\r"), std::nullopt);
    EXPECT_EQ(readAll(path), "x\n\r");
    ASSERT_EQ(writeFileAtomically(path, ""), std::nullopt);
    EXPECT_EQ(readAll(path), "");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    std::filesystem::remove_all(dir);
}

TEST(DumpFile, SaysWhichFileCouldNotBeWritten)
{
    const std::string path = testing::TempDir() + "/no_such_dir_for_noteserver/draft.txt";
    const auto error = writeFileAtomically(path, "x");
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(path + ".tmp"), std::string::npos) << *error;
}

} // namespace
} // namespace quillpost::noteserver::test
