#include "program_test.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace quillpost::test {

std::string notes(const std::string &spool, const std::vector<std::string> &lines)
{
    std::string keys;
    for (const auto &line : lines)
        keys += spool + " + " + line + '\r';
    return keys;
}

std::vector<std::string> printableLines()
{
    std::vector<std::string> lines(3);
    for (char c = 32; c < 127; ++c)
        lines[c < 64 ? 0 : c < 96 ? 1 : 2] += c;
    return lines;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ProgramTest::artefact(const std::string &name)
{
    return std::string(QUILLPOST_E2E_ARTEFACTS) + "/" + name;
}

std::string shown(const std::string &bytes, std::string_view lineEnd)
{
    std::string out = "    |";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        if (bytes.compare(i, lineEnd.size(), lineEnd) == 0) {
            i += lineEnd.size() - 1;
            out += i + 1 < bytes.size() ? "|\n    |" : "|";
        } else {
            out += c == '\\' ? "\\\\" : c < 32 || c > 126 ? hex : std::string(1, bytes[i]);
        }
    }
    return (bytes.empty() ? "    (nothing)" : out) + "\n";
}

::testing::AssertionResult sameBytes(
    const std::string &actual, const std::string &expected, std::string_view lineEnd)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    const auto differ
        = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure()
        << "first difference at byte " << differ.first - actual.begin() << " of " << actual.size()
        << " (" << expected.size() << " expected)\nexpected:\n"
        << shown(expected, lineEnd) << "got:\n"
        << shown(actual, lineEnd);
}

void ProgramTest::TearDown()
{
    const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name() + ".png";
    std::replace(name.begin(), name.end(), '/', '-');
    // A screenshot left in the build folder belongs to the last run of its test.
    const std::string shot = artefact(name);
    std::filesystem::remove(shot);
    if (HasFailure() && desktop_.screenshot(shot))
        std::cerr << "screen at the end of the test: " << shot << "\n";
}

void ProgramTest::startProgram()
{
    program_ = session_.spawn({ QUILLPOST_BINARY });
    main_ = desktop_.waitForWindow("Quillpost");
    desktop_.activate(main_);
}

void ProgramTest::sendFile(const std::string &bytes)
{
    const std::string path = dir_.file("note-" + std::to_string(++files_) + ".txt");
    writeFile(path, bytes);
    desktop_.press(main_, { "ctrl+o" });
    const XWindow dialog = desktop_.waitForWindow("Open File to send to Zmud");
    desktop_.type(dialog, path);
    desktop_.press(dialog, { "Return" });
    desktop_.waitUntilGone(dialog);
}

void ProgramTest::menu(const std::string &accessKey, const std::vector<std::string> &keys)
{
    desktop_.press(main_, { "alt+" + accessKey });
    ASSERT_TRUE(waitFor([&] { return desktop_.popupShown(); }, 5s)) << "no menu";
    desktop_.press(keys);
}

void ProgramTest::answerBox(const std::string &key)
{
    const XWindow box = desktop_.waitForWindow("Quillpost", { main_ });
    desktop_.press(box, { key });
    desktop_.waitUntilGone(box);
}

} // namespace quillpost::test
