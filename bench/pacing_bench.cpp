// Runs the real program on Xvfb with openbox and measures how closely the lines of a file reach
// the client to the 1 s tick: the client is an xterm titled zMUD whose line_stamper records when
// each line's CR arrived. The file is loaded through the keyboard as a player would.
// Usage: pacing_bench [quillpost binary] [line_stamper binary]

#include "interrupt_guard.h"
#include "report.h"
#include "shown_window.h"

#include "platform/qt_x11/x11_windows.h"
#include "sending/loader.h"
#include "support/x_session.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace quillpost;
using namespace quillpost::bench;
using namespace std::chrono_literals;

namespace {

constexpr int kTicks = 30; // after the first line, which sets the schedule
constexpr double kTickSeconds = 1.0; // the program's default interval
constexpr const char *kBenchmark = "2. Tick pacing, 1 s × 30 ticks";

// Short, distinct, no leading blank and no "~": nothing a ROM server would change, so no box
// asks before the send.
std::vector<std::string> noteLines()
{
    std::vector<std::string> lines;
    for (int i = 1; i <= kTicks + 1; ++i)
        lines.push_back("pacing line " + std::to_string(i));
    return lines;
}

struct Arrival
{
    double seconds;
    std::string text;
};

std::vector<Arrival> readArrivals(const std::string &file)
{
    std::vector<Arrival> arrivals;
    std::ifstream in(file);
    std::string row;
    while (std::getline(in, row)) {
        std::istringstream fields(row);
        long long nanoseconds = 0;
        fields >> nanoseconds;
        fields.get(); // the space
        std::string text;
        std::getline(fields, text);
        arrivals.push_back({ static_cast<double>(nanoseconds) / 1e9, text });
    }
    return arrivals;
}

bool fail(const char *what)
{
    std::fprintf(stderr, "pacing_bench: %s\n", what);
    return false;
}

// Ctrl+O in the main window, the path into the dialog's file name field, Return.
bool loadThroughKeyboard(
    const test::XSession &session, x11::Windows &windows, const std::string &path)
{
    const auto mainWindow = waitForShownWindow(session.connection(), windows, kMainTitle, 20s);
    if (!mainWindow)
        return fail("the main window did not show");
    if (!windows.activate(*mainWindow) || !windows.waitForFocus(*mainWindow, 5s))
        return fail("the main window did not take the focus");
    if (session.run({ "xdotool", "key", "ctrl+o" }) != 0)
        return fail("xdotool key ctrl+o failed");
    const auto dialog = waitForShownWindow(session.connection(), windows, kSendDialogTitle, 10s);
    if (!dialog || !windows.waitForFocus(*dialog, 5s))
        return fail("the file dialog did not show with the focus");
    if (session.run({ "xdotool", "type", path }) != 0
        || session.run({ "xdotool", "key", "Return" }) != 0)
        return fail("xdotool could not type the path");
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    InterruptGuard guard;
    const std::string binary = argc > 1 ? argv[1] : QUILLPOST_BINARY;
    const std::string stamper = argc > 2 ? argv[2] : QUILLPOST_LINE_STAMPER;
    test::XSession session(test::XSession::Options { .windowManager = true });
    test::TempDir dir;
    x11::Windows windows(session.connection(), [](std::uint64_t) { return false; });

    const std::string stamps = dir.file("arrivals");
    test::Child client = session.spawn(
        { "xterm", "-title", "zMUD", "-geometry", "80x12+0+0", "-e", stamper, stamps });
    if (!test::waitFor([&] { return std::filesystem::exists(stamps); })
        || !waitForShownWindow(session.connection(), windows, "zMUD", 10s)) {
        fail("the zMUD xterm did not come up");
        return 1;
    }

    const std::vector<std::string> lines = noteLines();
    const std::string note = dir.file("pacing.txt");
    {
        std::ofstream out(note);
        for (const std::string &line : lines)
            out << line << '\n';
    }
    test::Child program = session.spawn({ binary });
    if (!loadThroughKeyboard(session, windows, note))
        return 1;

    std::vector<Arrival> arrivals;
    test::waitFor([&] { return (arrivals = readArrivals(stamps)).size() >= lines.size(); },
        std::chrono::seconds(kTicks + 15));
    if (arrivals.size() < lines.size()) {
        std::fprintf(
            stderr, "pacing_bench: %zu of %zu lines arrived\n", arrivals.size(), lines.size());
        return 1;
    }

    int exact = 0;
    std::vector<double> deviations, signedDeviations, intervalErrors;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        exact += arrivals[i].text == "note + " + lines[i];
        if (i == 0)
            continue;
        const double deviation
            = arrivals[i].seconds - arrivals[0].seconds - static_cast<double>(i) * kTickSeconds;
        signedDeviations.push_back(deviation);
        deviations.push_back(std::fabs(deviation));
        intervalErrors.push_back(
            std::fabs(arrivals[i].seconds - arrivals[i - 1].seconds - kTickSeconds));
    }
    const std::string counts
        = std::to_string(exact) + "/" + std::to_string(lines.size()) + " lines exact";
    printRow(kBenchmark, "arrival deviation from the schedule, median",
        duration(median(deviations)),
        "relative to the first line; signed median " + duration(median(signedDeviations)) + "; "
            + counts);
    printRow(kBenchmark, "arrival deviation from the schedule, p99",
        duration(percentile(deviations, 99)),
        "last line " + std::string(signedDeviations.back() > 0 ? "+" : "")
            + duration(signedDeviations.back()) + " off schedule");
    // Unlike the schedule, this does not carry the first line's own delay into every figure.
    printRow(kBenchmark, "line-to-line interval off 1 s, median / p99",
        duration(median(intervalErrors)) + " / " + duration(percentile(intervalErrors, 99)),
        std::to_string(kTicks) + " intervals");
    return 0;
}
