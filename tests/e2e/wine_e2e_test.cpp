#include "desktop.h"
#include "program_test.h"
#include "support/x_session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <list>
#include <string>
#include <thread>
#include <vector>

// The Windows program, quillpost.exe, under Wine: started, seen and driven only through the X
// display, as a player at the screen would, typing into a Win32 window that records every
// character it receives.
namespace quillpost::test {
namespace {

constexpr std::string_view kMainTitle = "Quillpost";
constexpr std::string_view kOpenDialogTitle = "Open File to send to Zmud";
constexpr auto kWineStart = 30s; // the first program in a prefix starts its services too

// The same file as Windows sees it, through Wine's Z: drive.
std::string windowsPath(std::string path)
{
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

// A Win32 window that records the characters it receives into a file.
struct Recorder
{
    std::string file;
    Child process;
    XWindow window = 0;
    std::string received() const { return readFile(file); }
};

class WineEndToEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Made fresh by the wine_prefix test before these run; every Wine program inherits it.
        setenv("WINEPREFIX", QUILLPOST_WINEPREFIX, 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    }

    void TearDown() override
    {
        if (HasFailure() && desktop_.screenshot(artefact(currentTest() + ".png")))
            std::cerr << "screen at the end of the test: " << artefact(currentTest() + ".png")
                      << "\n";
        // Ends every Windows program of the prefix, whichever window or box is still open.
        session_.run({ "wineserver", "-k" });
        session_.run({ "wineserver", "-w" });
        for (const std::string &file : written_)
            std::remove(file.c_str());
    }

    static std::string currentTest()
    {
        const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("Wine.") + test->name();
        for (char &c : name)
            if (c == '/')
                c = '.';
        return name;
    }

    static std::string artefact(const std::string &name)
    {
        return std::string(QUILLPOST_E2E_ARTEFACTS) + "/" + name;
    }

    // Wine moves the Windows focus only once the window's own process has read an X focus
    // change, and sends keys that come before it to the window that had it. When the program
    // brings the client forward, the window manager may leave the X focus where it was, and
    // activating the main window then changes nothing Wine sees: a person clicks it, as here,
    // into the status text. Nothing outside Wine shows its focus, hence the pauses.
    void focus(XWindow window)
    {
        std::this_thread::sleep_for(300ms);
        desktop_.activate(window);
        if (window == main_) {
            const ScreenRect r = desktop_.clientArea(main_);
            session_.run({ "xdotool", "mousemove", std::to_string(r.x + r.width / 2),
                std::to_string(r.y + r.height - 8), "click", "1" });
        }
        std::this_thread::sleep_for(300ms);
        desktop_.activate(window);
    }

    void press(XWindow window, const std::vector<std::string> &keys)
    {
        focus(window);
        desktop_.press(window, keys);
    }

    void type(XWindow window, const std::string &text)
    {
        focus(window);
        desktop_.type(window, text);
    }

    // Starts quillpost.exe on a keyboard of this layout and gives it the focus.
    void start(const std::string &layout = "us")
    {
        // A screenshot left in the build directory belongs to the last run of its test.
        std::remove(artefact(currentTest() + ".png").c_str());
        ASSERT_EQ(session_.run({ "setxkbmap", layout }), 0) << "no layout " << layout;
        program_ = session_.spawn({ "wine", QUILLPOST_EXE });
        main_ = desktop_.waitForWindow(kMainTitle, {}, kWineStart);
        focus(main_);
    }

    // `steal`: the window takes the front back every few milliseconds.
    Recorder &startClient(const std::string &title = "zMUD", bool steal = false)
    {
        Recorder &r = recorders_.emplace_back();
        r.file = dir_.file("received-" + std::to_string(recorders_.size()));
        writeFile(r.file, "");
        std::vector<std::string> args { "wine", QUILLPOST_RECORDER, windowsPath(r.file), title };
        if (steal)
            args.push_back("--steal");
        r.process = session_.spawn(args);
        r.window = desktop_.waitForWindow(title, {}, kWineStart);
        return r;
    }

    std::string receivedAtLeast(
        const Recorder &r, std::size_t size, std::chrono::milliseconds timeout = 20s)
    {
        waitFor([&] { return r.received().size() >= size; }, timeout);
        return r.received();
    }

    // Whether nothing more arrived within `period` (two ticks at the start interval).
    bool staysAt(
        const Recorder &r, const std::string &at, std::chrono::milliseconds period = 2500ms)
    {
        return !waitFor([&] { return r.received() != at; }, period);
    }

    // A file in the folder the open dialog starts in, the program's working directory, so that
    // its bare name is typed: xdotool's backslash on a German keyboard reaches Wine as "ß".
    std::string dialogFile(const std::string &bytes)
    {
        const std::string name = currentTest() + "-" + std::to_string(++files_) + ".txt";
        writeFile(name, bytes);
        written_.push_back(name);
        return name;
    }

    // Ctrl+O, the file's name into the dialog, Return.
    void sendFile(const std::string &bytes)
    {
        const std::string name = dialogFile(bytes);
        press(main_, { "ctrl+o" });
        const XWindow dialog = desktop_.waitForWindow(kOpenDialogTitle);
        type(dialog, name);
        press(dialog, { "Return" });
        desktop_.waitUntilGone(dialog);
    }

    // Nothing more arrives after the file, for two ticks. (The program takes the front back at
    // its end, but under openbox Wine does not always get the X focus for it.)
    void expectSendEnds(const Recorder &client, const std::string &expected)
    {
        EXPECT_TRUE(staysAt(client, expected)) << shown(client.received());
    }

    // A box of ours: titled as the main window, and not it.
    XWindow waitForBox(const std::vector<XWindow> &except = {})
    {
        std::vector<XWindow> skip = except;
        skip.push_back(main_);
        return desktop_.waitForWindow(kMainTitle, skip);
    }

    // The window with its frame, as it looks on the screen, as a test artefact.
    void screenshot(XWindow window, const std::string &name)
    {
        const ScreenRect r = desktop_.clientArea(window);
        const int top = std::max(0, r.y - 30);
        const std::string crop = std::to_string(r.width + 12) + "x"
            + std::to_string(r.height + (r.y - top) + 6) + "+"
            + std::to_string(std::max(0, r.x - 6)) + "+" + std::to_string(top);
        EXPECT_EQ(session_.run({ "import", "-window", "root", "-crop", crop, artefact(name) }), 0);
    }

    XSession session_ { XSession::Options { .windowManager = true } };
    TempDir dir_;
    Desktop desktop_ { session_ };
    Child program_;
    XWindow main_ = 0;
    std::list<Recorder> recorders_;
    std::vector<std::string> written_;
    int files_ = 0;
};

class Layouts : public WineEndToEnd, public ::testing::WithParamInterface<const char *>
{
};

// Unicode input carries each character whatever the layout; the German one moves the brackets,
// braces, @ and Y/Z, and makes ^ and ` dead keys.
TEST_P(Layouts, TypesEveryPrintableCharacterByteForByte)
{
    start(GetParam());
    Recorder &client = startClient();
    const std::vector<std::string> p = printableLines();
    const std::vector<std::string> lines { p[0], p[1], "", p[2], "{+}{{^}} (%~) [[]] +^%~ " };
    const std::string file = lines[0] + "\r\n" + lines[1] + "\n" + lines[2] + "\r" + lines[3]
        + "\r\n" + lines[4] + "\r\n";
    const std::string expected = notes("note", lines);

    sendFile(file);
    // A leading blank and "~", which a ROM server would change: the program asks first.
    press(waitForBox(), { "alt+a" });

    EXPECT_TRUE(sameBytes(receivedAtLeast(client, expected.size()), expected));
    expectSendEnds(client, expected);
    EXPECT_TRUE(sameBytes(client.received(), expected));
}

INSTANTIATE_TEST_SUITE_P(Wine, Layouts, ::testing::Values("us", "de"));

TEST_F(WineEndToEnd, WarnsWhileTheClientIsMissingThenTypesTheLineOnceItAppears)
{
    start();
    sendFile("first\nsecond\n");
    const XWindow warning = waitForBox();
    desktop_.screenshot(artefact("Wine.ClientWarning.png"));

    Recorder &client = startClient();
    press(warning, { "Return" });

    const std::string expected = notes("note", { "first", "second" });
    EXPECT_TRUE(sameBytes(receivedAtLeast(client, expected.size()), expected));
    expectSendEnds(client, expected);
    EXPECT_TRUE(sameBytes(client.received(), expected));
}

// Pausing by hand, and a pause because another window took the front: either way the line
// waits, nothing reaches anything else, and Start types on from there, each line once. Every
// tick brings the client to the front, so keys for the program are pressed right after a line,
// at a 3 second interval.
TEST_F(WineEndToEnd, PausesByHandAndWhenAnotherWindowTakesTheFrontAndStartGoesOn)
{
    start();
    press(main_, { "alt+o", "s", "3" }); // Options, Set Timer Interval, 3 seconds
    Recorder &client = startClient();
    std::vector<std::string> lines;
    std::string file;
    for (int i = 1; i <= 4; ++i) {
        lines.push_back("line " + std::to_string(i) + " (of 4) {+}");
        file += lines.back() + "\n";
    }
    const std::string expected = notes("note", lines);
    const auto upTo = [&](int n) {
        return notes("note", std::vector<std::string>(lines.begin(), lines.begin() + n));
    };
    sendFile(file);
    ASSERT_TRUE(sameBytes(receivedAtLeast(client, upTo(1).size()), upTo(1)));

    // By hand: Pause on the menu bar.
    press(main_, { "alt+p" });
    EXPECT_TRUE(staysAt(client, upTo(1), 4s)) << "the send went on after Pause";
    press(main_, { "alt+s" });
    ASSERT_TRUE(sameBytes(receivedAtLeast(client, upTo(2).size()), upTo(2)));

    // Another window keeps taking the front: the next line finds it there and waits.
    Recorder &thief = startClient("Thief", true);
    EXPECT_TRUE(staysAt(client, upTo(2), 5s))
        << "the send went on while another window was in front";
    EXPECT_EQ(thief.received(), "") << "keys reached the window in front:\n"
                                    << shown(thief.received());

    thief.process.stop();
    press(main_, { "alt+s" });
    EXPECT_TRUE(sameBytes(receivedAtLeast(client, expected.size()), expected));
    expectSendEnds(client, expected);
    EXPECT_TRUE(sameBytes(client.received(), expected));
}

// Clients not titled "zMUD" are chosen by clicking them; the program's own windows are refused.
// The chosen window serves until it closes, and then the title rule finds the next client.
TEST_F(WineEndToEnd, AClientChosenByClickingServesUntilItClosesThenTheTitleRuleAgain)
{
    start();
    Recorder &mudlet = startClient("Mudlet - Hollowmere");
    const auto choose = [&](XWindow window) {
        press(main_, { "alt+o", "c" });
        // The picker's hooks are in place at once, but nothing outside Wine shows it waiting;
        // a click that came too early would pick nothing, and the story below would fail.
        std::this_thread::sleep_for(2s);
        desktop_.activate(window); // Wine's windows open on top of one another
        desktop_.click(window);
    };
    choose(main_);
    press(waitForBox(), { "Return" });
    choose(mudlet.window);
    const std::string expected = notes("note", { "chosen", "by click" });
    sendFile("chosen\nby click\n");
    EXPECT_TRUE(sameBytes(receivedAtLeast(mudlet, expected.size()), expected));
    expectSendEnds(mudlet, expected);

    desktop_.close(mudlet.window);
    desktop_.waitUntilGone(mudlet.window);
    Recorder &zmud = startClient();
    const std::string byTitle = notes("note", { "by title" });
    sendFile("by title\n");
    EXPECT_TRUE(sameBytes(receivedAtLeast(zmud, byTitle.size()), byTitle));
    expectSendEnds(zmud, byTitle);
    EXPECT_TRUE(sameBytes(mudlet.received(), expected));
}

TEST_F(WineEndToEnd, MainWindowViewerAndAboutBoxOpenFromTheKeyboardAtTheirSizes)
{
    start();
    screenshot(main_, "Wine.MainWindow.png");
    const ScreenRect main = desktop_.clientArea(main_);
    EXPECT_EQ(main.width, pixels(4530));

    std::string lines;
    for (int i = 0; i < 40; ++i)
        lines += std::string(30, static_cast<char>('a' + i % 26)) + "\n";
    const std::string path = dialogFile(lines);
    // File, then the item after the first: Open file to View.
    press(main_, { "alt+f", "Down", "Return" });
    const XWindow dialog = desktop_.waitForWindow("Open File to View (In internal editor)");
    type(dialog, path);
    press(dialog, { "Return" });
    const XWindow viewer = desktop_.waitForWindow("Text Viewer");
    const ScreenRect viewerArea = desktop_.clientArea(viewer);
    EXPECT_EQ(viewerArea.width, pixels(6360));
    EXPECT_EQ(viewerArea.height, pixels(4785));
    screenshot(viewer, "Wine.TextViewer.png");
    press(viewer, { "Tab", "space" }); // from the text to Close
    EXPECT_TRUE(waitFor([&] { return desktop_.windowsTitled("Text Viewer").empty(); }, 5s))
        << "Close did not close the viewer";

    press(main_, { "alt+h", "a" });
    const XWindow about = desktop_.waitForWindow("About Quillpost");
    const ScreenRect aboutArea = desktop_.clientArea(about);
    EXPECT_EQ(aboutArea.width, pixels(5730));
    EXPECT_EQ(aboutArea.height, pixels(3555));
    EXPECT_EQ(aboutArea.x, pixels(2340));
    EXPECT_EQ(aboutArea.y, pixels(1935));
    screenshot(about, "Wine.AboutBox.png");
    // Esc closes it as OK does.
    press(about, { "Escape" });
    desktop_.waitUntilGone(about);

    // Ctrl+O from inside an open menu: the menu closes and the file dialog opens.
    press(main_, { "alt+n", "ctrl+o" });
    const XWindow fromMenu = desktop_.waitForWindow(kOpenDialogTitle);
    press(fromMenu, { "Escape" });
    desktop_.waitUntilGone(fromMenu);
}

struct SysInfoCase
{
    const char *name;
    const char *path; // the registry's PATH value for the tool; null for none
    std::string_view window; // what opens
};

// The About box's System Info button reads the tool's path from the 64-bit registry, which a
// fresh prefix has without that value.
TEST_F(WineEndToEnd, SystemInfoStartsTheRegisteredToolOrSaysItIsUnavailable)
{
    const SysInfoCase cases[] = {
        { "NoValue", nullptr, kMainTitle },
        { "Registered", "C:\\windows\\notepad.exe", "Untitled - Notepad" },
    };
    for (const SysInfoCase &c : cases) {
        SCOPED_TRACE(c.name);
        const char *key = "HKLM\\Software\\Microsoft\\Shared Tools\\MSINFO";
        if (c.path)
            ASSERT_EQ(session_.run({ "wine", "reg", "add", key, "/v", "PATH", "/d", c.path, "/f",
                          "/reg:64" }),
                0);
        else
            session_.run({ "wine", "reg", "delete", key, "/v", "PATH", "/f", "/reg:64" });
        start();
        press(main_, { "alt+h", "a" });
        const XWindow about = desktop_.waitForWindow("About Quillpost");
        press(about, { "alt+s" });
        const XWindow opened = desktop_.waitForWindow(c.window, { main_ });
        if (!c.path)
            press(opened, { "Return" });
        session_.run({ "wineserver", "-k" });
        session_.run({ "wineserver", "-w" });
    }
}

} // namespace
} // namespace quillpost::test
