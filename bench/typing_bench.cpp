// Times one 250-character line typed into the same xterm by the Typist and by
// `xdotool type --delay 0`, from the start of the call until the terminal has every byte.
// Usage: typing_bench [layout] [rounds]   (starts its own Xvfb; needs xterm and xdotool)

#include "platform/qt_x11/x11_typist.h"
#include "platform/qt_x11/x11_windows.h"
#include "support/x_session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace quillpost;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kLineLength = 250;

std::string benchLine()
{
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                 "      .,;:'\"!?()-";
    std::mt19937 random(250);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string line;
    for (std::size_t i = 0; i < kLineLength; ++i)
        line += alphabet[pick(random)];
    return line;
}

struct Timing
{
    double returnedMs;
    double arrivedMs;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    const std::string layout = argc > 1 ? argv[1] : "us";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    test::XSession session;
    test::TempDir dir;
    if (session.run({ "setxkbmap", layout }) != 0) {
        std::fprintf(stderr, "setxkbmap %s failed\n", layout.c_str());
        return 1;
    }
    const std::string file = dir.file("received");
    test::Child terminal = session.spawn({ "xterm", "-fa", "DejaVu Sans Mono", "-fs", "10",
        "-title", "Bench", "-e", "sh", "-c", "stty raw -echo && exec cat > \"$0\"", file });
    x11::Windows windows(session.connection(), [](std::uint64_t) { return false; });
    Result<WindowId> window = Error { ErrorKind::NoWindow, "" };
    if (!test::waitFor([&] { return std::filesystem::exists(file); })
        || !test::waitFor([&] { return (window = windows.find("Bench")).ok(); })
        || !windows.activate(window.value()) || !windows.waitForFocus(window.value(), 5s)) {
        std::fprintf(stderr, "xterm did not come up\n");
        return 1;
    }

    const std::string line = benchLine();
    std::vector<KeyStroke> strokes;
    for (char c : line)
        strokes.push_back(KeyStroke::chr(c));
    strokes.push_back(KeyStroke::key(NamedKey::Enter));

    x11::Typist typist(session.connection());
    std::uintmax_t expected = 0;
    std::vector<double> typistReturned, typistArrived, xdotoolReturned, xdotoolArrived;
    std::size_t typistWrong = 0, xdotoolWrong = 0;
    // Counts a line as wrong unless exactly the line and one line break arrived (xdotool sends its
    // "\n" as LF, the Typist's Enter arrives as CR).
    auto arrived = [&](std::size_t &wrong) {
        const std::uintmax_t from = expected;
        expected += line.size() + 1;
        test::waitFor([&] { return std::filesystem::file_size(file) >= expected; }, 10s);
        std::ifstream in(file, std::ios::binary);
        const std::string all(
            (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string got = all.substr(from);
        if (got.size() != line.size() + 1 || got.compare(0, line.size(), line) != 0)
            ++wrong;
        expected = all.size();
    };
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        if (!typist.type(strokes).ok())
            ++typistWrong;
        typistReturned.push_back(msSince(start));
        arrived(typistWrong);
        typistArrived.push_back(msSince(start));

        start = Clock::now();
        if (session.run({ "xdotool", "type", "--delay", "0", line + "\n" }) != 0)
            ++xdotoolWrong;
        xdotoolReturned.push_back(msSince(start));
        arrived(xdotoolWrong);
        xdotoolArrived.push_back(msSince(start));
    }

    std::printf("%zu characters + Enter, layout %s, median of %d rounds\n", line.size(),
        layout.c_str(), rounds);
    std::printf("  Typist:                 returned %7.1f ms, all bytes in %7.1f ms, %zu wrong\n",
        median(typistReturned), median(typistArrived), typistWrong);
    std::printf("  xdotool type --delay 0: returned %7.1f ms, all bytes in %7.1f ms, %zu wrong\n",
        median(xdotoolReturned), median(xdotoolArrived), xdotoolWrong);
    return 0;
}
