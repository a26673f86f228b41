#pragma once

#include "desktop.h"
#include "support/printable.h"
#include "support/x_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace quillpost::test {

// What the client must receive for these lines: each typed after the spool word, then Enter.
std::string notes(const std::string &spool, const std::vector<std::string> &lines);
// The 95 printable ASCII characters in three lines, the first starting with a space.
std::vector<std::string> printableLines();

// A window in the MUD client's place, titled like it, that appends every byte typed into it to a
// file, exactly as typed (Enter is CR): an xterm whose terminal is raw and silent, or a Win32
// window under Wine.
class RecordingClient
{
public:
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

    RecordingClient(
        const XSession &session, const Desktop &desktop, std::string file, const Options &options);

    XWindow window() const { return window_; }
    // Ends it, and waits until its window is gone.
    void close(const Desktop &desktop);
    std::string received() const;
    // What arrived once at least `size` bytes have, or when `timeout` has passed.
    std::string receivedAtLeast(
        std::size_t size, std::chrono::milliseconds timeout = kPatience) const;
    // Whether nothing came after `at` within `period` (two ticks at the start interval).
    bool staysAt(const std::string &at, std::chrono::milliseconds period = 2500ms) const;

private:
    std::string file_;
    Child process_;
    XWindow window_ = 0;
};

constexpr std::string_view kMainTitle = "Quillpost";
constexpr std::string_view kOpenDialogTitle = "Open File to send to Zmud";
constexpr auto kWineStart = 2 * kPatience; // the first program in a prefix starts its services too

// The program on its own X server with a window manager, driven only through the keyboard, as a
// player would. A failing test leaves a screenshot of the whole screen in the build folder.
// The virtual steps are where the Windows program under Wine needs other ways.
class ProgramTest : public ::testing::Test
{
protected:
    void TearDown() override;

    virtual void startProgram(const std::string &layout = "us");
    virtual void press(XWindow window, const std::vector<std::string> &keys);
    virtual void type(XWindow window, const std::string &text);
    // Writes `bytes` to a new file; what to type in a file dialog to open it.
    virtual std::string newFile(const std::string &bytes);
    // Chooses `path` in the open-file dialog from the keyboard, and closes the dialog.
    void choose(XWindow dialog, const std::string &path);
    virtual RecordingClient &startClient(RecordingClient::Options options = {});
    // The send is over, and the client has exactly `expected`.
    virtual void expectSendEnds(const RecordingClient &client, const std::string &expected);
    // Once the window picker is waiting, clicks `window`.
    virtual void pick(XWindow window);

    // Ctrl+O, the file's name, Return.
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
    Desktop desktop_ { session_ };
    Child program_;
    XWindow main_ = 0;
    std::list<RecordingClient> clients_; // owned here so that a failure's screenshot shows them
    int files_ = 0;
    std::string artefactPrefix_; // of the screenshot a failure leaves in the build folder
};

} // namespace quillpost::test
