#include "received_bytes.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace quillpost::test {

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string notes(const std::string &spool, const std::vector<std::string> &lines)
{
    std::string keys;
    for (const auto &line : lines)
        keys += spool + " + " + line + '\r';
    return keys;
}

std::string shown(const std::string &bytes)
{
    if (bytes.empty())
        return "    (nothing)\n";
    std::string out = "    ";
    for (unsigned char c : bytes) {
        if (c == '\r') {
            out += "\\r\n    ";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out + "\n";
}

::testing::AssertionResult sameBytes(const std::string &arrived, const std::string &expected)
{
    if (arrived == expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < arrived.size() && at < expected.size() && arrived[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure()
        << "first difference at byte " << at << " of " << arrived.size() << " received ("
        << expected.size() << " expected)\nexpected:\n"
        << shown(expected) << "received:\n"
        << shown(arrived);
}

} // namespace quillpost::test
