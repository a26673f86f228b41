// The program on a headless sway, under XWayland as it runs on any Wayland desktop, typing into
// native Wayland windows (foot terminals that record what they receive), driven by a keyboard on
// the seat as a player's would be.
#include "program_test.h"
#include "support/seat_keyboard.h"
#include "support/sway_session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include <sys/stat.h>

namespace quillpost::test {
namespace {

const std::string kMain(kMainTitle);

class Sway : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const std::string why = SwaySession::unavailable(); !why.empty())
            GTEST_SKIP() << "No sway on this machine: " << why;
    }

    void start(const std::string &layout = "us")
    {
        sway_ = std::make_unique<SwaySession>(layout);
        keyboard_ = std::make_unique<SeatKeyboard>(sway_->socket(), layout);
        program_ = sway_->spawn({ "env", "DISPLAY=" + sway_->xDisplay(), QUILLPOST_BINARY });
        ASSERT_TRUE(waitFor([&] { return sway_->focused(kMain); })) << "Quillpost did not start";
    }

    // A recording client titled `title`; what it has received is read through the file.
    std::string client(const std::string &title, Child &process)
    {
        const std::string file = sway_->file("client" + std::to_string(++files_));
        process = sway_->recorder(title, file);
        EXPECT_TRUE(waitFor([&] { return sway_->focused(title); })) << title << " did not open";
        return file;
    }

    std::string receivedAtLeast(const std::string &file, std::size_t size)
    {
        waitFor([&] { return readFile(file).size() >= size; });
        return readFile(file);
    }

    // Ctrl+O, the file's path, Return, from the program's main window.
    void sendFile(const std::string &bytes)
    {
        const std::string path = sway_->file("note" + std::to_string(++files_) + ".txt");
        std::ofstream(path, std::ios::binary) << bytes;
        chmod(path.c_str(), 0644);
        focusMain();
        keyboard_->press({ "ctrl+o" });
        ASSERT_TRUE(waitFor([&] { return sway_->focused(std::string(kOpenDialogTitle)); }));
        keyboard_->type(path);
        keyboard_->press({ "Return" });
    }

    void focusMain()
    {
        ASSERT_TRUE(sway_->command("[title=\"^" + kMain + "$\" tiling] focus"));
        ASSERT_TRUE(waitFor([&] { return sway_->focused(kMain); }));
    }

    // Once a box of ours is in front (boxes float), presses `key` in it.
    void answerBox(const std::string &key)
    {
        ASSERT_TRUE(waitFor([&] { return sway_->windowsTitled(kMain) == 2; })) << "no box came";
        ASSERT_TRUE(sway_->command("[title=\"^" + kMain + "$\" floating] focus"));
        keyboard_->press({ key });
        ASSERT_TRUE(waitFor([&] { return sway_->windowsTitled(kMain) == 1; }));
    }

    std::unique_ptr<SwaySession> sway_;
    std::unique_ptr<SeatKeyboard> keyboard_;
    Child program_;
    int files_ = 0;
};

class SwayLayouts : public Sway, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(SwayLayouts, TypesEveryPrintableCharacterOnEveryKindOfLineBreak)
{
    start(GetParam());
    Child process;
    const std::string got = client("zMUD", process);
    const std::vector<std::string> p = printableLines();
    const std::vector<std::string> lines { p[0], p[1], "", p[2], "x", "{+}{{^}} (%~) [[]] +^%~ " };
    const std::string expected = notes("note", lines);
    sendFile(lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\n" + lines[3] + "\r" + lines[4]
        + "\r\n" + lines[5] + "\r\n");
    answerBox("alt+a"); // a leading blank and "~", which a ROM server would change
    EXPECT_EQ(receivedAtLeast(got, expected.size()), expected);
    EXPECT_TRUE(waitFor([&] { return sway_->focused(kMain); })) << "the end did not come back";
    EXPECT_EQ(readFile(got), expected);
}

INSTANTIATE_TEST_SUITE_P(Sway, SwayLayouts, ::testing::Values("us", "de"));

// sway only marks an X window urgent when X asks to activate it, so each line brings the client
// back through sway's own window list: a window in front between lines gets no key.
TEST_F(Sway, BringsTheClientBackWarnsWhenItClosesAndGoesOnInTheNextOne)
{
    start();
    Child first, thief, second;
    const std::string got = client("zMUD", first);
    const std::string stolen = client("thief", thief);
    const std::vector<std::string> lines { "one", "two", "three", "four", "five", "six" };
    const std::string expected = notes("note", lines);
    const std::string firstTwo = notes("note", { lines[0], lines[1] });
    sendFile("one\ntwo\nthree\nfour\nfive\nsix\n");
    ASSERT_EQ(receivedAtLeast(got, firstTwo.size()).substr(0, firstTwo.size()), firstTwo);
    ASSERT_TRUE(sway_->command("[title=\"^thief$\"] focus"));
    const std::string firstFour = notes("note", { lines[0], lines[1], lines[2], lines[3] });
    ASSERT_EQ(receivedAtLeast(got, firstFour.size()).substr(0, firstFour.size()), firstFour);

    first.stop();
    ASSERT_TRUE(waitFor([&] { return sway_->windowsTitled(kMain) == 2; })) << "no warning came";
    const std::string rest = expected.substr(readFile(got).size());
    const std::string next = client("zMUD", second);
    EXPECT_EQ(sway_->windowsTitled(kMain), 2) << "one warning at a time";
    answerBox("Return");
    EXPECT_EQ(receivedAtLeast(next, rest.size()), rest);
    EXPECT_EQ(readFile(got) + readFile(next), expected);
    EXPECT_EQ(readFile(stolen), "");
}

// A click on a native window never reaches the program: it offers the desktop's windows instead.
TEST_F(Sway, AClientChosenFromTheWindowListServesUntilItClosesThenTheTitleRuleAgain)
{
    start();
    Child zmud, other;
    const std::string byTitle = client("zMUD", zmud);
    const std::string chosen = client("Other world", other);
    focusMain();
    keyboard_->press({ "alt+o", "c" });
    ASSERT_TRUE(waitFor([&] { return sway_->focused("Choose Client Window"); }));
    keyboard_->type("O"); // the list jumps to the window whose title begins so
    keyboard_->press({ "Return" });
    const std::string expected = notes("note", { "chosen", "from the list" });
    sendFile("chosen\nfrom the list\n");
    EXPECT_EQ(receivedAtLeast(chosen, expected.size()), expected);

    other.stop();
    ASSERT_TRUE(waitFor([&] { return sway_->windowsTitled("Other world") == 0; }));
    const std::string then = notes("note", { "by title" });
    sendFile("by title\n");
    EXPECT_EQ(receivedAtLeast(byTitle, then.size()), then);
    EXPECT_EQ(readFile(chosen), expected);
}

} // namespace
} // namespace quillpost::test
