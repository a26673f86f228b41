#include "platform/qt_x11/x11_windows.h"
#include "support/x_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace quillpost::x11 {
namespace {

using namespace std::chrono_literals;
using test::waitFor;
using test::XSession;
using ::testing::HasSubstr;
using ::testing::Not;

enum class TitleIn { NetWmName, WmNameLatin1 };

// A top-level window of another program: made on a connection of its own.
class ClientWindow
{
public:
    ClientWindow(Display *d, const std::string &title, TitleIn where, std::optional<pid_t> pid)
        : d_(d)
    {
        window_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 300, 200, 0, 0, 0);
        XWMHints hints {};
        hints.flags = InputHint;
        hints.input = True;
        XSetWMHints(d, window_, &hints);
        const auto *bytes = reinterpret_cast<const unsigned char *>(title.data());
        const int length = static_cast<int>(title.size());
        if (where == TitleIn::NetWmName) {
            XChangeProperty(d, window_, XInternAtom(d, "_NET_WM_NAME", False),
                XInternAtom(d, "UTF8_STRING", False), 8, PropModeReplace, bytes, length);
        } else {
            XChangeProperty(d, window_, XA_WM_NAME, XA_STRING, 8, PropModeReplace, bytes, length);
        }
        if (pid) {
            const long value = *pid;
            XChangeProperty(d, window_, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32,
                PropModeReplace, reinterpret_cast<const unsigned char *>(&value), 1);
        }
        child_ = XCreateSimpleWindow(d, window_, 5, 5, 50, 50, 0, 0, 0);
        XMapWindow(d, child_);
        XMapWindow(d, window_);
        XSync(d, False);
    }
    ~ClientWindow()
    {
        XDestroyWindow(d_, window_);
        XSync(d_, False);
    }
    ClientWindow(const ClientWindow &) = delete;
    ClientWindow &operator=(const ClientWindow &) = delete;

    WindowId id() const { return WindowId { window_ }; }
    Window child() const { return child_; }

private:
    Display *d_;
    Window window_;
    Window child_;
};

bool viewable(Display *d, WindowId w)
{
    XWindowAttributes attrs {};
    return XGetWindowAttributes(d, w.value, &attrs) && attrs.map_state == IsViewable;
}

class WindowsTest : public ::testing::TestWithParam<bool>
{
protected:
    bool withWindowManager() const { return GetParam(); }

    ClientWindow &open(const std::string &title, TitleIn where = TitleIn::NetWmName,
        std::optional<pid_t> pid = std::nullopt)
    {
        windows_.push_back(std::make_unique<ClientWindow>(other_.get(), title, where, pid));
        ClientWindow &window = *windows_.back();
        // A window manager maps the window once it has taken it under management.
        if (!waitFor([&] { return viewable(session_.connection(), window.id()); }))
            throw std::runtime_error("window \"" + title + "\" was never shown");
        return window;
    }

    XSession session_ { XSession::Options { .windowManager = GetParam() } };
    test::Connection other_ = session_.connect();
    std::vector<std::unique_ptr<ClientWindow>> windows_;
};

TEST_P(WindowsTest, FindsTheExactTitleBeforeAPrefixIgnoringAsciiCase)
{
    const WindowId hollowmere = open("zMUD - Hollowmere").id();
    const WindowId zmud = open("ZMUD", TitleIn::WmNameLatin1).id();
    const WindowId cafe = open("Caf\xC3\xA9").id();
    const WindowId bridge = open("Br\xFC"
                                 "cke",
        TitleIn::WmNameLatin1)
                                .id();
    open("xterm");
    Windows windows(session_.connection(), [](std::uint64_t) { return false; });

    const struct
    {
        std::string title;
        std::optional<WindowId> found;
    } cases[] = {
        { "zmud", zmud }, // exact, although a prefix match comes first
        { "zMUD - h", hollowmere },
        { "ZMUD - HOLLOWMERE", hollowmere },
        { "CAF\xC3\xA9", cafe },
        { "CAF\xC3\x89", std::nullopt }, // only ASCII letters ignore case
        { "br\xC3\xBC", bridge }, // a Latin-1 WM_NAME compares as UTF-8
        { "Hollowmere", std::nullopt }, // inside the title, not at its start
        { "zMUD - Hollowmere 2", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        const Result<WindowId> found = windows.find(c.title);
        if (c.found) {
            ASSERT_TRUE(found.ok()) << found.error().message;
            EXPECT_EQ(found.value().value, c.found->value);
        } else {
            ASSERT_FALSE(found.ok());
            EXPECT_EQ(found.error().kind, ErrorKind::NoWindow);
            EXPECT_EQ(found.error().message, "No window titled \"" + c.title + "\" is open.");
        }
    }
}

TEST_P(WindowsTest, NeverFindsItsOwnWindows)
{
    const WindowId ownByCaller = open("zMUD").id();
    open("zMUD", TitleIn::NetWmName, getpid());
    const WindowId theirs = open("zMUD - Hollowmere").id();
    Windows windows(
        session_.connection(), [&](std::uint64_t id) { return id == ownByCaller.value; });

    const Result<WindowId> found = windows.find("zmud");
    ASSERT_TRUE(found.ok()) << found.error().message;
    EXPECT_EQ(found.value().value, theirs.value);

    windows_.pop_back();
    const Result<WindowId> gone = windows.find("zmud");
    ASSERT_FALSE(gone.ok());
    EXPECT_EQ(gone.error().kind, ErrorKind::NoWindow);
}

TEST_P(WindowsTest, ActivateMovesTheFocusAndHasFocusSeesIt)
{
    const ClientWindow &notes = open("Notes");
    const ClientWindow &zmud = open("zMUD");
    Windows windows(session_.connection(), [](std::uint64_t) { return false; });

    for (const ClientWindow *target : { &notes, &zmud, &notes }) {
        const ClientWindow *otherOne = target == &notes ? &zmud : &notes;
        ASSERT_TRUE(windows.activate(target->id()).ok());
        const Outcome focused = windows.waitForFocus(target->id(), 5s);
        ASSERT_TRUE(focused.ok()) << focused.error().message;
        EXPECT_FALSE(windows.hasFocus(otherOne->id()));
    }

    // Focus on a window inside the client counts as the client's.
    XSetInputFocus(other_.get(), zmud.child(), RevertToParent, CurrentTime);
    XSync(other_.get(), False);
    EXPECT_TRUE(waitFor([&] { return windows.hasFocus(zmud.id()); }));
    EXPECT_FALSE(windows.hasFocus(notes.id()));
}

TEST_P(WindowsTest, WaitForFocusFailsNamingTheWindowThatHasIt)
{
    const ClientWindow &notes = open("Notes");
    const ClientWindow &zmud = open("zMUD");
    Windows windows(session_.connection(), [](std::uint64_t) { return false; });
    ASSERT_TRUE(windows.activate(zmud.id()).ok());
    ASSERT_TRUE(windows.waitForFocus(zmud.id(), 5s).ok());

    const Outcome elsewhere = windows.waitForFocus(notes.id(), 100ms);
    ASSERT_FALSE(elsewhere.ok());
    EXPECT_EQ(elsewhere.error().kind, ErrorKind::FocusLost);
    EXPECT_THAT(elsewhere.error().message, HasSubstr("\"Notes\""));
    EXPECT_THAT(elsewhere.error().message, HasSubstr("\"zMUD\" has it"));

    // Focus following the pointer is no window's: keys would go wherever the mouse is. (A window
    // manager would take the focus back from the pointer at once.)
    if (withWindowManager())
        return;
    XSetInputFocus(other_.get(), PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(other_.get(), False);
    const Outcome nowhere = windows.waitForFocus(zmud.id(), 100ms);
    ASSERT_FALSE(nowhere.ok());
    EXPECT_EQ(nowhere.error().kind, ErrorKind::FocusLost);
    EXPECT_THAT(nowhere.error().message, Not(HasSubstr("has it")));
}

void sendToRoot(Display *d, Window about, const char *message, long value)
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = about;
    event.xclient.message_type = XInternAtom(d, message, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = value;
    XSendEvent(
        d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(d, False);
}

TEST_P(WindowsTest, ActivateBringsBackAHiddenWindow)
{
    struct Hide
    {
        const char *name;
        std::function<void(Display *, Window)> hide;
    };
    const std::vector<Hide> ways = withWindowManager()
        ? std::vector<Hide>{
              {"Iconified",
               [](Display *d, Window w) { XIconifyWindow(d, w, DefaultScreen(d)); }},
              // Only the window manager's own activation switches back to the window's desktop.
              {"OnAnotherDesktop",
               [](Display *d, Window) {
                   sendToRoot(d, DefaultRootWindow(d), "_NET_CURRENT_DESKTOP", 1);
               }},
          }
        : std::vector<Hide>{{"Unmapped", [](Display *d, Window w) { XUnmapWindow(d, w); }}};

    const ClientWindow &zmud = open("zMUD");
    const ClientWindow &notes = open("Notes");
    Windows windows(session_.connection(), [](std::uint64_t) { return false; });
    for (const Hide &way : ways) {
        SCOPED_TRACE(way.name);
        ASSERT_TRUE(windows.activate(notes.id()).ok());
        ASSERT_TRUE(windows.waitForFocus(notes.id(), 5s).ok());
        way.hide(other_.get(), zmud.id().value);
        XSync(other_.get(), False);
        ASSERT_TRUE(waitFor([&] { return !viewable(session_.connection(), zmud.id()); }));

        ASSERT_TRUE(windows.activate(zmud.id()).ok());
        const Outcome focused = windows.waitForFocus(zmud.id(), 5s);
        ASSERT_TRUE(focused.ok()) << focused.error().message;
        EXPECT_TRUE(viewable(session_.connection(), zmud.id()));
    }
}

// A window manager that crashed leaves its properties on the root, naming windows that are gone.
TEST(Windows, IgnoresWhatAWindowManagerThatHasGoneLeftBehind)
{
    XSession session;
    test::Connection other = session.connect();
    Display *d = other.get();
    const Window gone = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(d, gone);
    const unsigned long list[] = { gone };
    for (const char *name : { "_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST" }) {
        XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, name, False), XA_WINDOW, 32,
            PropModeReplace, reinterpret_cast<const unsigned char *>(list), 1);
    }
    ClientWindow zmud(d, "zMUD", TitleIn::NetWmName, std::nullopt);
    ASSERT_TRUE(waitFor([&] { return viewable(session.connection(), zmud.id()); }));
    Windows windows(session.connection(), [](std::uint64_t) { return false; });

    const Result<WindowId> found = windows.find("zMUD");
    ASSERT_TRUE(found.ok()) << found.error().message;
    EXPECT_EQ(found.value().value, zmud.id().value);
    ASSERT_TRUE(windows.activate(zmud.id()).ok());
    EXPECT_TRUE(windows.waitForFocus(zmud.id(), 5s).ok());
}

// Not ::testing::Bool(): Xlib defines Bool as a macro.
INSTANTIATE_TEST_SUITE_P(
    Windows, WindowsTest, ::testing::Values(false, true), [](const auto &info) {
        return std::string(info.param ? "WithOpenbox" : "WithoutWindowManager");
    });

} // namespace
} // namespace quillpost::x11
