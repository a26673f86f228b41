#include "program_test.h"

#include <X11/XKBlib.h>

#include <cstring>
#include <string>
#include <vector>

// Stories of the Windows program alone, under Wine: it is started, seen and driven only through
// the X display, as a player at the screen would.
namespace quillpost::test {
namespace {

bool capsLockOn(Display *d)
{
    XkbStateRec state {};
    XkbGetState(d, XkbUseCoreKbd, &state);
    return state.locked_mods & LockMask;
}

// Every tick brings the client to the front, so keys for the program are pressed right after a
// line, at a 3 second interval. Whatever holds the send (no client yet, Pause, another window
// in front), nothing reaches anything else, and it goes on from there, each line once.
TEST_F(EndToEnd, WaitsForTheClientForPauseAndForAWindowInFrontThenGoesOn)
{
    menu("o", { "s", "3" }); // Set Timer Interval, 3 seconds
    std::vector<std::string> lines;
    std::string file;
    for (int i = 1; i <= 4; ++i) {
        lines.push_back("line " + std::to_string(i) + " (of 4) {+}");
        file += lines.back() + "\n";
    }
    const auto upTo = [&](int n) {
        return notes("note", std::vector<std::string>(lines.begin(), lines.begin() + n));
    };
    sendFile(file);
    const XWindow warning = waitForBox();
    RecordingClient &client = startClient();
    press(warning, { "Return" });
    ASSERT_EQ(client.receivedAtLeast(upTo(1).size()), upTo(1));

    press(main_, { "alt+p" });
    EXPECT_TRUE(client.staysAt(upTo(1), 4s)) << "the send went on after Pause";
    press(main_, { "alt+s" });
    ASSERT_EQ(client.receivedAtLeast(upTo(2).size()), upTo(2));

    RecordingClient &thief = startClient({ .title = "Thief", .steals = true });
    EXPECT_TRUE(client.staysAt(upTo(2), 5s))
        << "the send went on while another window was in front";
    closeClient(thief);
    EXPECT_EQ(thief.received(), "") << "keys reached the window in front";
    press(main_, { "alt+s" });
    client.receivedAtLeast(upTo(4).size());
    expectSendEnds(client, upTo(4));
}

// The About box's System Info button reads the tool's path from the 64-bit registry, which a
// fresh prefix has without that value.
TEST_F(EndToEnd, SystemInfoStartsTheRegisteredToolOrSaysItIsUnavailable)
{
    const char *key = "HKLM\\Software\\Microsoft\\Shared Tools\\MSINFO";
    menu("h", { "a" });
    const XWindow about = waitForWindow("About Quillpost");
    session_.run({ "wine", "reg", "delete", key, "/v", "PATH", "/f", "/reg:64" });
    press(about, { "alt+s" });
    answerBox("Return");

    ASSERT_EQ(session_.run({ "wine", "reg", "add", key, "/v", "PATH", "/d",
                  "C:\\windows\\notepad.exe", "/f", "/reg:64" }),
        0);
    press(about, { "alt+s" });
    waitForWindow("Untitled - Notepad");
}

// The Windows program typing into a window that reads keys itself, as PuTTY does: ToUnicode on
// each WM_KEYDOWN, WM_CHAR ignored. A character sent as a unicode event (VK_PACKET) gives such a
// window nothing, so every character must go as the keys of the layout. With Caps Lock on, a letter
// goes with the other Shift, as a person types it; a digit does not. (A window reading WM_CHAR gets
// letters in their own case under Wine whether or not that Shift goes with them.)
using KeysRead = EndToEndOnLayout;

TEST_P(KeysRead, EveryPrintableCharacterReachesAWindowThatReadsKeysItself)
{
    RecordingClient &client = startClient({ .readsKeys = true });
    const std::vector<std::string> lines = printableLines();
    sendFile(lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n");
    // A leading blank and "~", which a ROM server would change: the lock goes on before any line.
    const XWindow box = waitForBox();
    press(box, { "Caps_Lock" });
    ASSERT_TRUE(capsLockOn(session_.connection()));
    press(box, { "alt+a" });
    waitUntilGone(box);

    std::string expected = notes("note", lines);
    // Wine's ToUnicode gives no character for a key with Ctrl and Alt down, and composes no dead
    // key that did not come through X: the German AltGr characters and the dead ^ and ` reach
    // such a window only on Windows itself. Under Wine they go as unicode events, which a window
    // reading WM_CHAR gets (Layouts).
    if (std::string(GetParam()) == "de")
        std::erase_if(expected, [](char c) { return std::strchr("@[\\]{|}~^`", c) != nullptr; });
    EXPECT_EQ(client.receivedAtLeast(expected.size()), expected);
    expectSendEnds(client, expected);
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, KeysRead, ::testing::Values("us", "de"));

} // namespace
} // namespace quillpost::test
