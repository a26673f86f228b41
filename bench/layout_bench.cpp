// Times 250-character lines typed by Quillpost's Typist into an xterm on a US map and on a Russian
// one, which lacks every Latin letter: there each line goes through spare keycodes. Both layouts
// in the same run, in alternating blocks of lines; every line is new, as in a real note, and
// counts as exact only when it and one line break arrived and nothing else.
// Usage: layout_bench [lines per block]   (starts its own Xvfb; needs xterm)

#include "interrupt_guard.h"
#include "recording_terminal.h"
#include "report.h"

#include "platform/qt_x11/x11_typist.h"
#include "support/x_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace quillpost;
using namespace quillpost::bench;

namespace {

constexpr std::size_t kLineLength = 250;
constexpr int kBlocks = 2; // of each layout
constexpr const char *kBenchmark = "5. 250-char line, us and ru";

struct Samples
{
    std::vector<double> arrived;
    std::vector<double> first; // the first line after the layout changed
    int exact = 0;
    int lines = 0;
};

} // namespace

int main(int argc, char **argv)
{
    InterruptGuard guard;
    const int perBlock = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
    test::XSession session;
    test::TempDir dir;
    RecordingTerminal terminal(session, dir, "Bench");
    if (!terminal.takeFocus(session)) {
        std::fprintf(stderr, "the xterm did not come up\n");
        return 1;
    }

    std::mt19937 random(250);
    x11::Typist typist(session.connection());
    std::map<std::string, Samples> results;

    for (int block = 0; block < 2 * kBlocks; ++block) {
        const std::string layout = block % 2 == 0 ? "us" : "ru";
        if (session.run({ "setxkbmap", layout }) != 0) {
            std::fprintf(stderr, "setxkbmap %s failed\n", layout.c_str());
            return 1;
        }
        Samples &samples = results[layout];
        for (int n = 0; n < perBlock; ++n) {
            const std::string line = noteLine(random, kLineLength);
            const std::vector<KeyStroke> strokes = strokesOf(line + '\r');
            const Sample sample
                = terminal.typeAndRead(line + '\r', [&] { return typist.type(strokes).ok(); });
            std::string stray;
            terminal.readAvailable(stray);
            (n == 0 ? samples.first : samples.arrived).push_back(sample.arrivedSeconds);
            samples.exact += sample.exact && stray.empty();
            ++samples.lines;
        }
    }

    const double us = median(results["us"].arrived);
    const double ru = median(results["ru"].arrived);
    for (const auto &[layout, s] : results) {
        printRow(kBenchmark,
            layout + ", all bytes in (median of " + std::to_string(s.arrived.size()) + ")",
            duration(median(s.arrived)),
            (layout == "ru" ? ratio(ru / us) + " us; " : std::string())
                + "first line after the switch " + duration(median(s.first)) + "; "
                + std::to_string(s.exact) + "/" + std::to_string(s.lines) + " exact");
    }
    return 0;
}
