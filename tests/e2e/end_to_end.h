#pragma once

#include "program_test.h"

#include <filesystem>
#include <thread>

namespace quillpost::test {

#if defined(QUILLPOST_EXE) || defined(QUILLPOST_WINE_CLIENT)
// A client that is a Win32 window under Wine, recording what it receives.
class WineTest : public ProgramTest
{
protected:
    explicit WineTest(std::string prefix) { artefactPrefix_ = std::move(prefix); }

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
        const ScreenRect r = desktop_.clientArea(main_);
        session_.run({ "xdotool", "mousemove", std::to_string(r.x + r.width / 2),
            std::to_string(r.y + r.height - 8), "click", "--repeat", std::to_string(clicks), "1" });
    }
};
#endif

#ifdef QUILLPOST_EXE
// quillpost.exe under Wine too. Wine moves the Windows focus only once the window's own process
// has read an X focus change, and sends keys that come before it to the window that had it;
// nothing outside Wine shows its focus, hence the pauses.
class Program : public WineTest
{
protected:
    Program() : WineTest("Wine.") { }

    // When the program brings the client forward, the window manager may leave the X focus
    // where it was, and activating the main window then changes nothing Wine sees: a person
    // clicks it, as here, into the status text.
    void focus(XWindow window)
    {
        std::this_thread::sleep_for(300ms);
        desktop_.activate(window);
        if (window == main_)
            clickStatus(1);
        std::this_thread::sleep_for(300ms);
        desktop_.activate(window);
    }

    void startProgram(const std::string &layout) override
    {
        ASSERT_EQ(session_.run({ "setxkbmap", layout }), 0) << "no layout " << layout;
        program_ = session_.spawn(
            { "sh", "-c", "cd \"$0\" && exec wine \"$1\"", dir_.path(), QUILLPOST_EXE });
        main_ = desktop_.waitForWindow(kMainTitle, {}, kWineStart);
        focus(main_);
    }

    void press(XWindow window, const std::vector<std::string> &keys) override
    {
        focus(window);
        desktop_.press(window, keys);
    }

    void type(XWindow window, const std::string &text) override
    {
        focus(window);
        desktop_.type(window, text);
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
        desktop_.activate(window); // Wine's windows open on top of one another
        desktop_.click(window);
    }
};
#elif defined(QUILLPOST_WINE_CLIENT)
// The Linux program typing into a Windows client run by Wine, which reads keys its own way.
class Program : public WineTest
{
protected:
    Program() : WineTest("WineClient.") { }
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

} // namespace quillpost::test
