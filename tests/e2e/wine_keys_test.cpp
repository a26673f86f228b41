#include "end_to_end.h"

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

} // namespace
} // namespace quillpost::test
