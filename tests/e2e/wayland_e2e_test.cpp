// The program's stories on each Wayland desktop, its session saying what differs: the program under
// XWayland typing into native recording terminals (on KWin also into an xterm, the X11 path).
#include "program_test.h"
#include "support/wayland_session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <thread>

#include <sys/stat.h>

namespace quillpost::test {
namespace {

const std::string kMain(kMainTitle);

struct Case
{
    const WaylandDesktop *desktop;
    std::string layout = "us";
    bool xterm = false; // the client is an xterm on XWayland, not a native terminal
    bool capsLock = false; // on through the desktop's own keyboard, before the first line
    // Of the map's two layouts, the second is put in use before the first line: one that lacks
    // "^`".
    void (*useSecondLayout)(const WaylandSession &) = nullptr;
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.desktop->name << " " << c.layout << (c.xterm ? ", into an xterm" : "")
        << (c.capsLock ? ", Caps Lock on" : "") << (c.useSecondLayout ? ", the second in use" : "");
}

// KWin's keyboard service, as the layout switcher in the panel would.
void useSecondLayoutOnKwin(const WaylandSession &kwin)
{
    ASSERT_TRUE(kwin.run({ "dbus-send", "--session", "--print-reply", "--dest=org.kde.keyboard",
        "/Layouts", "org.kde.KeyboardLayouts.setLayout", "uint32:1" }));
}

class Stories : public ::testing::TestWithParam<Case>
{
protected:
    void SetUp() override
    {
        try {
            desktop_ = GetParam().desktop->start(
                { .layout = GetParam().layout, .xwayland = true, .trusted = { QUILLPOST_BINARY } });
        } catch (const std::runtime_error &e) {
            GTEST_SKIP() << GetParam().desktop->name << " does not start here: " << e.what();
        }
        program_ = desktop_->spawn({ QUILLPOST_BINARY });
    }

    // A recording client titled `title`; what it has received is read through the file.
    std::string client(const std::string &title, Child &process, bool xterm = false)
    {
        const std::string file = desktop_->file("client" + std::to_string(++files_));
        const int before = desktop_->windowsTitled(title);
        process = desktop_->recorder(title, file, xterm);
        EXPECT_EQ(desktop_->windowsTitled(title), before + 1) << title;
        return file;
    }

    // Options > Choose Client Window, then the entry that `times` searches for `letter` reach.
    void chooseFromList(const std::string &letter, int times = 1)
    {
        focus(kMain);
        desktop_->press({ "alt+o", "c" });
        focus("Choose Client Window", true);
        for (int i = 0; i < times; ++i) {
            std::this_thread::sleep_for(2s); // each a search of its own
            desktop_->type(letter); // the list jumps to the next window whose title begins so
        }
        desktop_->press({ "Return" });
    }

    std::string receivedAtLeast(const std::string &file, std::size_t size)
    {
        waitFor([&] { return readFile(file).size() >= size; });
        return readFile(file);
    }

    // Also once XWayland has given the window the X focus: a desktop may name its new focus before
    // that, and the keys pressed in between would reach no window.
    void focus(const std::string &title, bool dialog = false)
    {
        ASSERT_TRUE(waitFor([&] {
            return desktop_->focus(title, dialog) && desktop_->focused(title)
                && desktop_->run({ "sh", "-c",
                    "[ \"$(xdotool getwindowfocus getwindowname)\" = \"$0\" ]", title });
        })) << title
            << " did not come to the front (" << desktop_->windowsTitled(title) << " open)";
    }

    // Ctrl+O, the file's path, Return, from the program's main window.
    void sendFile(const std::string &bytes)
    {
        const std::string path = desktop_->file("note" + std::to_string(++files_) + ".txt");
        std::ofstream(path, std::ios::binary) << bytes;
        chmod(path.c_str(), 0644);
        focus(kMain);
        desktop_->press({ "ctrl+o" });
        focus(std::string(kOpenDialogTitle), true);
        desktop_->type(path);
        desktop_->press({ "Return" });
    }

    // Presses `key` in the box of ours that comes in front of the main window.
    void answerBox(const std::string &key)
    {
        ASSERT_TRUE(waitFor([&] { return desktop_->windowsTitled(kMain) == 2; })) << "no box came";
        focus(kMain, true);
        desktop_->press({ key });
        ASSERT_TRUE(waitFor([&] { return desktop_->windowsTitled(kMain) == 1; }));
    }

    // The status box's text, copied from the keyboard as a player would (it holds the main
    // window's focus; a click does not reach XWayland's windows under gnome-shell).
    std::string status()
    {
        focus(kMain);
        desktop_->press({ "ctrl+a", "ctrl+c" });
        const std::string text = desktop_->file("status");
        desktop_->run({ "sh", "-c",
            "until xclip -o -selection clipboard > \"$0\"; do sleep 0.1; done", text });
        return readFile(text);
    }

    std::unique_ptr<WaylandSession> desktop_;
    Child program_;
    int files_ = 0;
};

using Lines = Stories;

// A line that the player's layout cannot type through the desktop is refused whole before any of
// it is typed, naming what the layout lacks, and the send stops there. With Caps Lock on, letters
// still arrive in their own case.
TEST_P(Lines, TypesEveryPrintableCharacterOnEveryKindOfLineBreak)
{
    Child process;
    const std::string got = client("zMUD", process, GetParam().xterm);
    const std::vector<std::string> p = printableLines();
    const std::vector<std::string> lines { p[0], p[1], "", p[2], "x", "{+}{{^}} (%~) [[]] +^%~ " };
    sendFile(lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\n" + lines[3] + "\r" + lines[4]
        + "\r\n" + lines[5] + "\r\n");
    // The program waits on the box before the first line.
    if (GetParam().useSecondLayout)
        GetParam().useSecondLayout(*desktop_);
    ASSERT_TRUE(!GetParam().capsLock || desktop_->tapCapsLock());
    answerBox("alt+a"); // a leading blank and "~", which a ROM server would change

    const std::string untypable = GetParam().useSecondLayout ? "^`"
        : GetParam().xterm                                   ? ""
                                                             : desktop_->untypable();
    const auto refused = std::find_if(lines.begin(), lines.end(), [&](const std::string &line) {
        return line.find_first_of(untypable) != std::string::npos;
    });
    const std::string expected = notes("note", { lines.begin(), refused });
    EXPECT_EQ(receivedAtLeast(got, expected.size()), expected);
    EXPECT_TRUE(waitFor([&] { return desktop_->focused(kMain); })) << "the end did not come back";
    EXPECT_EQ(readFile(got), expected);
    if (refused == lines.end())
        return;
    std::string named;
    for (char c : untypable)
        if (refused->find(c) != std::string::npos)
            named += (named.empty() ? "" : " ") + std::string(1, c);
    const std::string said = status(), line = std::to_string(refused - lines.begin() + 1);
    EXPECT_NE(said.find(": " + named + "."), std::string::npos) << said;
    EXPECT_TRUE(said.ends_with("Line " + line + " was not typed.")) << said;
}

INSTANTIATE_TEST_SUITE_P(Wayland, Lines,
    ::testing::Values(Case { &kSway }, Case { &kSway, "de" },
        Case { .desktop = &kKwin, .capsLock = true },
        Case { .desktop = &kKwin, .layout = "de", .capsLock = true },
        Case { .desktop = &kKwin, .layout = "us,de", .useSecondLayout = useSecondLayoutOnKwin },
        Case { .desktop = &kKwin, .xterm = true }, Case { &kKwin, "fr" },
        Case { .desktop = &kGnome, .capsLock = true }, Case { &kGnome, "de" }));

// A click on a native window never reaches the program: it offers the desktop's windows instead,
// two windows alike as two entries. The client chosen there serves, each line bringing it back in
// front of a window that came between lines, until it closes; then the title rule, after a warning
// while no client is there.
TEST_P(Stories, AClientChosenFromTheWindowListServesUntilItClosesThenTheTitleRuleAfterAWarning)
{
    Child alike[2], thief, zmud;
    const std::string files[]
        = { client("Other world", alike[0]), client("Other world", alike[1]) };
    const std::string stolen = client("thief", thief);
    chooseFromList("O");
    const std::string zero = notes("note", { "zero" });
    sendFile("zero\n");
    ASSERT_TRUE(waitFor([&] { return readFile(files[0]) + readFile(files[1]) == zero; }));
    const int second = readFile(files[0]).empty() ? 0 : 1; // the window of the second entry
    const std::string got = files[second];
    Child &chosen = alike[second];
    chooseFromList("O", 2);
    const std::vector<std::string> lines { "one", "two", "three", "four", "five", "six" };
    const auto upTo = [&](int n) { return notes("note", { lines.begin(), lines.begin() + n }); };
    sendFile("one\ntwo\nthree\nfour\nfive\nsix\n");
    ASSERT_EQ(receivedAtLeast(got, upTo(2).size()).substr(0, upTo(2).size()), upTo(2));
    ASSERT_TRUE(desktop_->focus("thief"));
    ASSERT_EQ(receivedAtLeast(got, upTo(4).size()).substr(0, upTo(4).size()), upTo(4));

    chosen.stop();
    ASSERT_TRUE(waitFor([&] { return desktop_->windowsTitled(kMain) == 2; })) << "no warning";
    const std::string expected = upTo(6), rest = expected.substr(readFile(got).size());
    const std::string next = client("zMUD", zmud);
    EXPECT_EQ(desktop_->windowsTitled(kMain), 2) << "one warning at a time";
    answerBox("Return");
    EXPECT_EQ(receivedAtLeast(next, rest.size()), rest);
    EXPECT_EQ(readFile(got) + readFile(next), expected);
    EXPECT_EQ(readFile(files[1 - second]), zero);
    EXPECT_EQ(readFile(stolen), "");
}

// X windows alike are one title to the desktop's list: choosing one of them is refused, saying why.
// (KWin's list numbers them apart itself.)
using XWindowsAlike = Stories;

TEST_P(XWindowsAlike, AreNotChosenFromTheList)
{
    Child alike[2];
    client("X world", alike[0], true);
    client("X world", alike[1], true);
    chooseFromList("X");
    const std::string said = status();
    EXPECT_TRUE(said.starts_with("Error: 2 windows are titled \"X world\"")) << said;
}

INSTANTIATE_TEST_SUITE_P(
    Wayland, Stories, ::testing::Values(Case { &kSway }, Case { &kKwin }, Case { &kGnome }));
INSTANTIATE_TEST_SUITE_P(
    Wayland, XWindowsAlike, ::testing::Values(Case { &kSway }, Case { &kGnome }));

} // namespace
} // namespace quillpost::test
