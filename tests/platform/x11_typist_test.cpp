#include "platform/qt_x11/x11_typist.h"
#include "support/printable.h"
#include "support/x_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace quillpost::x11 {
namespace {

using namespace std::chrono_literals;
using test::readFile;
using test::waitFor;

const std::string kPrintable = test::printableAscii();

XkbStateRec stateOf(Display *d)
{
    XkbStateRec state {};
    XkbGetState(d, XkbUseCoreKbd, &state);
    return state;
}

// Its own X server with the given layout, and an xterm holding the focus whose shell stores every
// byte it receives, untranslated (raw mode, no echo).
struct Screen
{
    explicit Screen(std::vector<std::string> layout = { "us" })
    {
        // A key the user holds must not repeat while the test machine is slow.
        XAutoRepeatOff(session.connection());
        layout.insert(layout.begin(), "setxkbmap");
        if (session.run(layout) != 0)
            throw std::runtime_error("setxkbmap failed");
        terminal = session.spawn({ "xterm", "-fa", "DejaVu Sans Mono", "-fs", "10", "-title",
            "Hollowmere", "-xrm", "XTerm*metaSendsEscape: true", "-e", "sh", "-c",
            "stty raw -echo && exec cat > \"$0\"", file });
        // The shell creates the file only after stty has made the terminal raw.
        if (!waitFor([&] { return std::filesystem::exists(file); })
            || session.run({ "xdotool", "search", "--sync", "--name", "Hollowmere", "windowfocus",
                   "--sync" })
                != 0)
            throw std::runtime_error("xterm did not start or did not get the focus");
    }

    // What arrived, once at least `size` bytes have (or the wait gave up).
    std::string received(std::size_t size) const
    {
        waitFor([&] { return std::filesystem::file_size(file) >= size; });
        return readFile(file);
    }

    // What a line must leave as it found it: the locks, and the whole map as xkbcomp writes it.
    std::string keyboard() const
    {
        const XkbStateRec state = stateOf(session.connection());
        return "locked mods " + std::to_string(state.locked_mods) + ", group "
            + std::to_string(state.locked_group) + "\n" + session.keymap(dir.file("keymap.xkb"));
    }

    test::XSession session;
    test::TempDir dir;
    std::string file = dir.file("received");
    test::Child terminal;
    // Spare keys stay bound until the typist goes: the user's map is whole again only then.
    std::optional<Typist> typist { std::in_place, session.connection() };
};

struct LayoutCase
{
    const char *name;
    std::vector<std::string> layout;
    std::vector<std::string> before; // what the user does before the line, if anything
    std::string arrivesBefore = {}; // what that makes the terminal receive
    unsigned lockedGroup = 0;
    friend void PrintTo(const LayoutCase &c, std::ostream *os) { *os << c.name; }
};

using TypistLayouts = ::testing::TestWithParam<LayoutCase>;

TEST_P(TypistLayouts, TypesEveryCharacterAndEnterAndLeavesTheKeyboardAsItWas)
{
    // In a locked group that lacks them, the line ends in another group.
    const std::string line = kPrintable + '\r';
    const LayoutCase &c = GetParam();
    Screen screen(c.layout);
    Display *d = screen.session.connection();
    XkbLockGroup(d, XkbUseCoreKbd, c.lockedGroup);
    XSync(d, False);
    ASSERT_TRUE(c.before.empty() || screen.session.run(c.before) == 0);
    const std::string before = screen.keyboard();

    // Twice: the second line types through the spare keys the first one bound.
    for (int round = 0; round < 2; ++round) {
        const Outcome typed = screen.typist->type(strokesOf(line));
        ASSERT_TRUE(typed.ok()) << typed.error().message;
    }

    const std::string expected = c.arrivesBefore + line + line;
    EXPECT_EQ(screen.received(expected.size()), expected);
    screen.typist.reset();
    EXPECT_EQ(screen.keyboard(), before);
    char keysDown[32] = {};
    XQueryKeymap(d, keysDown);
    EXPECT_EQ(std::string(keysDown, sizeof keysDown), std::string(32, '\0')) << "a key left down";
}

INSTANTIATE_TEST_SUITE_P(Typist, TypistLayouts,
    ::testing::Values(LayoutCase { "FrenchDigitsOnShift", { "fr" }, {} },
        LayoutCase { "LockedGroupWithoutLatinLetters", { "-layout", "us,ru" }, {}, "", 1 },
        // ^ and ` are dead keys there; { [ ] } \ @ ~ | need AltGr.
        LayoutCase { "CapsLockOnGerman", { "de" }, { "xdotool", "key", "Caps_Lock" } },
        LayoutCase { "ShiftHeld", { "us" }, { "xdotool", "keydown", "Shift_L" } },
        LayoutCase { "AltGrHeldGerman", { "de" }, { "xdotool", "keydown", "ISO_Level3_Shift" } },
        // Held by another XTest client: our press of it would be dropped.
        LayoutCase { "LetterHeld", { "us" }, { "xdotool", "keydown", "a" }, "a" }),
    [](const auto &info) { return std::string(info.param.name); });

// Binds every free keycode and takes `~` off its key, so that nothing can produce it.
void leaveNoKeyForTilde(Display *d)
{
    int minKc = 0, maxKc = 0, perKeycode = 0;
    XDisplayKeycodes(d, &minKc, &maxKc);
    KeySym *map = XGetKeyboardMapping(d, minKc, maxKc - minKc + 1, &perKeycode);
    for (KeySym *syms = map; syms < map + (maxKc - minKc + 1) * perKeycode; syms += perKeycode) {
        const bool free
            = std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; });
        for (int i = 0; i < perKeycode; ++i)
            syms[i] = free ? XK_F35 : syms[i] == XK_asciitilde ? XK_grave : syms[i];
    }
    XChangeKeyboardMapping(d, minKc, perKeycode, map, maxKc - minKc + 1);
    XFree(map);
    XSync(d, False);
}

TEST(Typist, LineThatCannotGoOutStopsBeforeAnyKeyAndTheNextGoesOutBeforeOthersMoveTheFocus)
{
    enum Obstacle { kNoKeyForTilde, kKeyboardGrabbed };
    const std::tuple<std::string, Obstacle, ErrorKind, std::size_t, const char *> cases[] = {
        // line, what stands in the way, the error, where it stops, what it names
        { "a~b", kNoKeyForTilde, ErrorKind::Unmappable, 1, "\"~\"" },
        // A popup menu of another program holds the keyboard.
        { kPrintable, kKeyboardGrabbed, ErrorKind::FocusLost, 0, "" },
    };
    for (const auto &[text, obstacle, kind, position, named] : cases) {
        SCOPED_TRACE(text);
        Screen screen;
        test::Connection menu = screen.session.connect();
        if (obstacle == kNoKeyForTilde)
            leaveNoKeyForTilde(screen.session.connection());
        if (obstacle == kKeyboardGrabbed) {
            ASSERT_EQ(XGrabKeyboard(menu.get(), DefaultRootWindow(menu.get()), False, GrabModeAsync,
                          GrabModeAsync, CurrentTime),
                GrabSuccess);
            XSync(menu.get(), False);
        }
        const std::string before = screen.keyboard();

        const Outcome typed = screen.typist->type(strokesOf(text));

        ASSERT_FALSE(typed.ok());
        EXPECT_EQ(typed.error().kind, kind) << typed.error().message;
        EXPECT_EQ(typed.error().position, position);
        EXPECT_NE(typed.error().message.find(named), std::string::npos) << typed.error().message;
        XUngrabKeyboard(menu.get(), CurrentTime);
        XSync(menu.get(), False);
        // Nothing went out: the marker is the first thing to arrive. Another program moves the
        // focus away as soon as its check has passed: until the keys are sent, waiting for that
        // move has to run out.
        bool movedBeforeTheKeys = true;
        const Outcome marker = screen.typist->type(strokesOf("|"), [&]() -> Outcome {
            XSetInputFocus(menu.get(), PointerRoot, RevertToPointerRoot, CurrentTime);
            XFlush(menu.get());
            Window focus = 0;
            int revert = 0;
            movedBeforeTheKeys = waitFor(
                [&] {
                    XGetInputFocus(screen.session.connection(), &focus, &revert);
                    return focus == PointerRoot;
                },
                200ms);
            return Ok {};
        });
        ASSERT_TRUE(marker.ok()) << marker.error().message;
        EXPECT_FALSE(movedBeforeTheKeys);
        EXPECT_EQ(screen.received(1), "|");
        screen.typist.reset();
        EXPECT_EQ(screen.keyboard(), before);
    }
}

} // namespace
} // namespace quillpost::x11
