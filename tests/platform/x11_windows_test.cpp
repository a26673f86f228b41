#include "platform/qt_x11/x11_windows.h"
#include "support/x_session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace quillpost::x11 {
namespace {

using namespace std::chrono_literals;
using test::waitFor;

bool viewable(Display *d, WindowId w)
{
    XWindowAttributes attrs {};
    return XGetWindowAttributes(d, w.value, &attrs) && attrs.map_state == IsViewable;
}

// Its own X server, with a window manager or without, and a connection of another program.
class WindowsWithAndWithoutManager : public ::testing::TestWithParam<bool>
{
protected:
    // A top-level window titled in _NET_WM_NAME or else in a Latin-1 WM_NAME, once it is shown
    // (a window manager maps a window once it has taken it on).
    WindowId open(
        const std::string &title, bool latin1 = false, long pid = 0, Display *on = nullptr)
    {
        Display *d = on ? on : other_.get();
        const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 300, 200, 0, 0, 0);
        XChangeProperty(d, w, latin1 ? XA_WM_NAME : XInternAtom(d, "_NET_WM_NAME", False),
            latin1 ? XA_STRING : XInternAtom(d, "UTF8_STRING", False), 8, PropModeReplace,
            reinterpret_cast<const unsigned char *>(title.data()), static_cast<int>(title.size()));
        if (pid != 0)
            XChangeProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32,
                PropModeReplace, reinterpret_cast<const unsigned char *>(&pid), 1);
        XMapWindow(d, w);
        XSync(d, False);
        if (!waitFor([&] { return viewable(session_.connection(), WindowId { w }); }))
            throw std::runtime_error("window \"" + title + "\" was never shown");
        return WindowId { w };
    }

    test::XSession session_ { test::XSession::Options { .windowManager = GetParam() } };
    test::Connection other_ = session_.connect();
    std::uint64_t own_ = 0; // the window the caller says is ours
    Windows windows_ { session_.connection(), [this](std::uint64_t id) { return id == own_; } };
};

TEST_P(WindowsWithAndWithoutManager, FindsTheExactTitleBeforeAPrefixIgnoringAsciiCaseNotOurs)
{
    Display *d = other_.get();
    if (!GetParam()) {
        // A window manager that crashed leaves its properties on the root, naming windows that
        // are gone.
        const unsigned long gone[]
            = { XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0) };
        XDestroyWindow(d, gone[0]);
        for (const char *name : { "_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST" })
            XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, name, False), XA_WINDOW, 32,
                PropModeReplace, reinterpret_cast<const unsigned char *>(gone), 1);
    }
    // Ours come first in the list.
    own_ = open("zMUD").value;
    open("zMUD - Settings", false, getpid()); // a dialog Qt opened, known by our process id only
    const WindowId hollowmere = open("zMUD - Hollowmere");
    const WindowId zmud = open("ZMUD", true);
    const WindowId cafe = open("Caf\xC3\xA9");
    const WindowId bridge = open("Br\xFC"
                                 "cke",
        true);
    open("xterm");
    const std::pair<std::string, std::uint64_t> cases[] = {
        // title, the window found or 0
        { "zmud", zmud.value }, // exact, although a prefix match and our own come first
        { "zMUD - S", 0 },
        { "zMUD - h", hollowmere.value },
        { "ZMUD - HOLLOWMERE", hollowmere.value },
        { "CAF\xC3\xA9", cafe.value },
        { "CAF\xC3\x89", 0 }, // only ASCII letters ignore case
        { "br\xC3\xBC", bridge.value }, // a Latin-1 WM_NAME compares as UTF-8
        { "Hollowmere", 0 }, // inside the title, not at its start
        { "zMUD - Hollowmere 2", 0 },
        { "", 0 },
    };
    for (const auto &[title, expected] : cases) {
        const Result<WindowId> found = windows_.find(title);
        EXPECT_EQ(found.ok() ? found.value().value : 0, expected) << title;
    }
    // What tells the loader which client it is: the title as UTF-8, and the class.
    XClassHint hint { const_cast<char *>("mudlet"), const_cast<char *>("Mudlet") };
    XSetClassHint(d, bridge.value, &hint);
    XSync(d, False);
    const WindowInfo info = windows_.describe(bridge);
    EXPECT_EQ(info.title,
        "Br\xC3\xBC"
        "cke");
    EXPECT_EQ(info.windowClass, "Mudlet");
    const Error none = windows_.find("Hollowmere").error();
    EXPECT_EQ(none.kind, ErrorKind::NoWindow);
    EXPECT_EQ(none.message, "No window titled \"Hollowmere\" is open.");

    XDestroyWindow(d, hollowmere.value);
    XSync(d, False);
    EXPECT_TRUE(waitFor([&] { return !windows_.isOpen(hollowmere); })) << "closed";
    EXPECT_TRUE(windows_.isOpen(zmud));
}

TEST_P(WindowsWithAndWithoutManager, ActivateMovesTheFocusEvenToAHiddenWindowAndWaitForFocusSeesIt)
{
    Display *d = other_.get();
    const WindowId notes = open("Notes");
    const WindowId zmud = open("zMUD");
    // Without a window manager the client is unmapped; with one, iconified, then left on another
    // desktop: only the manager's own activation switches back to it.
    for (int way = 0; way < (GetParam() ? 2 : 1); ++way) {
        SCOPED_TRACE(way);
        ASSERT_TRUE(windows_.activate(notes).ok());
        ASSERT_TRUE(windows_.waitForFocus(notes, test::kPatience).ok());
        EXPECT_FALSE(windows_.hasFocus(zmud));
        if (!GetParam())
            XUnmapWindow(d, zmud.value);
        else if (way == 0)
            XIconifyWindow(d, zmud.value, DefaultScreen(d));
        else
            ASSERT_EQ(session_.run({ "xdotool", "set_desktop", "1" }), 0);
        XSync(d, False);
        ASSERT_TRUE(waitFor([&] { return !viewable(session_.connection(), zmud); }));

        ASSERT_TRUE(windows_.activate(zmud).ok());
        const Outcome focused = windows_.waitForFocus(zmud, test::kPatience);
        ASSERT_TRUE(focused.ok()) << focused.error().message;
        EXPECT_TRUE(viewable(session_.connection(), zmud));
        EXPECT_FALSE(windows_.hasFocus(notes));
    }

    // Focus on a window inside the client counts as the client's, and names it to the others.
    const Window inside = XCreateSimpleWindow(d, zmud.value, 5, 5, 50, 50, 0, 0, 0);
    XMapWindow(d, inside);
    XSetInputFocus(d, inside, RevertToParent, CurrentTime);
    XSync(d, False);
    EXPECT_TRUE(waitFor([&] { return windows_.hasFocus(zmud); }));

    const Outcome elsewhere = windows_.waitForFocus(notes, 100ms);
    ASSERT_FALSE(elsewhere.ok());
    EXPECT_EQ(elsewhere.error().kind, ErrorKind::FocusLost);
    EXPECT_EQ(
        elsewhere.error().message, "\"Notes\" does not have the keyboard focus; \"zMUD\" has it.");
}

// X gives a closed window's id to the windows of the next program that connects, which are not the
// window found before; found anew by its title, such a window is the one found.
TEST_P(WindowsWithAndWithoutManager, AClosedWindowsIdGivenToAnotherProgramIsNotTheWindowFound)
{
    test::Connection first = session_.connect();
    const WindowId found = open("zMUD", false, 111, first.get());
    ASSERT_EQ(windows_.find("zMUD").value(), found);
    first.reset();
    ASSERT_TRUE(waitFor([&] { return !windows_.isOpen(found); }));
    test::Connection next = session_.connect();
    ASSERT_EQ(open("zMUD", false, 222, next.get()), found) << "X gave the next window a new id";
    EXPECT_FALSE(windows_.isOpen(found));
    ASSERT_EQ(windows_.find("zMUD").value(), found);
    EXPECT_TRUE(windows_.isOpen(found));
}

// Not ::testing::Bool(): Xlib defines Bool as a macro.
INSTANTIATE_TEST_SUITE_P(
    Windows, WindowsWithAndWithoutManager, ::testing::Values(false, true), [](const auto &info) {
        return std::string(info.param ? "WithOpenbox" : "WithoutWindowManager");
    });

} // namespace
} // namespace quillpost::x11
