// Times one 250-character line typed into the same xterm by three typists in turn, round after
// round: XTest at its floor, Quillpost's Typist and `xdotool type --delay 0`. Each time runs from
// the start of the call until the terminal has read every byte; a round counts as exact only when
// the line and one line break arrived and nothing else.
// Usage: typing_bench [layout] [rounds]   (starts its own Xvfb; needs xterm and xdotool)

#include "interrupt_guard.h"
#include "recording_terminal.h"
#include "report.h"
#include "xtest_floor.h"

#include "platform/qt_x11/x11_typist.h"
#include "support/x_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace quillpost;
using namespace quillpost::bench;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kLineLength = 250;
constexpr int kWarmUpRounds = 2; // the first keymap reads and xterm's first glyphs
constexpr const char *kBenchmark = "1. 250-char line into xterm";

struct Contender
{
    std::string name;
    // Enter arrives as CR; xdotool types its "\n" through the Linefeed keysym, which xterm
    // sends as LF.
    char lineBreak;
    std::function<Sample(const std::string &expected)> typeOnce;
    std::vector<Sample> samples = {};
};

// Like the typists in this process, xdotool's bytes are read only once it has exited: reading
// them as they come would wake this process for every key, taking a core from the programs
// being measured on a small machine.
Sample typeWithXdotool(
    const test::XSession &session, RecordingTerminal &terminal, const std::string &expected)
{
    const auto start = Clock::now();
    Sample sample;
    test::Child xdotool = session.spawn({ "xdotool", "type", "--delay", "0", expected });
    // glibc 2.36's <sys/pidfd.h> lacks extern "C", so through syscall(2).
    const int exitFd = static_cast<int>(syscall(SYS_pidfd_open, xdotool.pid(), 0));
    if (exitFd >= 0) {
        pollfd p { exitFd, POLLIN, 0 };
        poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kArrivalLimit).count()));
        close(exitFd);
    }
    const auto status = xdotool.wait(kArrivalLimit);
    sample.returnedSeconds = secondsSince(start);
    std::string got;
    terminal.readUntil(got, expected.size(), start + kArrivalLimit);
    sample.arrivedSeconds = secondsSince(start);
    sample.exact = got == expected && status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    return sample;
}

// Per round, against the same round's reference: both ran in the same conditions.
double medianRatio(const std::vector<Sample> &of, const std::vector<Sample> &against)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < of.size(); ++i)
        ratios.push_back(of[i].arrivedSeconds / against[i].arrivedSeconds);
    return median(ratios);
}

void report(const std::vector<Contender> &contenders, int rounds)
{
    const Contender &floor = contenders[0];
    const Contender &xdotool = contenders[2];
    for (const Contender &c : contenders) {
        std::vector<double> arrived, returned;
        int exact = 0;
        for (const Sample &s : c.samples) {
            arrived.push_back(s.arrivedSeconds);
            returned.push_back(s.returnedSeconds);
            exact += s.exact;
        }
        std::string note
            = &c == &floor ? "the floor" : ratio(medianRatio(c.samples, floor.samples)) + " floor";
        if (&c != &xdotool)
            note += ", " + ratio(medianRatio(c.samples, xdotool.samples)) + " xdotool";
        note += "; returned after " + duration(median(returned)) + "; " + std::to_string(exact)
            + "/" + std::to_string(rounds) + " exact";
        printRow(kBenchmark, c.name + ", all bytes in (median of " + std::to_string(rounds) + ")",
            duration(median(arrived)), note);
    }
}

} // namespace

int main(int argc, char **argv)
{
    InterruptGuard guard;
    const std::string layout = argc > 1 ? argv[1] : "us";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    test::XSession session;
    test::TempDir dir;
    if (session.run({ "setxkbmap", layout }) != 0) {
        std::fprintf(stderr, "setxkbmap %s failed\n", layout.c_str());
        return 1;
    }
    RecordingTerminal terminal(session, dir, "Bench");
    if (!terminal.takeFocus(session)) {
        std::fprintf(stderr, "the xterm did not come up\n");
        return 1;
    }

    std::mt19937 random(250);
    const std::string line = noteLine(random, kLineLength);
    const auto floor = XTestFloor::forLine(session.connection(), line);
    if (!floor) {
        std::fprintf(stderr, "layout %s lacks a character of the line\n", layout.c_str());
        return 1;
    }
    const std::vector<KeyStroke> strokes = strokesOf(line + '\r');
    x11::Typist typist(session.connection());

    std::vector<Contender> contenders {
        { "XTest floor", '\r',
            [&](const std::string &expected) {
                return terminal.typeAndRead(expected, [&] {
                    floor->type(session.connection());
                    return true;
                });
            } },
        { "Typist", '\r',
            [&](const std::string &expected) {
                return terminal.typeAndRead(expected, [&] { return typist.type(strokes).ok(); });
            } },
        { "xdotool type --delay 0", '\n',
            [&](const std::string &expected) {
                return typeWithXdotool(session, terminal, expected);
            } },
    };

    for (Contender &c : contenders)
        c.samples.reserve(static_cast<std::size_t>(rounds)); // `previous` points into these
    Sample *previous = nullptr;
    for (int round = 0; round < kWarmUpRounds + rounds; ++round) {
        // Turn by turn, so that none always follows the same one.
        for (std::size_t k = 0; k < contenders.size(); ++k) {
            Contender &c = contenders[(static_cast<std::size_t>(round) + k) % contenders.size()];
            std::string stray;
            if (terminal.readAvailable(stray) && previous)
                previous->exact = false; // bytes after the line break belong to the last one
            Sample sample = c.typeOnce(line + c.lineBreak);
            if (round < kWarmUpRounds) {
                previous = nullptr;
                continue;
            }
            c.samples.push_back(sample);
            previous = &c.samples.back();
        }
    }
    std::string stray;
    if (terminal.readAvailable(stray) && previous)
        previous->exact = false;

    report(contenders, rounds);
    return 0;
}
