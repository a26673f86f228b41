#pragma once

#include "platform/qt_x11/x11_error_trap.h"
#include "platform/qt_x11/x11_properties.h"
#include "platform/qt_x11/x11_windows.h"
#include "support/printable.h"
#include "support/x_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <list>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quillpost::test {

using XWindow = unsigned long; // an X window id, without pulling Xlib's macros into the tests

struct ScreenRect
{
    int x, y, width, height; // pixels
};

// Xvfb reports 96 dots per inch: 15 twips a pixel.
inline int pixels(int twips)
{
    return (twips * 96 + 720) / 1440;
}

// What the client must receive for these lines: each typed after the spool word, then Enter.
std::string notes(const std::string &spool, const std::vector<std::string> &lines);
// The 95 printable ASCII characters in three lines, the first starting with a space.
std::vector<std::string> printableLines();

// A window in the MUD client's place, titled like it, that appends every byte typed into it to
// `file`, exactly as typed (Enter is CR): an xterm whose terminal is raw and silent, or a Win32
// window under Wine.
struct RecordingClient
{
    struct Options
    {
        std::string title = "zMUD";
        // As a connected client does, the xterm changes its title after every line it receives,
        // to one that no longer begins with "zMUD".
        bool retitles = false;
        // The Win32 recorder to run under Wine in place of the xterm, and whether it takes the
        // front back every few milliseconds.
        std::string wineRecorder {};
        bool steals = false;
        bool readsKeys = false; // the Win32 recorder reads keys as PuTTY does, not WM_CHAR
    };

    std::string received() const { return readFile(file); }
    // What arrived once at least `size` bytes have, or when `timeout` has passed.
    std::string receivedAtLeast(
        std::size_t size, std::chrono::milliseconds timeout = kPatience) const;
    // Whether nothing came after `at` within `period` (two ticks at the start interval).
    bool staysAt(const std::string &at, std::chrono::milliseconds period = 2500ms) const;

    std::string file;
    Child process;
    XWindow window = 0;
};

constexpr std::string_view kMainTitle = "Quillpost";
constexpr std::string_view kOpenDialogTitle = "Open File to send to Zmud";
constexpr auto kWineStart = 2 * kPatience; // the first program in a prefix starts its services too

// The program on its own X server with a window manager, driven only through the keyboard, as a
// player would: the windows by title, which one has the keyboard, and keys pressed through
// xdotool, which sends them through XTest like a real keyboard. Failures throw, naming what was
// expected on screen. A failing test leaves a screenshot of the whole screen in the build folder.
// The virtual steps are where the Windows program under Wine needs other ways.
class ProgramTest : public ::testing::Test
{
protected:
    void TearDown() override;

    virtual void startProgram(const std::string &layout = "us");
    // xdotool key names ("ctrl+o", "Return"), pressed into `window` once it has the focus, each
    // held down for 100 ms as a finger holds it.
    virtual void press(XWindow window, const std::vector<std::string> &keys);
    virtual void type(XWindow window, const std::string &text);
    // Writes `bytes` to a new file; what to type in a file dialog to open it.
    virtual std::string newFile(const std::string &bytes);
    virtual RecordingClient &startClient(RecordingClient::Options options = {});
    // The send is over, and the client has exactly `expected`.
    virtual void expectSendEnds(const RecordingClient &client, const std::string &expected);
    // Once the window picker is waiting, clicks `window`.
    virtual void pick(XWindow window);
    // Whether some program holds the pointer, as the picker does while it waits.
    bool pointerGrabbed() const;

    // Into whatever holds the keyboard now: an open menu, which has grabbed it.
    void pressKeys(const std::vector<std::string> &keys);
    // Managed top-level windows titled exactly `title`, in the window manager's order.
    std::vector<XWindow> windowsTitled(std::string_view title) const;
    // The first window titled `title` that is not in `except`, once there is one.
    XWindow waitForWindow(std::string_view title, const std::vector<XWindow> &except = {},
        std::chrono::milliseconds timeout = kPatience) const;
    // The same, once it has also come to the front, as a window that activates itself does.
    XWindow waitForFront(std::string_view title, const std::vector<XWindow> &except = {}) const;
    void waitUntilGone(XWindow window) const;
    bool hasFocus(XWindow window) const { return windows_.hasFocus(WindowId { window }); }
    // Brings `window` to the front and waits for its focus, and until its program has read that
    // change.
    void activate(XWindow window);
    ScreenRect clientArea(XWindow window) const;
    // Whether a popup menu is on screen; menus are override-redirect windows.
    bool popupShown() const;
    void click(XWindow window)
    {
        xdotool({ "mousemove", "--window", std::to_string(window), "40", "40", "click", "1" });
    }
    // Asks the window manager to close `window`, as its title bar's close button does.
    void close(XWindow window) const;
    void closeClient(RecordingClient &client);

    void choose(XWindow dialog, const std::string &path);
    void sendFile(const std::string &bytes);
    // Opens a menu of the main window with its access key, then presses `keys` in it.
    void menu(const std::string &accessKey, const std::vector<std::string> &keys);
    // A box of ours: titled as the main window, and not it.
    XWindow waitForBox(const std::vector<XWindow> &except = {});
    // Presses `key` in the next box the program opens, and waits until the box is gone.
    void answerBox(const std::string &key);
    std::vector<XWindow> messageBoxes() const;

    XSession session_ { XSession::Options { .windowManager = true } };
    TempDir dir_;
    Child program_;
    XWindow main_ = 0;
    std::list<RecordingClient> clients_; // owned here so that a failure's screenshot shows them
    int files_ = 0;
    std::string artefactPrefix_; // of the screenshot a failure leaves in the build folder

private:
    void xdotool(std::vector<std::string> args) const;
    // Once the program of `window` has read every event sent to it before this call, where it
    // answers _NET_WM_PING (Qt and Wine do, xterm does not).
    void caughtUp(XWindow window) const;

    // Windows of the program under test come and go while we read them; Xlib's default handler
    // would end the test run on the first BadWindow.
    x11::ErrorTrap errors_ { session_.connection() };
    x11::Atoms atoms_ = x11::internAtoms(session_.connection());
    // The program's own focus check, window list and activation, proven on their own by the X11
    // tests.
    x11::Windows windows_ { session_.connection(), [](std::uint64_t) { return false; } };
};

#if defined(QUILLPOST_EXE) || defined(QUILLPOST_WINE_CLIENT)
// The client is a Win32 window under Wine, recording what it receives; with QUILLPOST_EXE the
// program is quillpost.exe under Wine too, else the Linux program, typing into a window that
// Wine reads keys for in its own way.
class Program : public ProgramTest
{
protected:
    Program() { artefactPrefix_ = QUILLPOST_ARTEFACT_PREFIX; }

    void TearDown() override
    {
        ProgramTest::TearDown();
        // Ends every Windows program of the prefix, whichever window or box is still open: the
        // next test's Wine must start on the next test's display.
        session_.run({ "wineserver", "-k" });
        session_.run({ "wineserver", "-w" });
    }

    RecordingClient &startClient(RecordingClient::Options options = {}) override
    {
        options.wineRecorder = QUILLPOST_RECORDER;
        return ProgramTest::startClient(options);
    }

    // Clicks into the main window's status text, which needs no key of any map.
    void clickStatus(int clicks)
    {
        const ScreenRect r = clientArea(main_);
        session_.run({ "xdotool", "mousemove", std::to_string(r.x + r.width / 2),
            std::to_string(r.y + r.height - 8), "click", "--repeat", std::to_string(clicks), "1" });
    }

#ifdef QUILLPOST_EXE
    // Wine moves the Windows focus only once the window's own process has read an X focus
    // change, and sends keys that come before it to the window that had it; nothing outside Wine
    // shows its focus, hence the pauses. When the program brings the client forward, the window
    // manager may leave the X focus where it was, and activating the main window then changes
    // nothing Wine sees: a person clicks it, as here, into the status text.
    void focus(XWindow window)
    {
        std::this_thread::sleep_for(300ms);
        activate(window);
        if (window == main_)
            clickStatus(1);
        std::this_thread::sleep_for(300ms);
        activate(window);
    }

    void startProgram(const std::string &layout) override
    {
        ASSERT_EQ(session_.run({ "setxkbmap", layout }), 0) << "no layout " << layout;
        program_ = session_.spawn(
            { "sh", "-c", "cd \"$0\" && exec wine \"$1\"", dir_.path(), QUILLPOST_EXE });
        main_ = waitForWindow(kMainTitle, {}, kWineStart);
        focus(main_);
    }

    void press(XWindow window, const std::vector<std::string> &keys) override
    {
        focus(window);
        ProgramTest::press(window, keys);
    }

    void type(XWindow window, const std::string &text) override
    {
        focus(window);
        ProgramTest::type(window, text);
    }

    // In the folder the open dialog starts in, the program's working directory, so that its bare
    // name is typed: xdotool's backslash on a German keyboard reaches Wine as "ß".
    std::string newFile(const std::string &bytes) override
    {
        return std::filesystem::path(ProgramTest::newFile(bytes)).filename();
    }

    // Nothing more arrives, for two ticks. (The program takes the front back at its end, but
    // under openbox Wine does not always get the X focus for it.)
    void expectSendEnds(const RecordingClient &client, const std::string &expected) override
    {
        EXPECT_TRUE(client.staysAt(expected)) << "more arrived after the end";
        EXPECT_EQ(client.received(), expected);
    }

    // The picker's hooks are in place at once, but nothing outside Wine shows it waiting; a click
    // that came too early would pick nothing, and the story would fail.
    void pick(XWindow window) override
    {
        std::this_thread::sleep_for(2s);
        activate(window); // Wine's windows open on top of one another
        click(window);
    }
#endif
};
#else
using Program = ProgramTest;
#endif

// Each test starts the program with a keyboard of this layout.
class EndToEnd : public Program
{
protected:
    void SetUp() override { startProgram(layout()); }
    virtual std::string layout() const { return "us"; }
};

class EndToEndOnLayout : public EndToEnd, public ::testing::WithParamInterface<const char *>
{
protected:
    std::string layout() const override { return GetParam(); }
};

} // namespace quillpost::test
