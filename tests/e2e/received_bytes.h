#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Files the tests write and the bytes a recording client received.
namespace quillpost::test {

void writeFile(const std::string &path, const std::string &bytes);
std::string readFile(const std::string &path);

// What the client must receive for these lines: each typed after the spool word, then Enter.
std::string notes(const std::string &spool, const std::vector<std::string> &lines);

// One received line per row, invisible bytes in hex, so a failure shows what the client got.
std::string shown(const std::string &bytes);

::testing::AssertionResult sameBytes(const std::string &arrived, const std::string &expected);

} // namespace quillpost::test
