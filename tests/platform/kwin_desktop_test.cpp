// The KDE Plasma path: keys planned on a layout's own keymap, then against a real KWin on a virtual
// output, windows found, activated and typed into through fake input, into weston terminals that
// record what they receive.
#include "platform/wayland/kwin_desktop.h"
#include "platform/wayland/kwin_layout_keys.h"
#include "support/focus_theft.h"
#include "support/kwin_session.h"
#include "support/printable.h"

#include "fake-input-client.h"

#include <gtest/gtest.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <memory>
#include <thread>

namespace quillpost::test {
namespace {

std::string without(std::string text, const std::string &characters)
{
    std::erase_if(text, [&](char c) { return characters.find(c) != std::string::npos; });
    return text;
}

void onGlobal(
    void *data, wl_registry *registry, std::uint32_t name, const char *interface, std::uint32_t)
{
    if (std::string_view(interface) == org_kde_kwin_fake_input_interface.name)
        *static_cast<org_kde_kwin_fake_input **>(data) = static_cast<org_kde_kwin_fake_input *>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}

void onGlobalRemove(void *, wl_registry *, std::uint32_t) { }

// Taps Caps Lock as the player would, through a fake keyboard of the test's own.
void tapCapsLock(const KwinSession &kwin)
{
    constexpr std::uint32_t kCapsLock = 58; // evdev
    const wl_registry_listener listener { onGlobal, onGlobalRemove };
    wl_display *display = wl_display_connect(kwin.socket().c_str());
    ASSERT_TRUE(display);
    org_kde_kwin_fake_input *input = nullptr;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &input);
    wl_display_roundtrip(display);
    ASSERT_TRUE(input);
    org_kde_kwin_fake_input_authenticate(input, "test", "Caps Lock");
    org_kde_kwin_fake_input_keyboard_key(input, kCapsLock, 1);
    org_kde_kwin_fake_input_keyboard_key(input, kCapsLock, 0);
    wl_display_roundtrip(display);
    org_kde_kwin_fake_input_destroy(input);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
}

struct LayoutRow
{
    const char *layout;
    const char *variant;
    std::string lacking; // what the layout cannot type, as the refusal names it
};

// Each planned press, replayed on a fresh keyboard state of the same map, gives its character.
TEST(LayoutKeys, PlansEveryCharacterTheLayoutHasAndNamesTheRest)
{
    const LayoutRow rows[]
        = { { "us", "", "" }, { "de", "", "^ `" }, { "fr", "", "" }, { "us", "dvorak", "" } };
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), xkb_context_unref);
    for (const LayoutRow &row : rows) {
        SCOPED_TRACE(std::string(row.layout) + "(" + row.variant + ")");
        const xkb_rule_names names { "evdev", "pc105", row.layout, row.variant, "" };
        std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
            xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS),
            xkb_keymap_unref);
        ASSERT_TRUE(keymap);
        std::unique_ptr<char, decltype(&std::free)> text(
            xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1), std::free);
        auto keys = wl::LayoutKeys::fromKeymap(text.get());
        ASSERT_TRUE(keys);

        const std::string all = printableAscii() + "\r";
        const auto refused = keys->plan(strokesOf(all));
        if (!row.lacking.empty()) {
            ASSERT_FALSE(refused);
            EXPECT_EQ(refused.error().kind, ErrorKind::Unmappable);
            EXPECT_EQ(refused.error().position, 0u);
            EXPECT_NE(refused.error().message.find(": " + row.lacking + "."), std::string::npos)
                << refused.error().message;
            continue;
        }
        ASSERT_TRUE(refused) << refused.error().message;
        const auto strokes = strokesOf(all);
        for (std::size_t i = 0; i < strokes.size(); ++i) {
            std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(
                xkb_state_new(keymap.get()), xkb_state_unref);
            for (const std::uint32_t held : refused.value()[i].hold)
                xkb_state_update_key(state.get(), held + 8, XKB_KEY_DOWN);
            const xkb_keycode_t key = refused.value()[i].key + 8;
            char typed[8] = {};
            xkb_state_key_get_utf8(state.get(), key, typed, sizeof typed);
            EXPECT_EQ(typed, std::string(1, strokes[i].character)) << "stroke " << i;
        }
    }
}

class KwinDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Tried once: a KWin that cannot start here would not start for any test.
        static const std::string why = [] {
            if (std::string missing = KwinSession::unavailable(); !missing.empty())
                return missing;
            try {
                KwinSession trial;
            } catch (const std::runtime_error &e) {
                return std::string(e.what());
            }
            return std::string();
        }();
        if (!why.empty())
            GTEST_SKIP() << "No KWin on this machine: " << why;
    }

    std::unique_ptr<KwinSession> start(KwinSession::Options options = {})
    {
        return std::make_unique<KwinSession>(std::move(options));
    }

    // The program's view of `kwin`, once `title` is among its windows.
    std::unique_ptr<wl::KwinDesktop> connect(const KwinSession &kwin, const std::string &title)
    {
        setenv("WAYLAND_DISPLAY", kwin.socket().c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", kwin.bus().c_str(), 1);
        std::string lacking;
        auto desktop = wl::KwinDesktop::connect(&lacking);
        if (!desktop)
            throw std::runtime_error("no KWin desktop: " + lacking);
        // The seat may have gained a keyboard in the fake input device: let its clients bind it.
        std::this_thread::sleep_for(1s);
        if (!waitFor([&] { return desktop->find(title, nullptr).ok(); }))
            throw std::runtime_error("no window titled " + title);
        return desktop;
    }
};

TEST_F(KwinDesktop, EveryCharacterTheLayoutHasArrivesCapsLockOrNotAndTheRestIsRefusedByName)
{
    // The last row's map has two layouts, and the player has switched to the second.
    for (const LayoutRow &row : { LayoutRow { "us", "", "" }, LayoutRow { "de", "", "^ `" },
             LayoutRow { "us,de", "", "^ `" } }) {
        SCOPED_TRACE(row.layout);
        auto kwin = start({ .layout = row.layout, .trusted = {} });
        const std::string got = kwin->file("got");
        Child client = kwin->recorder("zMUD", got);
        auto desktop = connect(*kwin, "zMUD");
        if (std::string(row.layout).find(',') != std::string::npos) {
            ASSERT_TRUE(kwin->run({ "env", "DBUS_SESSION_BUS_ADDRESS=" + kwin->bus(), "dbus-send",
                "--session", "--print-reply", "--dest=org.kde.keyboard", "/Layouts",
                "org.kde.KeyboardLayouts.setLayout", "uint32:1" }));
        }
        const auto window = desktop->find("zmud", nullptr).value();
        const std::string all = "note + " + printableAscii() + "\r" + printableAscii() + "\r";
        if (!row.lacking.empty()) {
            auto refused = typeInto(*desktop, window, all);
            ASSERT_FALSE(refused);
            EXPECT_EQ(refused.error().kind, ErrorKind::Unmappable);
            EXPECT_NE(refused.error().message.find(": " + row.lacking + "."), std::string::npos)
                << refused.error().message;
        }
        const std::string text = without(all, without(row.lacking, " "));
        ASSERT_TRUE(typeInto(*desktop, window, text));
        EXPECT_TRUE(waitFor([&] { return readFile(got).size() >= text.size(); }));
        EXPECT_EQ(readFile(got), text);
        // With Caps Lock on, letters still arrive in their own case.
        tapCapsLock(*kwin);
        ASSERT_TRUE(typeInto(*desktop, window, text));
        EXPECT_TRUE(waitFor([&] { return readFile(got).size() >= 2 * text.size(); }));
        EXPECT_EQ(readFile(got), text + text);
    }
}

TEST_F(KwinDesktop, KeysStopWhenAnotherWindowTakesTheKeyboardAndGoOnFromThere)
{
    auto kwin = start();
    const std::string got = kwin->file("got"), stolen = kwin->file("stolen");
    Child client = kwin->recorder("zMUD", got);
    Child thief = kwin->recorder("thief", stolen);
    auto desktop = connect(*kwin, "zMUD");
    auto other = connect(*kwin, "thief"); // another program, which takes the keyboard
    const auto window = desktop->find("zMUD", nullptr).value();

    expectTheStealStopsAtAKey(
        *desktop, window, got, stolen, [&] { other->activateTitled("thief"); });
}

} // namespace
} // namespace quillpost::test
