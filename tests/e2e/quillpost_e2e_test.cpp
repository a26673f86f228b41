#include "client_terminal.h"
#include "program_test.h"

#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <list>
#include <string>
#include <vector>

namespace quillpost::test {
namespace {

constexpr std::string_view kMainTitle = "Quillpost";

struct QRect
{
    int x, y, width, height;
};
constexpr std::string_view kOpenDialogTitle = "Open File to send to Zmud";
constexpr std::string_view kCustomSpoolTitle = "Custom Note Spool";

// Each test starts the program with an xterm in the client's place.
class EndToEnd : public ProgramTest
{
protected:
    void SetUp() override { startProgram(); }

    // At the end of the file the program brings its own window back: the send is over and
    // nothing more will be typed.
    void expectSendEnds()
    {
        EXPECT_TRUE(waitFor([&] { return desktop_.hasFocus(main_); }, 5s))
            << "the program did not come back to the front, as it does at the end of the file";
    }

    // Owned here so that the screenshot of a failure still shows it.
    ClientTerminal &startClient(ClientTerminal::Options options = {})
    {
        return clients_.emplace_back(session_, desktop_, dir_, std::move(options));
    }

    // File ▸ Open file to View (the item after the first), the path, Return; the viewer window.
    XWindow openViewer(const std::string &path, bool tooLong = false)
    {
        menu("f", { "Down", "Return" });
        const XWindow dialog = desktop_.waitForWindow("Open File to View (In internal editor)");
        desktop_.type(dialog, path);
        desktop_.press(dialog, { "Return" });
        desktop_.waitUntilGone(dialog);
        if (tooLong) // more than a note takes: a note comes first
            desktop_.press(desktop_.waitForWindow(kMainTitle, { main_ }), { "Return" });
        return desktop_.waitForWindow("Text Viewer");
    }

    XWindow openAbout(const std::vector<XWindow> &except = {})
    {
        menu("h", { "a" });
        return desktop_.waitForWindow("About Quillpost", except);
    }

    // Whether `client` received nothing more within `period` (two ticks at the start interval).
    bool staysAt(const ClientTerminal &client, const std::string &at,
        std::chrono::milliseconds period = 2500ms)
    {
        return !waitFor([&] { return client.received() != at; }, period);
    }

    // The focus thief, recording the keys it gets into `keysFile`; its window once it is up.
    XWindow startThief(const std::string &keysFile, std::vector<std::string> options = {})
    {
        options.insert(options.begin(), { QUILLPOST_FOCUS_THIEF, keysFile });
        thief_ = session_.spawn(options);
        return desktop_.waitForWindow("Thief");
    }

    // Windows titled like the main window that are not it: message boxes.
    std::vector<XWindow> messageBoxes() const
    {
        auto boxes = desktop_.windowsTitled(kMainTitle);
        std::erase(boxes, main_);
        return boxes;
    }

    std::list<ClientTerminal> clients_;
    Child thief_;
};

TEST_F(EndToEnd, TypesEveryPrintableCharacterOnEveryKindOfLineBreak)
{
    ClientTerminal &client = startClient();
    const std::vector<std::string> p = printableLines();
    // Line 1 starts with a space; the last line is notation characters in the pairs and nestings
    // that a wrong escape would turn into key names or groups, with a trailing space.
    const std::vector<std::string> lines { p[0], p[1], "", p[2], "x", "{+}{{^}} (%~) [[]] +^%~ " };
    const std::string file = lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\n" + lines[3]
        + "\r" + lines[4] + "\r\n" + lines[5] + "\r\n";
    const std::string expected = notes("note", lines);

    sendFile(file);
    // A leading blank and "~", which a ROM server would change: the program asks first.
    const XWindow preflight = desktop_.waitForWindow(kMainTitle, { main_ });
    desktop_.press(preflight, { "alt+a" });

    EXPECT_TRUE(sameBytes(client.receivedAtLeast(expected.size()), expected));
    expectSendEnds();
    EXPECT_TRUE(sameBytes(client.received(), expected));
}

TEST_F(EndToEnd, HoldsTheLineWhileAnotherWindowKeepsTheFocusAndTypesItOnStart)
{
    ClientTerminal &client = startClient();
    const std::vector<std::string> lines { "one (1)", "two [2]", "three {3}", "four +4" };
    const std::string expected = notes("note", lines);
    const std::string firstLine = notes("note", { lines[0] });
    sendFile("one (1)\ntwo [2]\nthree {3}\nfour +4\n");
    ASSERT_TRUE(sameBytes(client.receivedAtLeast(firstLine.size()), firstLine));

    const std::string thiefKeys = dir_.file("thief-keys");
    const XWindow thief = startThief(thiefKeys);
    ASSERT_TRUE(waitFor([&] { return desktop_.hasFocus(thief); }, 5s))
        << "the Thief window did not take the focus";

    // A line typed just before the theft may still be on its way through the terminal.
    std::string atTheft = client.received();
    for (int settle = 0; settle < 10 && !staysAt(client, atTheft, 300ms); ++settle)
        atTheft = client.received();
    // Two ticks: the next line must find the focus taken, and hold back rather than type.
    waitFor([&] { return client.received() != atTheft || !readFile(thiefKeys).empty(); }, 2500ms);
    EXPECT_TRUE(sameBytes(client.received(), atTheft))
        << "\nthe send went on while another window held the focus";
    EXPECT_LT(atTheft.size(), expected.size()) << "the file ended before the focus was taken";
    EXPECT_EQ(expected.compare(0, atTheft.size(), atTheft), 0)
        << "not whole lines in order before the theft\n"
        << sameBytes(atTheft, expected).message();

    thief_.stop();
    EXPECT_TRUE(readFile(thiefKeys).empty())
        << "keys reached the Thief window while it held the focus:\n"
        << shown(readFile(thiefKeys));

    desktop_.press(main_, { "alt+s" });
    EXPECT_TRUE(sameBytes(client.receivedAtLeast(expected.size()), expected));
    expectSendEnds();
    EXPECT_TRUE(sameBytes(client.received(), expected));
}

// The focus moves between the client and the Thief every millisecond or so: each key must go to
// the client or wait. On ru the Latin letters and most punctuation go through spare keys, bound
// in batches with a focus check before each, so a line can stop part way, and pause the send
// there: it must go on from there, never again from its start.
// The spare keys stay bound between lines, and a kill ends the program as Exit does: it leaves
// the keyboard map as it found it.
TEST_F(EndToEnd, NoKeyReachesAnotherWindowWhenTheFocusMovesAtAnyMoment)
{
    ClientTerminal &client = startClient();
    const auto keymap = [&] {
        session_.run({ "sh", "-c", "xkbcomp -xkb \"$DISPLAY\" \"$0\"", dir_.file("keymap") });
        return readFile(dir_.file("keymap"));
    };
    std::string keymapBefore;
    std::string expected;
    for (const std::string layout : { "us", "ru" }) {
        SCOPED_TRACE(layout);
        std::vector<std::string> lines;
        std::string file;
        for (char c = 'a'; c < 'f'; ++c) {
            lines.push_back(layout + " " + c + ":");
            for (char p = '!'; p < '~'; ++p) // "~" and a leading blank would bring a warning
                lines.back() += p;
            file += lines.back() + "\n";
        }
        const std::string firstLine = expected + notes("note", { lines[0] });
        expected += notes("note", lines);
        ASSERT_EQ(session_.run({ "setxkbmap", "us" }), 0); // xdotool types the path wrong on ru
        sendFile(file);
        ASSERT_TRUE(sameBytes(client.receivedAtLeast(firstLine.size()), firstLine));
        ASSERT_EQ(session_.run({ "setxkbmap", layout }), 0);
        keymapBefore = keymap();

        const std::string thiefKeys = dir_.file("thief-keys-" + layout);
        startThief(thiefKeys, { "--flicker-with", "zMUD" });
        client.receivedAtLeast(expected.size(), 10s);
        thief_.stop();
        // A line that kept losing the focus pauses the send part way; Start types the rest.
        for (int starts = 0; starts < 10 && client.received().size() < expected.size(); ++starts) {
            const std::string at = client.received();
            if (staysAt(client, at, 2s))
                desktop_.press(main_, { "alt+s" });
        }
        const std::string all = client.receivedAtLeast(expected.size(), 5s);
        EXPECT_TRUE(readFile(thiefKeys).empty()) << "keys reached the Thief window:\n"
                                                 << shown(readFile(thiefKeys));
        ASSERT_TRUE(sameBytes(all, expected));
        expectSendEnds();
    }
    EXPECT_NE(keymap(), keymapBefore) << "no spare keys are bound after the ru lines";
    kill(program_.pid(), SIGTERM);
    EXPECT_EQ(program_.wait(5s), 0) << "SIGTERM did not end the program as Exit does";
    EXPECT_EQ(keymap(), keymapBefore) << "the spare keys stayed bound after the program ended";
}

struct SpoolChoice
{
    const char *name;
    std::vector<std::string> menuKeys; // after Alt+N has opened the Note Type menu
    std::string customWord; // typed into the custom spool box when it opens
    std::string word; // what each line must start with
};

TEST_F(EndToEnd, SpoolChosenFromTheKeyboardStartsEveryLine)
{
    const SpoolChoice choices[] = {
        { "Oocn", { "o" }, "", "oocn" },
        { "QuestTypesQnote", { "q" }, "", "qnote" },
        // The custom item is second from the bottom; Up wraps round to the bottom.
        { "CustomWithNotationCharacters", { "Up", "Up", "Return" }, "o+(n){o}[t]^e%~",
            "o+(n){o}[t]^e%~" },
    };
    ClientTerminal &client = startClient();
    std::string expected;
    for (const SpoolChoice &choice : choices) {
        SCOPED_TRACE(choice.name);
        menu("n", choice.menuKeys);
        if (!choice.customWord.empty()) {
            const XWindow box = desktop_.waitForWindow(kCustomSpoolTitle);
            desktop_.type(box, choice.customWord);
            desktop_.press(box, { "Return" });
            desktop_.waitUntilGone(box);
        }
        ASSERT_TRUE(waitFor([&] { return !desktop_.popupShown(); }, 5s)) << "the menu stayed open";

        const std::vector<std::string> lines { std::string(choice.name) + " a", "b" };
        sendFile(lines[0] + "\n" + lines[1] + "\n");
        expected += notes(choice.word, lines);
        ASSERT_TRUE(sameBytes(client.receivedAtLeast(expected.size()), expected));
        expectSendEnds();
    }
    EXPECT_TRUE(sameBytes(client.received(), expected));
}

// Size of the window's client area and where that area sits on the screen, in pixels.
QRect clientArea(const XSession &session, XWindow window)
{
    Display *d = session.connection();
    XWindowAttributes attributes {};
    XGetWindowAttributes(d, window, &attributes);
    int x = 0, y = 0;
    ::Window child = 0;
    XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return QRect { x, y, attributes.width, attributes.height };
}

// Xvfb reports 96 dots per inch: 15 twips a pixel.
int pixels(int twips)
{
    return (twips * 96 + 720) / 1440;
}

TEST_F(EndToEnd, ViewerAndAboutBoxOpenFromTheKeyboardAtTheirSizes)
{
    std::string hundredLines;
    for (int i = 0; i < 100; ++i)
        hundredLines += std::string(40, static_cast<char>('a' + i % 26)) + "\n";
    const std::string path = dir_.file("view.txt");
    writeFile(path, hundredLines);

    // 100 lines of 40 with CR LF make 4200 characters: more than a note takes.
    const XWindow viewer = openViewer(path, true);
    const QRect viewerArea = clientArea(session_, viewer);
    EXPECT_EQ(viewerArea.width, pixels(6360));
    EXPECT_EQ(viewerArea.height, pixels(4785));
    desktop_.screenshot(artefact("TextViewer.png"));

    // Tab from the text to Close; Close hides the viewer. Right after the window manager hands
    // the viewer the focus, Qt may not have moved its own focus there yet and loses the first Tab.
    const auto hidden = [&] { return desktop_.windowsTitled("Text Viewer").empty(); };
    for (int attempt = 0; attempt < 3 && !hidden(); ++attempt) {
        desktop_.press(viewer, { "Tab", "space" });
        waitFor(hidden, 2s);
    }
    ASSERT_TRUE(hidden()) << "Close did not hide the viewer";

    const XWindow about = openAbout();
    const QRect aboutArea = clientArea(session_, about);
    EXPECT_EQ(aboutArea.width, pixels(5730));
    EXPECT_EQ(aboutArea.height, pixels(3555));
    EXPECT_EQ(aboutArea.x, pixels(2340));
    EXPECT_EQ(aboutArea.y, pixels(1935));
    desktop_.screenshot(artefact("AboutBox.png"));

    // Esc closes it as OK does, and the next About opens it again.
    desktop_.press(about, { "Escape" });
    desktop_.waitUntilGone(about);
    const XWindow again = openAbout({ about });
    desktop_.press(again, { "Return" });
    desktop_.waitUntilGone(again);
}

// A connected client retitles its window as lines arrive; the send stays with it. Once it is
// closed, the program warns, warns again while there is still none, and goes on in the client
// opened next, each line once.
TEST_F(EndToEnd, FollowsItsClientThroughNewTitlesAndWarnsUntilTheNextOneOpens)
{
    ClientTerminal &first = startClient({ .retitles = true });
    const std::vector<std::string> lines { "one", "two", "three", "four", "five" };
    const std::string expected = notes("note", lines);
    const std::string firstTwo = notes("note", { lines[0], lines[1] });
    sendFile("one\ntwo\nthree\nfour\nfive\n");
    ASSERT_TRUE(sameBytes(first.receivedAtLeast(firstTwo.size()), firstTwo))
        << "the send lost the client once it changed its title";
    EXPECT_TRUE(desktop_.windowsTitled("zMUD").empty()) << "the client did not retitle itself";

    first.close(desktop_);
    const XWindow warning = desktop_.waitForWindow(kMainTitle, { main_ });
    desktop_.press(warning, { "Return" });
    // A new box: Qt makes a new window for each one, so the OK has been taken.
    const XWindow again = desktop_.waitForWindow(kMainTitle, { main_, warning });
    EXPECT_EQ(messageBoxes(), std::vector<XWindow> { again }) << "one warning at a time";
    ClientTerminal &second = startClient({ .retitles = true });
    desktop_.press(again, { "Return" });
    const std::string rest = expected.substr(std::min(first.received().size(), expected.size()));
    EXPECT_TRUE(sameBytes(second.receivedAtLeast(rest.size()), rest));
    expectSendEnds();
    EXPECT_TRUE(sameBytes(first.received() + second.received(), expected));
    EXPECT_EQ(messageBoxes(), std::vector<XWindow> {}) << "a warning is open with the client there";
}

// An open menu holds the keyboard: a line typed then would go into the menu. The send waits for
// it to close, and the shortcut keys work with it open.
TEST_F(EndToEnd, AnOpenMenuHoldsTheSendAndItsShortcutsStillWork)
{
    ClientTerminal &client = startClient();
    const std::vector<std::string> lines { "one", "two", "three", "four" };
    const std::string expected = notes("note", lines);
    sendFile("one\ntwo\nthree\nfour\n");
    ASSERT_TRUE(sameBytes(
        client.receivedAtLeast(notes("note", { lines[0] }).size()), notes("note", { lines[0] })));

    desktop_.press(main_, { "alt+o" });
    ASSERT_TRUE(waitFor([&] { return desktop_.popupShown(); }, 5s)) << "no Options menu";
    const std::string atMenu = client.received();
    EXPECT_TRUE(staysAt(client, atMenu)) << "the send went on while a menu was open";
    EXPECT_TRUE(desktop_.popupShown()) << "a tick closed the open menu";

    desktop_.press({ "ctrl+o" });
    const XWindow dialog = desktop_.waitForWindow(kOpenDialogTitle);
    desktop_.press(dialog, { "Escape" });
    desktop_.waitUntilGone(dialog);
    EXPECT_TRUE(sameBytes(client.receivedAtLeast(expected.size()), expected));
    expectSendEnds();
    EXPECT_TRUE(sameBytes(client.received(), expected));

    menu("h", { "F7" });
    EXPECT_TRUE(program_.wait(5s)) << "F7 with a menu open did not end the program";
}

// Closing the main window used to hide it and leave the program typing with no window to stop
// it. Now it asks while a send is under way, holding the send, and quitting ends it all.
TEST_F(EndToEnd, ClosingTheWindowMidSendAsksAndQuittingEndsEverything)
{
    const std::string viewed = dir_.file("viewed.txt");
    writeFile(viewed, "a file in the viewer\n");
    openViewer(viewed);
    openAbout();
    ClientTerminal &client = startClient();
    std::string file;
    for (int i = 1; i <= 8; ++i)
        file += "line " + std::to_string(i) + "\n";
    sendFile(file);
    ASSERT_FALSE(client.receivedAtLeast(1).empty()) << "the send did not start";

    desktop_.close(main_);
    const XWindow box = desktop_.waitForWindow(kMainTitle, { main_ });
    desktop_.screenshot(artefact("QuitWhileSending.png"));
    const std::string atBox = client.received();
    EXPECT_TRUE(staysAt(client, atBox)) << "the send went on while the box asked";
    desktop_.press(box, { "alt+k" });
    desktop_.waitUntilGone(box);
    EXPECT_GT(client.receivedAtLeast(atBox.size() + 1).size(), atBox.size())
        << "Keep sending did not go on";

    desktop_.close(main_);
    desktop_.press(desktop_.waitForWindow(kMainTitle, { main_, box }), { "alt+s" });
    EXPECT_TRUE(program_.wait(5s)) << "the program did not end";
    const std::string atQuit = client.received();
    EXPECT_TRUE(staysAt(client, atQuit)) << "a line was typed after the player quit";
    EXPECT_TRUE(desktop_.windowsTitled("About Quillpost").empty());
    EXPECT_TRUE(desktop_.windowsTitled("Text Viewer").empty());
}

// Clients not titled "zMUD" are chosen by clicking them; the program's own windows are refused.
// The chosen window serves until it closes, and then the title rule finds the next client.
TEST_F(EndToEnd, AClientChosenByClickingServesUntilItClosesThenTheTitleRuleAgain)
{
    ClientTerminal &mudlet = startClient({ .title = "Mudlet - Hollowmere" });
    const auto choose = [&](XWindow window) {
        menu("o", { "c" });
        ASSERT_TRUE(waitFor([&] { return desktop_.pointerGrabbed(); }, 5s)) << "no picker";
        desktop_.click(window);
    };
    choose(main_);
    answerBox("Return");
    choose(mudlet.window());
    const std::string expected = notes("note", { "chosen", "by click" });
    sendFile("chosen\nby click\n");
    EXPECT_TRUE(sameBytes(mudlet.receivedAtLeast(expected.size()), expected));
    expectSendEnds();

    mudlet.close(desktop_);
    ClientTerminal &zmud = startClient();
    sendFile("by title\n");
    EXPECT_TRUE(sameBytes(zmud.receivedAtLeast(16), notes("note", { "by title" })));
    expectSendEnds();
    EXPECT_TRUE(sameBytes(mudlet.received(), expected));
}

} // namespace
} // namespace quillpost::test
