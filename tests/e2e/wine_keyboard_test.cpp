#include "program_test.h"

#include <string>
#include <vector>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

// The Linux program typing into a Windows client under Wine on keyboard maps without Latin
// letters in the locked group: Wine reads only keys of the map's groups, and reads a spare
// keycode as some other key.
namespace quillpost::test {
namespace {

struct WineMap
{
    const char *name;
    const char *layout;
    bool arrives; // the lines arrive exact, or nothing does
    std::string status; // the status box once the send is over
    friend void PrintTo(const WineMap &m, std::ostream *os) { *os << m.name; }
};

class WineMaps : public EndToEnd, public ::testing::WithParamInterface<WineMap>
{
protected:
    // The status box's text, selected by a triple click, once Wine answers for the selection.
    std::string status()
    {
        clickStatus(3);
        const std::string text = dir_.file("status");
        session_.run(
            { "sh", "-c", "until xclip -o -selection primary > \"$0\"; do sleep 0.1; done", text });
        return readFile(text);
    }
};

// With the Russian group locked, the Latin characters go out in the Latin group and arrive exact;
// a map with no Latin group at all is refused before the first key, and nothing arrives.
TEST_P(WineMaps, TypesEveryCharacterThroughAGroupThatHasItOrTypesNothing)
{
    RecordingClient &client = startClient();
    const std::vector<std::string> p = printableLines();
    const std::vector<std::string> lines { p[0].substr(1), p[1], p[2] };
    const std::string expected = GetParam().arrives ? notes("note", lines) : "";

    sendFile(lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n");
    // The file's name is typed on the test's own map: xdotool loses letters on a map without
    // them. The first line goes out only once the box about "~" is answered.
    const XWindow box = waitForBox();
    const Connection focus = session_.connect();
    XSelectInput(focus.get(), client.window, FocusChangeMask);
    XSync(focus.get(), False);
    ASSERT_EQ(session_.run({ "setxkbmap", GetParam().layout }), 0);
    Display *d = session_.connection();
    XkbLockGroup(d, XkbUseCoreKbd, 0);
    XSync(d, False);
    press(box, { "Return" }); // send it as it is
    waitUntilGone(box);

    // The program keeps the client in front from the first line to the end of the send.
    const bool ended = waitFor(
        [&] {
            XEvent event {};
            while (XCheckTypedWindowEvent(focus.get(), client.window, FocusOut, &event)) {
                if (event.xfocus.mode == NotifyNormal && event.xfocus.detail != NotifyInferior)
                    return true;
            }
            return false;
        },
        30s);
    EXPECT_TRUE(ended) << "the client never had the keyboard, or kept it";
    EXPECT_EQ(client.received(), expected);
    expectSendEnds(client, expected);
    EXPECT_EQ(status(), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, WineMaps,
    ::testing::Values(WineMap { "RussianAndLatin", "ru,us", true, "End of file!!!" },
        WineMap { "RussianAlone", "ru", false,
            "Error: The client runs under Wine, which reads only the keys of the keyboard map, and "
            "no layout of this map has these characters: n o t e # $ & ' < >. Add a layout that "
            "has them (a Latin one, for example: setxkbmap ru,us) and send again. Line 1 was not "
            "typed." }),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace quillpost::test
