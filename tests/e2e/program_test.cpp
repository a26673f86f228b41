#include "program_test.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace quillpost::test {

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
