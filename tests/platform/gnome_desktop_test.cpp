// The GNOME path against a real headless gnome-shell running Quillpost's Shell extension: windows
// found by title, activated, and typed into through the Shell's virtual keyboard, into foot
// terminals that record what they receive. The extension answers only a program named quillpost,
// so this test is built under that name.
#include "platform/wayland/gnome_desktop.h"
#include "platform/wayland/gnome_layout.h"
#include "support/focus_theft.h"
#include "support/gnome_session.h"
#include "support/printable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>

namespace quillpost::test {
namespace {

std::string without(std::string text, std::string_view characters)
{
    std::erase_if(text, [&](char c) { return characters.find(c) != std::string_view::npos; });
    return text;
}

TEST(GnomeLayout, RefusesWhatTheLayoutInEffectLacksNamingEachCharacterOnce)
{
    struct Case
    {
        wl::GnomeLayout layout;
        const char *refused; // "" when everything can be typed
    };
    const Case cases[] = {
        { { "us", "", "", 0 }, "" },
        { { "de", "", "", 0 }, "(de) has, and it has no key for these characters: ^ `." },
        { { "de,us", ",", "", 1 }, "" },
        { { "us,de", ",", "", 1 }, "(de) has, and it has no key for these characters: ^ `." },
        { { "de", "nodeadkeys", "", 0 }, "" },
        { { "ru", "", "", 0 },
            "(ru) has, and it has no key for these characters: # & ' < > @ A B C" },
    };
    const auto strokes = strokesOf(printableAscii() + printableAscii() + "\r");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.layout.layouts + " group " + std::to_string(c.layout.group));
        const Outcome checked = wl::checkLayout(c.layout, strokes);
        if (*c.refused == '\0') {
            EXPECT_TRUE(checked) << checked.error().message;
            continue;
        }
        ASSERT_FALSE(checked);
        EXPECT_EQ(checked.error().kind, ErrorKind::Unmappable);
        EXPECT_EQ(checked.error().position, 0u);
        EXPECT_NE(checked.error().message.find(c.refused), std::string::npos)
            << checked.error().message;
    }
}

class GnomeDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const std::string why = GnomeSession::unavailable(); !why.empty())
            GTEST_SKIP() << "No gnome-shell on this machine: " << why;
    }

    static void enter(const GnomeSession &gnome)
    {
        setenv("DBUS_SESSION_BUS_ADDRESS", gnome.bus().c_str(), 1);
        setenv("WAYLAND_DISPLAY", gnome.socket().c_str(), 1);
    }

    // The program's view of `gnome`, once `title` is among its windows.
    std::unique_ptr<wl::GnomeDesktop> connect(const GnomeSession &gnome, const std::string &title)
    {
        enter(gnome);
        std::unique_ptr<wl::GnomeDesktop> desktop;
        std::string lacking;
        if (!waitFor([&] { return (desktop = wl::GnomeDesktop::connect(&lacking)) != nullptr; }))
            throw std::runtime_error("the extension does not answer: " + lacking);
        if (!waitFor([&] { return desktop->find(title, nullptr).ok(); }))
            throw std::runtime_error("no window titled " + title);
        return desktop;
    }
};

TEST_F(GnomeDesktop, EveryCharacterOfTheLayoutArrivesAndTheRestIsRefusedWhole)
{
    for (const auto &[layout, lacks] : { std::pair { "us", "" }, std::pair { "de", "^`" } }) {
        SCOPED_TRACE(layout);
        GnomeSession gnome({ .layout = layout });
        const std::string got = gnome.file("got");
        Child client = gnome.recorder("zMUD", got);
        auto desktop = connect(gnome, "zMUD");
        const auto window = desktop->find("zmud", nullptr).value();
        EXPECT_EQ(desktop->describe(window)->windowClass, "foot");
        const std::string all = "note + " + printableAscii() + "\r" + printableAscii() + "\r";
        if (*lacks) {
            auto refused = typeInto(*desktop, window, all);
            ASSERT_FALSE(refused);
            EXPECT_EQ(refused.error().kind, ErrorKind::Unmappable);
            EXPECT_NE(refused.error().message.find(": ^ `."), std::string::npos)
                << refused.error().message;
        }
        const std::string text = without(all, lacks);
        ASSERT_TRUE(typeInto(*desktop, window, text));
        EXPECT_TRUE(waitFor([&] { return readFile(got).size() >= text.size(); }));
        EXPECT_EQ(readFile(got), text);
    }
}

TEST_F(GnomeDesktop, KeysStopWhenAnotherWindowTakesTheKeyboardAndGoOnFromThere)
{
    GnomeSession gnome;
    const std::string got = gnome.file("got"), stolen = gnome.file("stolen");
    Child client = gnome.recorder("zMUD", got);
    Child thief = gnome.recorder("thief", stolen);
    auto desktop = connect(gnome, "zMUD");
    auto other = connect(gnome, "thief"); // another connection, as the Shell's own would be
    const auto window = desktop->find("zMUD", nullptr).value();
    const auto thiefWindow = other->find("thief", nullptr).value();

    expectTheStealStopsAtAKey(
        *desktop, window, got, stolen, [&] { (void)other->activate(thiefWindow); }, true);
}

TEST_F(GnomeDesktop, AnswersTheQuillpostProgramOnly)
{
    GnomeSession gnome;
    enter(gnome);
    ASSERT_TRUE(waitFor([&] { return wl::GnomeDesktop::connect() != nullptr; }));
    Child gdbus = gnome.spawn({ "gdbus", "call", "--session", "--dest", "org.quillpost.Shell",
        "--object-path", "/org/quillpost/Shell", "--method", "org.quillpost.Shell1.Windows" });
    const auto status = gdbus.wait(kPatience);
    ASSERT_TRUE(status && WIFEXITED(*status));
    EXPECT_NE(WEXITSTATUS(*status), 0);
}

TEST_F(GnomeDesktop, WithoutTheExtensionThePlayerLearnsTheCommandThatEnablesIt)
{
    GnomeSession gnome({ .extension = false });
    enter(gnome);
    std::string lacking, advice;
    // The Shell owns its name a moment after its socket appears.
    ASSERT_TRUE(waitFor([&] {
        EXPECT_FALSE(wl::connectNativeDesktop(&lacking, &advice));
        return !advice.empty();
    })) << lacking;
    EXPECT_NE(advice.find("\ngnome-extensions enable quillpost@quillpost\n"), std::string::npos)
        << advice;
}

} // namespace
} // namespace quillpost::test
