#pragma once

#include "desktop.h"
#include "support/x_session.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace quillpost::test {

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);

// What the client must receive for these lines: each typed after the spool word, then Enter.
std::string notes(const std::string &spool, const std::vector<std::string> &lines);
// The 95 printable ASCII characters in three lines, the first starting with a space.
std::vector<std::string> printableLines();

// Bytes as rows between bars, one a line (each ending in `lineEnd`), other bytes in hex, so that a
// failure shows blanks at either end and anything unprintable.
std::string shown(const std::string &bytes, std::string_view lineEnd = "\r");
::testing::AssertionResult sameBytes(
    const std::string &actual, const std::string &expected, std::string_view lineEnd = "\r");

// The program on its own X server with a window manager, driven only through the keyboard, as a
// player would. A failing test leaves a screenshot of the whole screen in the build folder.
class ProgramTest : public ::testing::Test
{
protected:
    void TearDown() override;
    // A file in the build folder that outlives the test, for a screenshot.
    static std::string artefact(const std::string &name);

    void startProgram();
    // Writes `bytes` to a new file and sends it: Ctrl+O, its full path, Return.
    void sendFile(const std::string &bytes);
    // Opens a menu of the main window with its access key, then presses `keys` in it.
    void menu(const std::string &accessKey, const std::vector<std::string> &keys);
    // Presses `key` in the next box the program opens, and waits until the box is gone.
    void answerBox(const std::string &key);

    XSession session_ { XSession::Options { .windowManager = true } };
    TempDir dir_;
    Desktop desktop_ { session_ };
    Child program_;
    XWindow main_ = 0;
    int files_ = 0;
};

} // namespace quillpost::test
