#include "program_test.h"

#include <X11/XKBlib.h>

#include <cstring>
#include <string>
#include <vector>

// The Windows program typing into a window that reads keys itself, as PuTTY does: ToUnicode on
// each WM_KEYDOWN, WM_CHAR ignored. A character sent as a unicode event (VK_PACKET) gives such a
// window nothing, so every character must go as the keys of the layout.
namespace quillpost::test {
namespace {

class KeysRead : public EndToEnd, public ::testing::WithParamInterface<const char *>
{
protected:
    std::string layout() const override { return GetParam(); }
};

TEST_P(KeysRead, EveryPrintableCharacterReachesAWindowThatReadsKeysItself)
{
    RecordingClient &client = startClient({ .readsKeys = true });
    const std::vector<std::string> lines = printableLines();
    sendFile(lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n");
    answerBox("alt+a"); // a leading blank and "~", which a ROM server would change

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

// With Caps Lock on, a letter goes with the other Shift, as a person types it; a digit does not.
// Which recorder: false reads WM_CHAR, true reads keys itself.
class CapsLock : public EndToEnd, public ::testing::WithParamInterface<bool>
{
protected:
    bool capsLockOn() const
    {
        XkbStateRec state {};
        XkbGetState(session_.connection(), XkbUseCoreKbd, &state);
        return state.locked_mods & LockMask;
    }
};

TEST_P(CapsLock, LettersArriveInTheirOwnCase)
{
    RecordingClient &client = startClient({ .readsKeys = GetParam() });
    const std::vector<std::string> lines
        = { " the quick brown fox jumps over the lazy dog 1! THE QUICK BROWN FOX JUMPS OVER THE "
            "LAZY DOG" };
    sendFile(lines[0] + "\n");
    const XWindow box = waitForBox(); // for the leading blank: the lock goes on before any line
    press(box, { "Caps_Lock" });
    ASSERT_TRUE(capsLockOn());
    press(box, { "alt+a" });
    waitUntilGone(box);

    const std::string expected = notes("note", lines);
    EXPECT_EQ(client.receivedAtLeast(expected.size()), expected);
    expectSendEnds(client, expected);
    pressKeys({ "Caps_Lock" });
    EXPECT_FALSE(capsLockOn());
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, CapsLock, ::testing::Values(false, true));

} // namespace
} // namespace quillpost::test
