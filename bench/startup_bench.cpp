// Starts the real program on Xvfb with openbox a few times and measures the time from the start
// of the process to its main window shown, and its resident memory 2 s after the start.
// Usage: startup_bench [runs] [quillpost binary]

#include "interrupt_guard.h"
#include "report.h"
#include "shown_window.h"

#include "platform/qt_x11/x11_windows.h"
#include "support/x_session.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace quillpost;
using namespace quillpost::bench;
using namespace std::chrono_literals;

namespace {

constexpr auto kSettled = 2s;
constexpr const char *kBenchmark = "3. Start-up";

// VmRSS from /proc/<pid>/status, in bytes; -1 when the process is gone.
double residentBytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kibibytes = 0;
            status >> kibibytes;
            return kibibytes * 1024;
        }
        status.ignore(1 << 16, '\n');
    }
    return -1;
}

std::string range(const std::vector<double> &values, std::string (*format)(double))
{
    return "range " + format(percentile(values, 0)) + " – " + format(percentile(values, 100));
}

} // namespace

int main(int argc, char **argv)
{
    InterruptGuard guard;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string binary = argc > 2 ? argv[2] : QUILLPOST_BINARY;
    test::XSession session(test::XSession::Options { .windowManager = true });
    x11::Windows windows(session.connection(), [](std::uint64_t) { return false; });

    std::vector<double> shown, resident;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        test::Child program = session.spawn({ binary });
        if (!waitForShownWindow(session.connection(), windows, kMainTitle, 20s)) {
            std::fprintf(stderr, "startup_bench: the main window did not show\n");
            return 1;
        }
        shown.push_back(secondsSince(start));
        std::this_thread::sleep_until(start + kSettled);
        resident.push_back(residentBytes(program.pid()));
        program.stop();
        // The next run must not find this run's window.
        test::waitFor([&] { return !windows.find(kMainTitle).ok(); }, 5s);
    }

    const std::string runsNote = "median of " + std::to_string(runs) + ", ";
    printRow(kBenchmark, "process start to main window shown", duration(median(shown)),
        runsNote + range(shown, duration));
    printRow(kBenchmark, "resident memory (VmRSS) 2 s after start", mebibytes(median(resident)),
        runsNote + range(resident, mebibytes));
    return 0;
}
