#include "recording_terminal.h"

#include "platform/qt_x11/x11_windows.h"

#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillpost::bench {

using namespace std::chrono_literals;

std::string noteLine(std::mt19937 &random, std::size_t length)
{
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                 "      .,;:'\"!?()-";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string line;
    for (std::size_t i = 0; i < length; ++i)
        line += alphabet[pick(random)];
    return line;
}

bool takeFocus(
    const test::XSession &session, const std::string &title, std::chrono::milliseconds timeout)
{
    x11::Windows windows(session.connection(), [](std::uint64_t) { return false; });
    Result<WindowId> window = Error { ErrorKind::NoWindow, "" };
    return test::waitFor([&] { return (window = windows.find(title)).ok(); }, timeout)
        && windows.activate(window.value()) && windows.waitForFocus(window.value(), 5s);
}

double medianArrival(const std::vector<Sample> &samples)
{
    std::vector<double> arrived;
    for (const Sample &s : samples)
        arrived.push_back(s.arrivedSeconds);
    return median(arrived);
}

void reportArrivals(const std::string &benchmark, const std::string &side,
    const std::vector<Sample> &samples, const std::string &more)
{
    std::vector<double> returned;
    int exact = 0;
    for (const Sample &s : samples) {
        returned.push_back(s.returnedSeconds);
        exact += s.exact;
    }
    printRow(benchmark, side + ", all bytes in (median of " + std::to_string(samples.size()) + ")",
        duration(medianArrival(samples)),
        "returned after " + duration(median(returned)) + "; " + std::to_string(exact) + "/"
            + std::to_string(samples.size()) + " exact" + more);
}

Sample RecordingTerminal::typeAndRead(
    const std::string &expected, const std::function<bool()> &type)
{
    const auto start = Clock::now();
    Sample sample;
    const bool typed = type();
    sample.returnedSeconds = secondsSince(start);
    std::string got;
    readUntil(got, expected.size(), start + kArrivalLimit);
    sample.arrivedSeconds = secondsSince(start);
    sample.exact = typed && got == expected;
    return sample;
}

RecordingTerminal::RecordingTerminal(
    const test::XSession &session, const test::TempDir &dir, const std::string &title)
    : RecordingTerminal(dir.file("keys-" + title), title,
        [&](const std::string &name, const std::vector<std::string> &recorder) {
            std::vector<std::string> argv { "xterm", "-fa", "DejaVu Sans Mono", "-fs", "10",
                "-title", name, "-e" };
            argv.insert(argv.end(), recorder.begin(), recorder.end());
            return session.spawn(argv);
        })
{
}

RecordingTerminal::RecordingTerminal(
    const std::string &fifo, const std::string &title, const Starter &start)
    : title_(title)
{
    // Open to all: the terminal may run as another user, as a Wayland session's does.
    if (mkfifo(fifo.c_str(), 0600) != 0 || chmod(fifo.c_str(), 0666) != 0)
        throw std::runtime_error("cannot make the FIFO " + fifo);
    // Read and write: with no writer yet, or between writers, a read-only end would report
    // end of file. Close-on-exec, or the terminal would hold it too.
    fd_ = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw std::runtime_error("cannot open the FIFO " + fifo);
    // The "R" comes only after stty, so once it is read the terminal is raw.
    process_ = start(
        title, { "sh", "-c", "stty raw -echo && exec >\"$0\" && printf R && exec cat", fifo });
    std::string ready;
    readUntil(ready, 1, Clock::now() + std::chrono::seconds(10));
    if (ready != "R") {
        close(fd_);
        throw std::runtime_error("the \"" + title + "\" terminal did not start its recorder");
    }
}

RecordingTerminal::~RecordingTerminal()
{
    process_.stop();
    close(fd_);
}

bool RecordingTerminal::readAvailable(std::string &into)
{
    char buffer[4096];
    bool any = false;
    for (;;) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            return any;
        into.append(buffer, static_cast<std::size_t>(n));
        any = true;
    }
}

void RecordingTerminal::readUntil(std::string &into, std::size_t size, Clock::time_point deadline)
{
    while (into.size() < size) {
        readAvailable(into);
        if (into.size() >= size)
            return;
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return;
        pollfd p { fd_, POLLIN, 0 };
        poll(&p, 1, static_cast<int>(left.count()) + 1);
    }
}

} // namespace quillpost::bench
