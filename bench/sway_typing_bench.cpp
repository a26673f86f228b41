// Times one 250-character line and Enter typed into a native terminal on a headless sway through
// the wlroots path (the program's own virtual keyboard, the activated state checked before every
// key), and into an xterm on Xvfb through the X11 Typist, until each terminal has read every byte.
// The two take turns in blocks of rounds, so that both meet the same load.
// Usage: sway_typing_bench [rounds]   (needs sway, foot, Xwayland, Xvfb, openbox, xterm; under
// root the user that scripts/install-deps makes)

#include "interrupt_guard.h"
#include "recording_terminal.h"
#include "report.h"

#include "platform/qt_x11/x11_typist.h"
#include "platform/wayland/wlroots_desktop.h"
#include "support/sway_session.h"
#include "support/x_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace quillpost;
using namespace quillpost::bench;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kLineLength = 250;
constexpr int kWarmUpRounds = 2; // the first glyphs, and the seat's first keys
constexpr int kBlock = 10; // rounds a side types before the other takes its turn
constexpr const char *kBenchmark = "7. 250-char line, sway against X11";

// Types `count` rounds into `terminal`, keeping those after the warm-up.
void typeBlock(RecordingTerminal &terminal, const std::string &line, int count, int warmUp,
    const std::function<bool()> &type, std::vector<Sample> &samples)
{
    for (int round = 0; round < count; ++round) {
        std::string stray;
        if (terminal.readAvailable(stray) && round > warmUp)
            samples.back().exact = false; // bytes after the line break belong to the last
        const Sample sample = terminal.typeAndRead(line + '\r', type);
        if (round >= warmUp)
            samples.push_back(sample);
    }
    std::string stray;
    if (terminal.readAvailable(stray) && !samples.empty())
        samples.back().exact = false;
}

} // namespace

int main(int argc, char **argv)
{
    InterruptGuard guard;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    if (const std::string why = test::SwaySession::unavailable(); !why.empty()) {
        printRow(kBenchmark, "not run", "—", why);
        return 0;
    }

    test::SwaySession sway;
    RecordingTerminal foot(sway.file("keys"), "zMUD",
        [&](const std::string &title, const std::vector<std::string> &recorder) {
            std::vector<std::string> argv { "foot", "--title", title };
            argv.insert(argv.end(), recorder.begin(), recorder.end());
            return sway.spawn(argv);
        });
    setenv("WAYLAND_DISPLAY", sway.socket().c_str(), 1);
    std::string lacking;
    auto desktop = wl::WlrootsDesktop::connect(&lacking);
    if (!desktop) {
        std::fprintf(stderr, "no wlroots desktop: %s\n", lacking.c_str());
        return 1;
    }
    std::this_thread::sleep_for(1s); // a seat that has just gained a keyboard loses its first keys
    const auto client = desktop->find("zMUD", nullptr);
    if (!client || !desktop->activate(client.value())
        || !desktop->waitForActivated(client.value(), 10s)) {
        std::fprintf(stderr, "the foot terminal did not take the keyboard\n");
        return 1;
    }

    test::XSession session { test::XSession::Options { .windowManager = true } };
    test::TempDir dir;
    if (session.run({ "setxkbmap", "us" }) != 0) {
        std::fprintf(stderr, "setxkbmap us failed\n");
        return 1;
    }
    RecordingTerminal xterm(session, dir, "Bench");
    if (!xterm.takeFocus(session)) {
        std::fprintf(stderr, "the xterm did not take the focus\n");
        return 1;
    }
    x11::Typist typist(session.connection());

    std::mt19937 random(250);
    const std::string line = noteLine(random, kLineLength);
    const std::vector<KeyStroke> strokes = strokesOf(line + '\r');
    std::vector<Sample> onSway, onX11;
    for (int done = 0; done < rounds; done += kBlock) {
        const int warmUp = done == 0 ? kWarmUpRounds : 0;
        const int count = std::min(kBlock, rounds - done) + warmUp;
        typeBlock(
            foot, line, count, warmUp, [&] { return desktop->type(client.value(), strokes).ok(); },
            onSway);
        typeBlock(
            xterm, line, count, warmUp, [&] { return typist.type(strokes).ok(); }, onX11);
    }
    reportArrivals(kBenchmark, "wlroots path, into foot on sway", onSway);
    reportArrivals(kBenchmark, "X11 Typist, into xterm on Xvfb", onX11);
    printRow(kBenchmark, "sway against X11 (ratio of the medians)",
        ratio(medianArrival(onSway) / medianArrival(onX11)), "goal: within 2×");
    return 0;
}
