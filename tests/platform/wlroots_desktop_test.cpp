// The wlroots typing path: its keymap, and against a real headless sway, where the program's own
// stories cannot time it, a window taking the keyboard in the middle of a line.
#include "platform/wayland/wl_keymap.h"
#include "platform/wayland/wlroots_desktop.h"
#include "support/focus_theft.h"
#include "support/printable.h"
#include "support/sway_session.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <memory>
#include <thread>

namespace quillpost::test {
namespace {

TEST(TypingKeymap, GivesEveryCharacterWithNoModifierHeld)
{
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
        xkb_keymap_new_from_string(context.get(), wl::typingKeymap().c_str(),
            XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS),
        xkb_keymap_unref);
    ASSERT_TRUE(keymap);
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(
        xkb_state_new(keymap.get()), xkb_state_unref);
    const auto typed = [&](std::uint32_t key) {
        char text[8] = {};
        xkb_state_key_get_utf8(state.get(), key + 8, text, sizeof text);
        return std::string(text);
    };
    for (const KeyStroke stroke : strokesOf(printableAscii() + "\r"))
        EXPECT_EQ(typed(wl::keyFor(stroke)), std::string(1, stroke.character));
    EXPECT_EQ(typed(wl::kSilentKey), "");
}

class WlrootsDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const std::string why = SwaySession::unavailable(); !why.empty())
            GTEST_SKIP() << "No sway on this machine: " << why;
    }

    // The program's view of `sway`, once `title` is among its windows.
    std::unique_ptr<wl::WlrootsDesktop> connect(const SwaySession &sway, const std::string &title)
    {
        setenv("WAYLAND_DISPLAY", sway.socket().c_str(), 1);
        std::string lacking;
        auto desktop = wl::WlrootsDesktop::connect(&lacking);
        if (!desktop)
            throw std::runtime_error("no wlroots desktop: " + lacking);
        // The keyboard it made is new to the seat, which loses the first keys of a new one.
        std::this_thread::sleep_for(1s);
        if (!waitFor([&] { return desktop->find(title, nullptr).ok(); }))
            throw std::runtime_error("no window titled " + title);
        return desktop;
    }
};

TEST_F(WlrootsDesktop, KeysStopWhenAnotherWindowTakesTheKeyboardAndGoOnFromThere)
{
    SwaySession sway;
    const std::string got = sway.file("got"), stolen = sway.file("stolen");
    Child client = sway.recorder("zMUD", got);
    Child thief = sway.recorder("thief", stolen);
    auto desktop = connect(sway, "zMUD");
    const auto window = desktop->find("zMUD", nullptr).value();

    expectTheStealStopsAtAKey(
        *desktop, window, got, stolen, [&] { sway.command("[title=\"^thief$\"] focus"); });
}

} // namespace
} // namespace quillpost::test
