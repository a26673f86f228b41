// Times one 250-character line and Enter typed into a native terminal on each Wayland desktop that
// starts here, headless (sway through the wlroots path, KWin through its fake input, gnome-shell
// through Quillpost's Shell extension), and into an
// xterm on Xvfb through the X11 Typist, until each terminal has read every byte. The sides take
// turns in blocks of rounds, so that all meet the same load.
// Usage: wayland_typing_bench [rounds]   (needs Xvfb, openbox, xterm; sway, foot and Xwayland for
// sway, kwin-wayland and weston for KWin, gnome-shell for GNOME; under root the user that
// scripts/install-deps makes). The extension answers a program named quillpost only, so the
// build names this one so, in a folder of its own.

#include "interrupt_guard.h"
#include "recording_terminal.h"
#include "report.h"

#include "platform/qt_x11/x11_typist.h"
#include "platform/wayland/native_desktop.h"
#include "support/wayland_session.h"
#include "support/x_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace quillpost;
using namespace quillpost::bench;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kLineLength = 250;
constexpr int kWarmUpRounds = 2; // the first glyphs, and the seat's first keys
constexpr int kBlock = 10; // rounds a side types before the next takes its turn
constexpr const char *kBenchmark = "7. 250-char line, Wayland desktops against X11";

struct Side
{
    std::string name;
    std::unique_ptr<RecordingTerminal> terminal;
    std::function<bool()> type = {};
    std::vector<Sample> samples = {};
};

// Types `count` rounds into the side's terminal, keeping those after the warm-up.
void typeBlock(Side &side, const std::string &line, int count, int warmUp)
{
    for (int round = 0; round < count; ++round) {
        std::string stray;
        if (side.terminal->readAvailable(stray) && round > warmUp)
            side.samples.back().exact = false; // bytes after the line break belong to the last
        const Sample sample = side.terminal->typeAndRead(line + '\r', side.type);
        if (round >= warmUp)
            side.samples.push_back(sample);
    }
    std::string stray;
    if (side.terminal->readAvailable(stray) && !side.samples.empty())
        side.samples.back().exact = false;
}

// The client window in front, once the desktop lists it.
bool bringForward(wl::NativeDesktop &desktop, WindowId &window)
{
    std::this_thread::sleep_for(1s); // a seat that has just gained a keyboard loses its first keys
    auto found = desktop.find("zMUD", nullptr);
    for (int tries = 0; !found && tries < 100; ++tries) {
        std::this_thread::sleep_for(100ms);
        found = desktop.find("zMUD", nullptr);
    }
    if (!found || !desktop.activate(found.value()) || !desktop.waitForActivated(found.value(), 10s))
        return false;
    window = found.value();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    InterruptGuard guard;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    std::mt19937 random(250);
    const std::string line = noteLine(random, kLineLength);
    const std::vector<KeyStroke> strokes = strokesOf(line + '\r');

    test::XSession session { test::XSession::Options { .windowManager = true } };
    test::TempDir dir;
    if (session.run({ "setxkbmap", "us" }) != 0) {
        std::fprintf(stderr, "setxkbmap us failed\n");
        return 1;
    }
    std::list<Side> sides;
    Side &x11 = sides.emplace_back(Side { "X11 Typist, into xterm on Xvfb",
        std::make_unique<RecordingTerminal>(session, dir, "Bench") });
    if (!x11.terminal->takeFocus(session)) {
        std::fprintf(stderr, "the xterm did not take the focus\n");
        return 1;
    }
    x11::Typist typist(session.connection());
    x11.type = [&] { return typist.type(strokes).ok(); };

    // Each desktop's own way in, as the program picks it; a desktop that cannot start says why.
    const std::pair<const test::WaylandDesktop *, const char *> desktops[] = {
        { &test::kSway, "wlroots path, into foot on sway" },
        { &test::kKwin, "KWin's fake input, into weston-terminal on KWin" },
        { &test::kGnome, "GNOME Shell extension, into foot on gnome-shell" },
    };
    std::list<std::unique_ptr<test::WaylandSession>> sessions;
    std::list<std::unique_ptr<wl::NativeDesktop>> typists;
    for (const auto &[desktop, name] : desktops) {
        try {
            sessions.push_back(desktop->start({}));
        } catch (const std::runtime_error &e) {
            printRow(kBenchmark, desktop->name, "not run", e.what());
            continue;
        }
        const test::WaylandSession &started = *sessions.back();
        Side &side = sides.emplace_back(Side { name,
            std::make_unique<RecordingTerminal>(started.file("keys"), "zMUD",
                [&started](const std::string &title, const std::vector<std::string> &recorder) {
                    return started.terminal(title, recorder);
                }) });
        setenv("WAYLAND_DISPLAY", started.socket().c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", started.bus().c_str(), 1);
        std::unique_ptr<wl::NativeDesktop> native;
        for (int tries = 0; tries < 100 && !(native = wl::connectNativeDesktop()); ++tries)
            std::this_thread::sleep_for(100ms); // the Shell names itself late
        WindowId window;
        if (!native || !bringForward(*native, window)) {
            std::fprintf(stderr, "%s's terminal did not take the keyboard\n", desktop->name);
            return 1;
        }
        wl::NativeDesktop &typist = *typists.emplace_back(std::move(native));
        side.type = [&typist, window, &strokes] { return typist.type(window, strokes).ok(); };
    }

    for (int done = 0; done < rounds; done += kBlock) {
        const int warmUp = done == 0 ? kWarmUpRounds : 0;
        const int count = std::min(kBlock, rounds - done) + warmUp;
        for (Side &side : sides)
            typeBlock(side, line, count, warmUp);
    }
    for (const Side &side : sides)
        reportArrivals(kBenchmark, side.name, side.samples);
    for (auto side = std::next(sides.begin()); side != sides.end(); ++side)
        printRow(kBenchmark, side->name.substr(0, side->name.find(',')) + " against X11",
            ratio(medianArrival(side->samples) / medianArrival(x11.samples)), "goal: within 2×");
    return 0;
}
