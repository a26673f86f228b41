#pragma once

#include "platform/wayland/native_desktop.h"
#include "x_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace quillpost::test {

// Asked again while it waits: a loaded desktop may drop an activation while it still animates.
inline void bringForward(wl::NativeDesktop &desktop, WindowId window)
{
    ASSERT_TRUE(waitFor([&] {
        return desktop.activate(window)
            && desktop.waitForActivated(window, std::chrono::seconds(2));
    })) << "the window did not come to the front";
}

inline Outcome typeInto(wl::NativeDesktop &desktop, WindowId window, const std::string &text)
{
    bringForward(desktop, window);
    const auto strokes = strokesOf(text);
    return desktop.type(window, strokes);
}

// Another window, titled "thief", takes the keyboard through `steal`. Before a line, nothing is
// typed and the message names it. Mid-line (`steal` runs once the client's recorder `got` holds
// 200 bytes, lines going on until one stops), what arrived anywhere is the text up to the first
// key not typed: with no protocol to hold the keyboard, the one key already on its way may land
// in the thief's `stolen`, and only that one; a desktop that `seesWhereKeysLand` counts that key as
// not typed, so that the client still gets it. Once `window` is in front again the rest arrives.
inline void expectTheStealStopsAtAKey(wl::NativeDesktop &desktop, WindowId window,
    const std::string &got, const std::string &stolen, const std::function<void()> &steal,
    bool seesWhereKeysLand = false)
{
    Result<WindowId> thief = Error { ErrorKind::NoWindow, "" };
    ASSERT_TRUE(waitFor([&] { return (thief = desktop.find("thief", nullptr)).ok(); }));
    // Asked again while it waits: a loaded desktop may drop an activation mid-animation.
    ASSERT_TRUE(waitFor([&] {
        steal();
        return desktop.waitForActivated(thief.value(), std::chrono::seconds(2)).ok();
    }));
    auto held = desktop.type(window, strokesOf("note + x\r"));
    ASSERT_FALSE(held);
    EXPECT_EQ(held.error().kind, ErrorKind::FocusLost);
    EXPECT_EQ(held.error().position, 0u);
    EXPECT_NE(held.error().message.find("\"thief\" has it"), std::string::npos);

    std::string line;
    for (char c = ' '; c <= '~'; ++c)
        line += c;
    bringForward(desktop, window);
    std::thread thiefThread([&] {
        waitFor([&] { return readFile(got).size() >= 200; });
        steal();
    });
    std::string typed; // every line typed whole
    Outcome stopped = Ok {};
    const auto strokes = strokesOf(line);
    waitFor([&] {
        if ((stopped = desktop.type(window, strokes)))
            typed += line;
        return !stopped;
    });
    thiefThread.join();
    ASSERT_FALSE(stopped) << "the other window never took the keyboard";
    ASSERT_EQ(stopped.error().kind, ErrorKind::FocusLost) << stopped.error().message;
    const std::size_t at = stopped.error().position;
    ASSERT_LT(at, line.size());
    EXPECT_TRUE(waitFor(
        [&] { return readFile(got).size() + readFile(stolen).size() >= typed.size() + at; }));
    EXPECT_LE(readFile(stolen).size(), 1u);
    EXPECT_EQ(
        readFile(got) + (seesWhereKeysLand ? "" : readFile(stolen)), typed + line.substr(0, at));

    const std::string before = readFile(got);
    bringForward(desktop, window);
    ASSERT_TRUE(desktop.type(window, std::span(strokes).subspan(at)));
    EXPECT_TRUE(waitFor([&] { return readFile(got).size() >= before.size() + line.size() - at; }));
    EXPECT_EQ(readFile(got), before + line.substr(at));
}

} // namespace quillpost::test
