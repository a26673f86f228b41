// Times one 250-character line and Enter typed by each program's typing layer on one display:
// the Windows program's, under Wine, into the Win32 recorder window, until the recorder has
// written every byte to its file; and the Linux one, into an xterm, until the terminal has read
// every byte. The two take turns in blocks of rounds, so that both meet the same load.
// Usage: wine_typing_bench WINDOWS_BUILD [rounds]   (WINDOWS_BUILD: the `windows` preset's
// folder, with quillpost_win32_typing_bench and the recorder built; needs Wine, Xvfb, openbox,
// xterm)

#include "interrupt_guard.h"
#include "recording_terminal.h"
#include "report.h"

#include "platform/qt_x11/x11_typist.h"
#include "support/x_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace quillpost;
using namespace quillpost::bench;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kLineLength = 250;
constexpr int kWarmUpRounds = 2; // the first glyphs, and Wine's first keys
constexpr int kBlock = 10; // rounds a side types before the other takes its turn
constexpr const char *kBenchmark = "6. 250-char line, Wine against Linux";
constexpr const char *kRecorderTitle = "Wine recorder";
constexpr auto kWineStart = 60s; // a fresh prefix starts its services first

// The Windows side's rows, "returned arrived exact", from the warm-up on.
std::vector<Sample> readSamples(const std::string &file)
{
    std::ifstream in(file);
    std::vector<Sample> samples;
    Sample s;
    int exact = 0;
    while (in >> s.returnedSeconds >> s.arrivedSeconds >> exact) {
        s.exact = exact == 1;
        samples.push_back(s);
    }
    return samples;
}

} // namespace

int main(int argc, char **argv)
{
    InterruptGuard guard;
    if (argc < 2) {
        std::fprintf(stderr, "usage: wine_typing_bench WINDOWS_BUILD [rounds]\n");
        return 2;
    }
    const std::string build = std::filesystem::absolute(argv[1]).string();
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    const std::string typer = build + "/bench/win32/quillpost_win32_typing_bench.exe";
    const std::string recorderExe = build + "/tools/win32_recorder/quillpost_win32_recorder.exe";
    for (const std::string &exe : { typer, recorderExe })
        if (!std::filesystem::exists(exe)) {
            std::fprintf(stderr, "%s is not built\n", exe.c_str());
            return 1;
        }
    // A prefix of the bench's own, so that it never meets a test's Wine programs.
    const std::string prefix = build + "/bench-wineprefix";
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);

    test::XSession session { test::XSession::Options { .windowManager = true } };
    test::TempDir dir;
    if (session.run({ "setxkbmap", "us" }) != 0) {
        std::fprintf(stderr, "setxkbmap us failed\n");
        return 1;
    }
    if (!std::filesystem::exists(prefix + "/system.reg")
        && session.run({ "wineboot", "-i" }, 120s) != 0) {
        std::fprintf(stderr, "wineboot could not make the prefix %s\n", prefix.c_str());
        return 1;
    }

    std::mt19937 random(250);
    const std::string line = noteLine(random, kLineLength);
    const std::string lineFile = dir.file("line.txt");
    const std::string recorded = dir.file("recorded.txt");
    const std::string results = dir.file("results.txt");
    std::ofstream(lineFile) << line << "\n";
    std::ofstream { recorded };
    test::Child recorder
        = session.spawn({ "wine", recorderExe, test::winePath(recorded), kRecorderTitle });
    RecordingTerminal terminal(session, dir, "Bench");
    if (!takeFocus(session, kRecorderTitle, kWineStart)) {
        std::fprintf(stderr, "the Win32 recorder did not come up\n");
        return 1;
    }

    const std::vector<KeyStroke> strokes = strokesOf(line + '\r');
    x11::Typist typist(session.connection());

    std::vector<Sample> wine, onLinux;
    std::uintmax_t linesTyped = 0; // by the Windows side, warm-up included
    for (int done = 0; done < rounds; done += kBlock) {
        const int warmUp = done == 0 ? kWarmUpRounds : 0;
        const int count = std::min(kBlock, rounds - done) + warmUp;

        // The recorder takes the X focus first: Wine gives it the front only once it has seen
        // that, and the typist waits until it has.
        if (!takeFocus(session, kRecorderTitle)) {
            std::fprintf(stderr, "the Win32 recorder did not take the focus\n");
            return 1;
        }
        const int status = session.run(
            { "sh", "-c", "exec \"$@\" >\"$0\"", results, "wine", typer, test::winePath(lineFile),
                test::winePath(recorded), kRecorderTitle, std::to_string(count) },
            120s);
        const std::vector<Sample> block = readSamples(results);
        if (status != 0 || static_cast<int>(block.size()) != count) {
            std::fprintf(stderr, "the Windows typist failed (exit %d, %zu of %d lines)\n", status,
                block.size(), count);
            return 1;
        }
        wine.insert(wine.end(), block.begin() + warmUp, block.end());
        linesTyped += count;

        if (!terminal.takeFocus(session)) {
            std::fprintf(stderr, "the xterm did not take the focus\n");
            return 1;
        }
        for (int round = 0; round < count; ++round) {
            std::string stray;
            if (terminal.readAvailable(stray) && round > warmUp)
                onLinux.back().exact = false; // bytes after the line break belong to the last
            const Sample sample
                = terminal.typeAndRead(line + '\r', [&] { return typist.type(strokes).ok(); });
            if (round >= warmUp)
                onLinux.push_back(sample);
        }
        std::string stray;
        if (terminal.readAvailable(stray))
            onLinux.back().exact = false;
    }

    recorder.stop();
    // Each block reads on from where the recorder's file ended when it began: a byte that came
    // between blocks shows only here.
    const auto stray = static_cast<long long>(std::filesystem::file_size(recorded))
        - static_cast<long long>(linesTyped * (line.size() + 1));
    session.run({ "wineserver", "-k" });
    reportArrivals(kBenchmark, "Windows typist under Wine, into the Win32 recorder", wine,
        stray == 0 ? "" : "; the recorder's file is off by " + std::to_string(stray) + " bytes");
    reportArrivals(kBenchmark, "Linux Typist, into xterm", onLinux);
    printRow(kBenchmark, "Wine against Linux (ratio of the medians)",
        ratio(medianArrival(wine) / medianArrival(onLinux)));
    return 0;
}
