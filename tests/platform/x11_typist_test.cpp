#include "platform/qt_x11/x11_typist.h"
#include "platform/qt_x11/x11_windows.h"
#include "support/x_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace quillpost::x11 {
namespace {

using namespace std::chrono_literals;
using test::TempDir;
using test::waitFor;
using test::XSession;

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<KeyStroke> charactersOf(std::string_view text)
{
    std::vector<KeyStroke> strokes;
    for (char c : text)
        strokes.push_back(KeyStroke::chr(c));
    return strokes;
}

std::string everyPrintableCharacter()
{
    std::string text;
    for (char c = 32; c < 127; ++c)
        text += c;
    return text;
}

// An xterm whose shell stores every byte it receives, untranslated (raw mode, no echo).
class Terminal
{
public:
    Terminal(const XSession &session, const TempDir &dir) : file_(dir.file("received"))
    {
        process_ = session.spawn({ "xterm", "-fa", "DejaVu Sans Mono", "-fs", "10", "-title",
            "Hollowmere", "-xrm", "XTerm*metaSendsEscape: true", "-e", "sh", "-c",
            "stty raw -echo && exec cat > \"$0\"", file_ });
        // The shell creates the file only after stty has made the terminal raw.
        if (!waitFor([&] { return std::filesystem::exists(file_); }))
            throw std::runtime_error("xterm did not start");
        Windows windows(session.connection(), [](std::uint64_t) { return false; });
        Result<WindowId> found = Error { ErrorKind::NoWindow, "" };
        waitFor([&] { return (found = windows.find("Hollowmere")).ok(); });
        if (!found || !windows.activate(found.value()) || !windows.waitForFocus(found.value(), 5s))
            throw std::runtime_error("xterm did not get the focus");
    }

    // What arrived, once at least `size` bytes have (or the wait gave up).
    std::string received(std::size_t size) const
    {
        waitFor([&] { return std::filesystem::file_size(file_) >= size; });
        return readFile(file_);
    }

private:
    std::string file_;
    test::Child process_;
};

// What a line must leave as it found it: the whole map as xkbcomp writes it, and the locks.
struct KeyboardState
{
    std::string keymap;
    unsigned lockedMods = 0;
    unsigned lockedGroup = 0;
    bool operator==(const KeyboardState &) const = default;
};

void PrintTo(const KeyboardState &s, std::ostream *os)
{
    *os << "locked mods " << s.lockedMods << ", group " << s.lockedGroup << ", keymap of "
        << s.keymap.size() << " bytes";
}

KeyboardState keyboardState(const XSession &session, const TempDir &dir)
{
    const std::string file = dir.file("keymap.xkb");
    std::filesystem::remove(file);
    if (session.run({ "xkbcomp", "-xkb", session.display(), file }) != 0)
        throw std::runtime_error("xkbcomp could not dump the keymap");
    XkbStateRec state {};
    XkbGetState(session.connection(), XkbUseCoreKbd, &state);
    return { readFile(file), state.locked_mods, state.locked_group };
}

std::vector<int> keysDown(Display *d)
{
    XSync(d, False);
    char keys[32] = {};
    XQueryKeymap(d, keys);
    std::vector<int> down;
    for (int kc = 0; kc < 256; ++kc) {
        if (keys[kc / 8] & (1 << (kc % 8)))
            down.push_back(kc);
    }
    return down;
}

struct LayoutCase
{
    const char *name;
    std::vector<std::string> setxkbmap;
    std::vector<std::string> xdotoolBefore; // what the user does before the line is typed
    int lockedGroup = 0;
    std::string arrivesBefore = {}; // what that makes the terminal receive
};

void PrintTo(const LayoutCase &c, std::ostream *os)
{
    *os << c.name;
}

class TypistLayouts : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P(TypistLayouts, TypesEveryPrintableCharacterAndLeavesTheKeyboardAsItWas)
{
    const LayoutCase &c = GetParam();
    XSession session;
    TempDir dir;
    std::vector<std::string> setxkbmap { "setxkbmap" };
    setxkbmap.insert(setxkbmap.end(), c.setxkbmap.begin(), c.setxkbmap.end());
    ASSERT_EQ(session.run(setxkbmap), 0);
    Terminal terminal(session, dir);
    if (c.lockedGroup != 0) {
        XkbLockGroup(session.connection(), XkbUseCoreKbd, c.lockedGroup);
        XSync(session.connection(), False);
    }
    if (!c.xdotoolBefore.empty()) {
        std::vector<std::string> xdotool { "xdotool" };
        xdotool.insert(xdotool.end(), c.xdotoolBefore.begin(), c.xdotoolBefore.end());
        ASSERT_EQ(session.run(xdotool), 0);
    }
    const KeyboardState before = keyboardState(session, dir);

    std::vector<KeyStroke> line = charactersOf(everyPrintableCharacter());
    line.push_back(KeyStroke::key(NamedKey::Enter));
    Typist typist(session.connection());
    const Outcome typed = typist.type(line);

    ASSERT_TRUE(typed.ok()) << typed.error().message;
    const std::string expected = c.arrivesBefore + everyPrintableCharacter() + "\r";
    EXPECT_EQ(terminal.received(expected.size()), expected);
    EXPECT_EQ(keyboardState(session, dir), before);
    EXPECT_EQ(keysDown(session.connection()), std::vector<int> {});
}

INSTANTIATE_TEST_SUITE_P(Typist, TypistLayouts,
    ::testing::Values(LayoutCase { "Us", { "us" }, {} },
        // ^ and ` are dead keys there; { [ ] } \ @ ~ | need AltGr.
        LayoutCase { "GermanDeadKeysAndAltGr", { "de" }, {} },
        LayoutCase { "FrenchDigitsOnShift", { "fr" }, {} },
        // No Latin letters at all: more spare keys than the pool holds.
        LayoutCase { "RussianWithoutLatinLetters", { "ru" }, {} },
        LayoutCase { "LockedGroupWithoutLatinLetters", { "-layout", "us,ru" }, {}, 1 },
        LayoutCase { "CapsLockOn", { "us" }, { "key", "Caps_Lock" } },
        LayoutCase { "CapsLockOnGerman", { "de" }, { "key", "Caps_Lock" } },
        LayoutCase { "ShiftHeld", { "us" }, { "keydown", "Shift_L" } },
        LayoutCase { "CtrlHeld", { "us" }, { "keydown", "Control_L" } },
        LayoutCase { "AltGrHeldGerman", { "de" }, { "keydown", "ISO_Level3_Shift" } },
        // Held by another XTest client: our press of it would be dropped.
        LayoutCase { "EnterHeld", { "us" }, { "keydown", "Return" }, 0, "\r" },
        LayoutCase { "LetterHeld", { "us" }, { "keydown", "a" }, 0, "a" }),
    [](const auto &info) { return std::string(info.param.name); });

struct KeysCase
{
    const char *name;
    std::vector<KeyStroke> strokes;
    std::string bytes; // what xterm sends for them
};

TEST(Typist, SendsNamedKeysAndModifiersAsTheTerminalExpectsThem)
{
    using K = NamedKey;
    const KeysCase cases[] = {
        { "Enter", { KeyStroke::key(K::Enter) }, "\r" },
        { "Tab", { KeyStroke::key(K::Tab) }, "\t" },
        { "Escape", { KeyStroke::key(K::Escape) }, "\x1b" },
        { "Backspace", { KeyStroke::key(K::Backspace) }, "\x7f" },
        { "CtrlLetters", { KeyStroke::chr('a', kCtrl), KeyStroke::chr('z', kCtrl) }, "\x01\x1a" },
        { "AltLetter", { KeyStroke::chr('x', kAlt) }, "\x1bx" },
        { "ShiftTab", { KeyStroke::key(K::Tab, kShift) }, "\x1b[Z" },
        { "Arrows", { KeyStroke::key(K::Up), KeyStroke::key(K::Left) }, "\x1b[A\x1b[D" },
        { "CtrlArrow", { KeyStroke::key(K::Right, kCtrl) }, "\x1b[1;5C" },
        { "EditingKeys",
            { KeyStroke::key(K::Home), KeyStroke::key(K::End), KeyStroke::key(K::Insert),
                KeyStroke::key(K::Delete), KeyStroke::key(K::PageUp), KeyStroke::key(K::PageDown) },
            "\x1b[H\x1b[F\x1b[2~\x1b[3~\x1b[5~\x1b[6~" },
        { "FunctionKeys", { KeyStroke::key(K::F1), KeyStroke::key(K::F5), KeyStroke::key(K::F12) },
            "\x1bOP\x1b[15~\x1b[24~" },
        // F13 has no key on the US map: it goes through a spare keycode.
        { "FunctionKeyMissingFromTheMap", { KeyStroke::key(K::F13) }, "\x1b[25~" },
        { "Keypad",
            { KeyStroke::key(K::Add), KeyStroke::key(K::Subtract), KeyStroke::key(K::Multiply),
                KeyStroke::key(K::Divide) },
            "+-*/" },
    };

    XSession session;
    TempDir dir;
    Terminal terminal(session, dir);
    const KeyboardState before = keyboardState(session, dir);
    Typist typist(session.connection());
    std::string expected;
    for (const KeysCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome typed = typist.type(c.strokes);
        ASSERT_TRUE(typed.ok()) << typed.error().message;
        expected += c.bytes;
        ASSERT_EQ(terminal.received(expected.size()), expected);
    }
    EXPECT_EQ(keyboardState(session, dir), before);
    EXPECT_EQ(keysDown(session.connection()), std::vector<int> {});
}

TEST(Typist, LockKeyInALineTogglesTheLockForTheUserButNotTheRestOfTheLine)
{
    struct Step
    {
        std::vector<KeyStroke> strokes;
        std::string bytes;
        bool capsLockAfter;
    };
    const Step steps[] = {
        { { KeyStroke::key(NamedKey::CapsLock), KeyStroke::chr('a'), KeyStroke::chr('B') }, "aB",
            true },
        { { KeyStroke::chr('c') }, "c", true },
        { { KeyStroke::chr('d'), KeyStroke::key(NamedKey::CapsLock), KeyStroke::chr('e') }, "de",
            false },
    };
    XSession session;
    TempDir dir;
    Terminal terminal(session, dir);
    Typist typist(session.connection());
    std::string expected;
    for (const Step &step : steps) {
        const Outcome typed = typist.type(step.strokes);
        ASSERT_TRUE(typed.ok()) << typed.error().message;
        expected += step.bytes;
        EXPECT_EQ(terminal.received(expected.size()), expected);
        XkbStateRec state {};
        XkbGetState(session.connection(), XkbUseCoreKbd, &state);
        EXPECT_EQ((state.locked_mods & LockMask) != 0, step.capsLockAfter) << step.bytes;
    }
}

// Binds every free keycode and takes `~` off its key, so that nothing can produce it.
void leaveNoKeyForTilde(Display *d)
{
    int minKc = 0, maxKc = 0, perKeycode = 0;
    XDisplayKeycodes(d, &minKc, &maxKc);
    KeySym *map = XGetKeyboardMapping(d, minKc, maxKc - minKc + 1, &perKeycode);
    for (int kc = minKc; kc <= maxKc; ++kc) {
        KeySym *syms = map + (kc - minKc) * perKeycode;
        const bool free
            = std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; });
        for (int i = 0; i < perKeycode; ++i) {
            if (free)
                syms[i] = XK_F35;
            else if (syms[i] == XK_asciitilde)
                syms[i] = XK_grave;
        }
    }
    XChangeKeyboardMapping(d, minKc, perKeycode, map, maxKc - minKc + 1);
    XFree(map);
    XSync(d, False);
}

struct UnmappableCase
{
    const char *name;
    std::string text;
    std::size_t position;
    std::function<void(Display *)> prepare;
};

TEST(Typist, UnmappableCharacterStopsTheLineBeforeAnyKey)
{
    const UnmappableCase cases[] = {
        { "ControlCharacter", "ab\x01", 2, nullptr },
        { "NonAsciiByte", "x\xe9y", 1, nullptr },
        { "NoKeyAndNoFreeKeycode", "a~b", 1, leaveNoKeyForTilde },
    };
    XSession session;
    TempDir dir;
    Terminal terminal(session, dir);
    Typist typist(session.connection());
    std::string expected;
    for (const UnmappableCase &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.prepare)
            c.prepare(session.connection());
        const KeyboardState before = keyboardState(session, dir);

        const Outcome typed = typist.type(charactersOf(c.text));

        ASSERT_FALSE(typed.ok());
        EXPECT_EQ(typed.error().kind, ErrorKind::Unmappable);
        EXPECT_EQ(typed.error().position, c.position);
        EXPECT_EQ(keyboardState(session, dir), before);
        // Whatever arrives now was typed by the failed line, ahead of this marker.
        ASSERT_TRUE(typist.type(charactersOf("ok")).ok());
        expected += "ok";
        EXPECT_EQ(terminal.received(expected.size()), expected);
    }
}

TEST(Typist, FocusCheckRunsWithOtherProgramsHeldOffUntilTheKeysAreSent)
{
    XSession session;
    TempDir dir;
    Terminal terminal(session, dir);
    test::Connection other = session.connect();
    Display *o = other.get();
    const Window elsewhere = XCreateSimpleWindow(o, DefaultRootWindow(o), 0, 0, 50, 50, 0, 0, 0);
    XMapWindow(o, elsewhere);
    XSync(o, False);
    Typist typist(session.connection());

    // Another program moves the focus away as soon as the check has passed. Until the keys are
    // sent, that move must not happen: waiting for it has to run out.
    bool movedBeforeTheKeys = true;
    const Outcome typed = typist.type(charactersOf("all of it"), [&]() -> Outcome {
        XSetInputFocus(o, elsewhere, RevertToParent, CurrentTime);
        XFlush(o);
        movedBeforeTheKeys = waitFor(
            [&] {
                Window focus = 0;
                int revert = 0;
                XGetInputFocus(session.connection(), &focus, &revert);
                return focus == elsewhere;
            },
            200ms);
        return Ok {};
    });
    ASSERT_TRUE(typed.ok()) << typed.error().message;
    EXPECT_FALSE(movedBeforeTheKeys);
    EXPECT_EQ(terminal.received(9), "all of it");
    XDestroyWindow(o, elsewhere);
}

TEST(Typist, FailedFocusCheckStopsTheLineWhereItIs)
{
    struct Case
    {
        const char *name;
        std::string layout;
        int failingCheck; // which call of the check fails, from 1
        std::string text;
    };
    std::string manyLetters;
    for (char c = 'a'; c <= 'z'; ++c)
        manyLetters += std::string { c, static_cast<char>(c - 'a' + 'A') };
    const Case cases[] = {
        { "BeforeAnyKey", "us", 1, "not a key of it" },
        // More letters than spare keys: the line goes in parts, each checked.
        { "BetweenPartsOfALineOfSpareKeys", "ru", 2, manyLetters },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        XSession session;
        TempDir dir;
        ASSERT_EQ(session.run({ "setxkbmap", c.layout }), 0);
        Terminal terminal(session, dir);
        const KeyboardState before = keyboardState(session, dir);
        Typist typist(session.connection());

        int calls = 0;
        const Outcome typed = typist.type(charactersOf(c.text), [&]() -> Outcome {
            if (++calls == c.failingCheck)
                return Error { ErrorKind::FocusLost, "\"zMUD\" does not have the keyboard focus." };
            return Ok {};
        });

        ASSERT_FALSE(typed.ok());
        EXPECT_EQ(typed.error().kind, ErrorKind::FocusLost);
        EXPECT_EQ(typed.error().message, "\"zMUD\" does not have the keyboard focus.");
        const std::size_t sent = typed.error().position;
        ASSERT_LT(sent, c.text.size());
        if (c.failingCheck == 1)
            EXPECT_EQ(sent, 0u);
        else
            EXPECT_GT(sent, 0u);
        EXPECT_EQ(keyboardState(session, dir), before);
        // The marker arrives right after whatever the stopped line typed.
        ASSERT_TRUE(typist.type(charactersOf("|")).ok());
        EXPECT_EQ(terminal.received(sent + 1), c.text.substr(0, sent) + "|");
    }
}

} // namespace
} // namespace quillpost::x11
