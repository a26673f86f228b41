// The Wayland typing paths: what GNOME's layout in effect lacks, then on each real desktop,
// headless, the program's backend for it finding, activating and typing into terminals that record
// what they receive. The GNOME extension answers only a program named quillpost: this test is one.
#include "platform/wayland/gnome_layout.h"
#include "platform/wayland/native_desktop.h"
#include "support/printable.h"
#include "support/wayland_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>

namespace quillpost::test {
namespace {

TEST(GnomeLayout, RefusesWhatTheLayoutInEffectLacksNamingEachCharacterOnce)
{
    const std::pair<wl::GnomeLayout, const char *> cases[] = {
        // "": everything can be typed. (us and de alone are the GNOME rows of Wayland/Lines.)
        { { "de,us", ",", "", 1 }, "" },
        { { "us,de", ",", "", 1 }, "(de) has, and it has no key for these characters: ^ `." },
        { { "de", "nodeadkeys", "", 0 }, "" },
        { { "ru", "", "", 0 },
            "(ru) has, and it has no key for these characters: # & ' < > @ A B C" },
    };
    const auto strokes = strokesOf(printableAscii() + printableAscii() + "\r");
    for (const auto &[layout, refused] : cases) {
        SCOPED_TRACE(layout.layouts + " group " + std::to_string(layout.group));
        const Outcome checked = wl::checkLayout(layout, strokes);
        if (*refused == '\0') {
            EXPECT_TRUE(checked) << checked.error().message;
            continue;
        }
        ASSERT_FALSE(checked);
        EXPECT_EQ(checked.error().kind, ErrorKind::Unmappable);
        EXPECT_EQ(checked.error().position, 0u);
        EXPECT_NE(checked.error().message.find(refused), std::string::npos)
            << checked.error().message;
    }
}

struct Row
{
    const WaylandDesktop *desktop;
    std::string appId = "foot"; // of the recording terminal, as the desktop names it
    // The keys on their way when the window lost the keyboard reach no window, and count as not
    // typed.
    bool holdsKeysOnTheWay = false;
    friend void PrintTo(const Row &row, std::ostream *os) { *os << row.desktop->name; }
};

const Row kSwayRow { &kSway }, kKwinRow { &kKwin, "org.freedesktop.weston.wayland-terminal" },
    kGnomeRow { &kGnome, "foot", true };

class Thefts : public ::testing::TestWithParam<Row>
{
protected:
    void SetUp() override
    {
        try {
            session_ = GetParam().desktop->start({});
        } catch (const std::runtime_error &e) {
            GTEST_SKIP() << GetParam().desktop->name << " does not start here: " << e.what();
        }
    }

    // The program's backend for the desktop, as it picks one for the player.
    void connect()
    {
        setenv("WAYLAND_DISPLAY", session_->socket().c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", session_->bus().c_str(), 1);
        std::string lacking;
        if (!waitFor([&] { return (desktop_ = wl::connectNativeDesktop(&lacking)) != nullptr; }))
            throw std::runtime_error("no backend for the desktop: " + lacking);
        // The keyboard it may have made is new to the seat, which loses the first keys of one.
        std::this_thread::sleep_for(1s);
    }

    WindowId windowTitled(const std::string &title)
    {
        Result<WindowId> found = Error { ErrorKind::NoWindow, "" };
        if (!waitFor([&] { return (found = desktop_->find(title, nullptr)).ok(); }))
            throw std::runtime_error("no window titled " + title);
        return found.value();
    }

    std::unique_ptr<WaylandSession> session_;
    std::unique_ptr<wl::NativeDesktop> desktop_;
};

// Asked again while it waits: a loaded desktop may drop an activation while it still animates.
void bringForward(wl::NativeDesktop &desktop, WindowId window)
{
    ASSERT_TRUE(waitFor([&] {
        return desktop.activate(window)
            && desktop.waitForActivated(window, std::chrono::seconds(2));
    })) << "the window did not come to the front";
}

// Another window, "thief", takes the keyboard through the desktop's own way. Before a line, nothing
// is typed and the message names it. Mid-line (lines going on until one stops), what arrived
// anywhere is the text up to the first key not typed: the one key already on its way may land in
// the thief's, and only that one, unless the desktop holds it. Once the client is in front again
// the rest arrives.
TEST_P(Thefts, KeysStopWhenAnotherWindowTakesTheKeyboardAndGoOnFromThere)
{
    const std::string got = session_->file("got"), stolen = session_->file("stolen");
    Child client = session_->recorder("zMUD", got);
    Child thiefClient = session_->recorder("thief", stolen);
    connect();
    const WindowId window = windowTitled("zMUD"), thief = windowTitled("thief");
    EXPECT_EQ(desktop_->describe(window)->windowClass, GetParam().appId);
    ASSERT_TRUE(waitFor([&] {
        return session_->focus("thief")
            && desktop_->waitForActivated(thief, std::chrono::seconds(2)).ok();
    }));
    auto held = desktop_->type(window, strokesOf("note + x\r"));
    ASSERT_FALSE(held);
    EXPECT_EQ(held.error().kind, ErrorKind::FocusLost);
    EXPECT_EQ(held.error().position, 0u);
    EXPECT_NE(held.error().message.find("\"thief\" has it"), std::string::npos);

    const std::string line = printableAscii();
    bringForward(*desktop_, window);
    std::thread thiefThread([&] {
        waitFor([&] { return readFile(got).size() >= 200; });
        session_->focus("thief");
    });
    std::string typed; // every line typed whole
    Outcome stopped = Ok {};
    const auto strokes = strokesOf(line);
    waitFor([&] {
        if ((stopped = desktop_->type(window, strokes)))
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
    EXPECT_LE(readFile(stolen).size(), GetParam().holdsKeysOnTheWay ? 0u : 1u);
    EXPECT_EQ(readFile(got) + readFile(stolen), typed + line.substr(0, at));

    const std::string before = readFile(got);
    bringForward(*desktop_, window);
    ASSERT_TRUE(desktop_->type(window, std::span(strokes).subspan(at)));
    EXPECT_TRUE(waitFor([&] { return readFile(got).size() >= before.size() + line.size() - at; }));
    EXPECT_EQ(readFile(got), before + line.substr(at));
}

INSTANTIATE_TEST_SUITE_P(Wayland, Thefts, ::testing::Values(kSwayRow, kKwinRow, kGnomeRow));

using GnomeShell = Thefts;

TEST_P(GnomeShell, TheExtensionServesQuillpostOnlyAndItsAbsenceIsExplained)
{
    connect();
    EXPECT_FALSE(session_->run({ "gdbus", "call", "--session", "--dest", "org.quillpost.Shell",
        "--object-path", "/org/quillpost/Shell", "--method", "org.quillpost.Shell1.Windows" }));

    session_.reset();
    session_ = kGnome.start({ .extension = false });
    setenv("WAYLAND_DISPLAY", session_->socket().c_str(), 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", session_->bus().c_str(), 1);
    std::string lacking, advice;
    // The Shell owns its name a moment after its socket appears.
    ASSERT_TRUE(waitFor([&] {
        EXPECT_FALSE(wl::connectNativeDesktop(&lacking, &advice));
        return !advice.empty();
    })) << lacking;
    EXPECT_NE(advice.find("\ngnome-extensions enable quillpost@quillpost\n"), std::string::npos)
        << advice;
}

INSTANTIATE_TEST_SUITE_P(Wayland, GnomeShell, ::testing::Values(kGnomeRow));

} // namespace
} // namespace quillpost::test
