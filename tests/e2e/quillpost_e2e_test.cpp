#include "program_test.h"

#include <csignal>
#include <string>
#include <vector>

// Stories of the Linux program alone: an X11 focus thief, layouts without Latin letters, xterm
// clients that retitle themselves, and the Qt windows' own ways.
namespace quillpost::test {
namespace {

using Linux = EndToEnd;

// Another window takes the focus mid-file. On us it keeps it: the next line waits for Start. On
// ru the focus flickers between client and thief every millisecond or so, and the Latin letters
// go through spare keys bound in batches, a focus check before each: a line can stop part way,
// and must go on from there, never again from its start. The spare keys stay bound between lines;
// a kill ends the program as Exit does, even while the window picker holds the pointer outside
// the event loop, and leaves the keyboard map as it found it.
TEST_F(Linux, NoKeyReachesAnotherWindowThatTakesTheFocusAtAnyMoment)
{
    RecordingClient &client = startClient();
    const auto keymap = [&] { return session_.keymap(dir_.file("keymap")); };
    std::string keymapBefore;
    std::string expected;
    for (const std::string layout : { "us", "ru" }) {
        SCOPED_TRACE(layout);
        std::vector<std::string> lines;
        std::string file;
        for (char c = 'a'; c < 'f'; ++c) {
            // "~" and a leading blank would bring a warning.
            lines.push_back(layout + " " + c + ":" + printableAscii().substr(1, 93));
            file += lines.back() + "\n";
        }
        const std::string firstLine = expected + notes("note", { lines[0] });
        expected += notes("note", lines);
        ASSERT_EQ(session_.run({ "setxkbmap", "us" }), 0); // xdotool types the path wrong on ru
        sendFile(file);
        ASSERT_EQ(client.receivedAtLeast(firstLine.size()), firstLine);
        ASSERT_EQ(session_.run({ "setxkbmap", layout }), 0);
        keymapBefore = keymap();

        // The thief records the keys it gets.
        const std::string thiefKeys = dir_.file("thief-keys-" + layout);
        std::vector<std::string> thiefArgs { QUILLPOST_FOCUS_THIEF, thiefKeys };
        if (layout == "ru")
            thiefArgs.insert(thiefArgs.end(), { "--flicker-with", "zMUD" });
        Child thief = session_.spawn(thiefArgs);
        const XWindow thiefWindow = waitForWindow("Thief");
        if (layout == "us") {
            ASSERT_TRUE(waitFor([&] { return hasFocus(thiefWindow); }))
                << "the Thief window did not take the focus";
            // A line typed just before the theft may still be on its way through the terminal:
            // each line goes out whole, so the client has all of it once it ends in Enter.
            std::string atTheft;
            waitFor([&] {
                atTheft = client.received();
                return (atTheft.empty() || atTheft.back() == '\r')
                    && client.staysAt(atTheft, 300ms);
            });
            EXPECT_TRUE(client.staysAt(atTheft))
                << "the send went on while another window held the focus";
            EXPECT_LT(atTheft.size(), expected.size()) << "the file ended before the theft";
        } else {
            client.receivedAtLeast(expected.size(), 10s);
        }
        thief.stop();
        // A line that lost the focus pauses the send, maybe part way; Start types the rest.
        for (int starts = 0; starts < 10 && client.received().size() < expected.size();) {
            if (client.staysAt(client.received(), 2s)) {
                press(main_, { "alt+s" });
                ++starts;
            }
        }
        client.receivedAtLeast(expected.size());
        EXPECT_EQ(readFile(thiefKeys), "") << "keys reached the Thief window";
        expectSendEnds(client, expected);
        ASSERT_FALSE(HasFailure());
    }
    EXPECT_NE(keymap(), keymapBefore) << "no spare keys are bound after the ru lines";
    menu("o", { "c" });
    ASSERT_TRUE(waitFor([&] { return pointerGrabbed(); })) << "no picker";
    kill(program_.pid(), SIGTERM);
    EXPECT_EQ(program_.wait(kPatience / 2), 0) << "SIGTERM did not end the program as Exit does";
    EXPECT_EQ(keymap(), keymapBefore) << "the spare keys stayed bound after the program ended";
}

// A connected client retitles its window as lines arrive; the send stays with it. Once it is
// closed, the program warns, warns again while there is still none, and goes on in the client
// opened next, each line once. Closed while the send is paused, its X id goes to the window of the
// next program that connects: Start must not type into that. A kill or a logout while the warning
// waits ends the program as Exit does: the box closes unanswered, and is not shown again.
TEST_F(Linux, FollowsItsClientThroughNewTitlesAndWarnsUntilTheNextOneOpens)
{
    RecordingClient &first = startClient({ .retitles = true });
    const std::vector<std::string> lines { "one", "two", "three", "four", "five" };
    const std::string expected = notes("note", lines);
    const std::string firstTwo = notes("note", { lines[0], lines[1] });
    sendFile("one\ntwo\nthree\nfour\nfive\n");
    ASSERT_EQ(first.receivedAtLeast(firstTwo.size()), firstTwo)
        << "the send lost the client once it changed its title";
    EXPECT_TRUE(windowsTitled("zMUD").empty()) << "the client did not retitle itself";

    press(main_, { "alt+p" });
    closeClient(first);
    RecordingClient &stranger = startClient({ .title = "Notes" });
    EXPECT_EQ(stranger.window, first.window) << "X gave the next window a new id: nothing to prove";
    press(main_, { "alt+s" });
    ASSERT_TRUE(stranger.staysAt("")) << "a line went into another program's window";
    const XWindow warning = waitForBox();
    press(warning, { "Return" });
    // A new box: Qt makes a new window for each one, so the OK has been taken.
    const XWindow again = waitForBox({ warning });
    EXPECT_EQ(messageBoxes(), std::vector<XWindow> { again }) << "one warning at a time";
    RecordingClient &second = startClient({ .retitles = true });
    press(again, { "Return" });
    const std::string rest = expected.substr(std::min(first.received().size(), expected.size()));
    second.receivedAtLeast(rest.size());
    expectSendEnds(second, rest);
    EXPECT_EQ(messageBoxes(), std::vector<XWindow> {}) << "a warning is open with the client there";
    EXPECT_EQ(stranger.received(), "") << "a line went into another program's window";

    closeClient(second);
    sendFile("one\n");
    waitForBox();
    kill(program_.pid(), SIGTERM);
    EXPECT_EQ(program_.wait(kPatience), 0) << "SIGTERM did not end the program";
}

// A line typed while a menu holds the keyboard would go into the menu, and a hidden main window
// would leave nothing to stop the send: both hold it. The shortcut keys work with the menu open,
// the close asks first, and quitting there ends everything.
TEST_F(Linux, AnOpenMenuOrClosingTheWindowHoldsTheSendAndQuittingEndsEverything)
{
    menu("f", { "Down", "Return" }); // Open file to View
    choose(
        waitForWindow("Open File to View (In internal editor)"), newFile("a file in the viewer\n"));
    // Each comes to the front a moment after it opens: a key pressed before goes to it.
    waitForFront("Text Viewer");
    menu("h", { "a" });
    waitForFront("About Quillpost");
    RecordingClient &client = startClient();
    std::string file;
    for (int i = 1; i <= 30; ++i)
        file += "line " + std::to_string(i) + "\n";
    sendFile(file);
    ASSERT_FALSE(client.receivedAtLeast(1).empty()) << "the send did not start";
    // How much had arrived when the send was held by `what`, which nothing may add to.
    const auto heldBy = [&](const char *what) {
        const std::string at = client.received();
        EXPECT_TRUE(client.staysAt(at)) << "the send went on while " << what;
        return at.size();
    };

    menu("o", {});
    const std::size_t atMenu = heldBy("a menu was open");
    EXPECT_TRUE(popupShown()) << "a tick closed the open menu";
    pressKeys({ "ctrl+o" });
    const XWindow open = waitForWindow(kOpenDialogTitle);
    press(open, { "Escape" });
    waitUntilGone(open);
    EXPECT_GT(client.receivedAtLeast(atMenu + 1).size(), atMenu) << "the menu kept the send";

    close(main_);
    const XWindow box = waitForBox();
    const std::size_t atBox = heldBy("the box asked");
    press(box, { "alt+k" });
    waitUntilGone(box);
    EXPECT_GT(client.receivedAtLeast(atBox + 1).size(), atBox) << "Keep sending did not go on";

    close(main_);
    press(waitForBox({ box }), { "alt+s" });
    EXPECT_TRUE(program_.wait(kPatience)) << "the program did not end";
    heldBy("the player had quit");
    EXPECT_TRUE(windowsTitled("About Quillpost").empty());
    EXPECT_TRUE(windowsTitled("Text Viewer").empty());
}

} // namespace
} // namespace quillpost::test
