#include "program_test.h"

#include <string>
#include <vector>

// Stories that the Linux program and the Windows program under Wine must both tell the same way;
// the Linux program tells those with a client again with a Windows client under Wine.
namespace quillpost::test {
namespace {

using Layouts = EndToEndOnLayout;

// The German layout moves the brackets, braces, @ and Y/Z, and makes ^ and ` dead keys.
TEST_P(Layouts, TypesEveryPrintableCharacterOnEveryKindOfLineBreak)
{
    RecordingClient &client = startClient();
    const std::vector<std::string> p = printableLines();
    // Line 1 starts with a space; the last line is notation characters in the pairs and nestings
    // that a wrong escape would turn into key names or groups, with a trailing space.
    const std::vector<std::string> lines { p[0], p[1], "", p[2], "x", "{+}{{^}} (%~) [[]] +^%~ " };
    const std::string file = lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\n" + lines[3]
        + "\r" + lines[4] + "\r\n" + lines[5] + "\r\n";
    const std::string expected = notes("note", lines);

    sendFile(file);
    // A leading blank and "~", which a ROM server would change: the program asks first.
    answerBox("alt+a");

    EXPECT_EQ(client.receivedAtLeast(expected.size()), expected);
    expectSendEnds(client, expected);
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, Layouts, ::testing::Values("us", "de"));

#ifndef QUILLPOST_WINE_CLIENT
TEST_F(EndToEnd, MainWindowViewerAndAboutBoxOpenFromTheKeyboardAtTheirSizes)
{
    EXPECT_EQ(clientArea(main_).width, pixels(4530));

    // 100 lines of 40 with CR LF make 4200 characters: more than a note takes, so a note comes
    // first.
    std::string hundredLines;
    for (int i = 0; i < 100; ++i)
        hundredLines += std::string(40, static_cast<char>('a' + i % 26)) + "\r\n";
    menu("f", { "Down", "Return" }); // the item after the first: Open file to View
    choose(waitForWindow("Open File to View (In internal editor)"), newFile(hundredLines));
    answerBox("Return");
    const XWindow viewer = waitForWindow("Text Viewer");
    const ScreenRect viewerArea = clientArea(viewer);
    EXPECT_EQ(viewerArea.width, pixels(6360));
    EXPECT_EQ(viewerArea.height, pixels(4785));

    // Tab from the text to Close; Close hides the viewer. The viewer opens with the focus on
    // Close rather than in the text, so the first Tab goes to the text and a second try is
    // needed; a try whose short wait ran out while the viewer was still hiding only moves the
    // focus inside it, and the last try waits in full.
    const auto hidden = [&] { return windowsTitled("Text Viewer").empty(); };
    for (int attempt = 0; attempt < 3 && !hidden(); ++attempt) {
        press(viewer, { "Tab", "space" });
        waitFor(hidden, attempt < 2 ? 2s : kPatience);
    }
    ASSERT_TRUE(hidden()) << "Close did not hide the viewer";

    for (const char *closeKey : { "Escape", "Return" }) { // Esc closes it as OK does
        menu("h", { "a" });
        const XWindow about = waitForWindow("About Quillpost");
        const ScreenRect aboutArea = clientArea(about);
        EXPECT_EQ(aboutArea.width, pixels(5730));
        EXPECT_EQ(aboutArea.height, pixels(3555));
        EXPECT_EQ(aboutArea.x, pixels(2340));
        EXPECT_EQ(aboutArea.y, pixels(1935));
        press(about, { closeKey });
        waitUntilGone(about);
    }

    // Ctrl+O from inside an open menu: the menu closes and the file dialog opens.
    menu("n", { "ctrl+o" });
    const XWindow fromMenu = waitForWindow(kOpenDialogTitle);
    press(fromMenu, { "Escape" });
    waitUntilGone(fromMenu);
}
#endif

// Clients not titled "zMUD" are chosen by clicking them; the program's own windows are refused.
// The chosen window serves until it closes, and then the title rule finds the next client.
// Mudlet is known by its window's title: before the first line a box names the lines it would
// split at its separator, and its default, sending them as they are, types them all the same.
// Where a part of a line would run as the client's own command (TinTin++ here), Enter cancels.
TEST_F(EndToEnd, AClientChosenByClickingServesUntilItClosesThenTheTitleRuleAgain)
{
    RecordingClient &mudlet = startClient({ .title = "Hollowmere - Mudlet 4.18.5" });
    menu("o", { "c" });
    pick(main_);
    answerBox("Return");
    menu("o", { "c" });
    pick(mudlet.window);
    const std::string expected = notes("note", { "chosen;;by click", "bye" });
    sendFile("chosen;;by click\nbye\n");
    answerBox("Return");
    EXPECT_EQ(mudlet.receivedAtLeast(expected.size()), expected);
    expectSendEnds(mudlet, expected);

    closeClient(mudlet);
    RecordingClient &zmud = startClient({ .title = "zMUD TinTin++" });
    sendFile("smile; #end\n");
    answerBox("Return");
    EXPECT_TRUE(zmud.staysAt("")) << "Enter sent the file";
    const std::string byTitle = notes("note", { "by title" });
    sendFile("by title\n");
    EXPECT_EQ(zmud.receivedAtLeast(byTitle.size()), byTitle);
    expectSendEnds(zmud, byTitle);
    EXPECT_EQ(mudlet.received(), expected);
}

} // namespace
} // namespace quillpost::test
