#pragma once

#include "platform/send_keys.h"
#include "report.h"
#include "support/x_session.h"

#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace quillpost::bench {

// How long a typed line may take to arrive before a bench counts it as lost.
constexpr auto kArrivalLimit = std::chrono::seconds(10);

// A line of `length` characters as a note has them: letters, digits, blanks and punctuation.
std::string noteLine(std::mt19937 &random, std::size_t length);

// Brings the window titled `title` to the front, once there is one within `timeout`, and waits
// until it has the keyboard focus; whether it came.
bool takeFocus(const test::XSession &session, const std::string &title,
    std::chrono::milliseconds timeout = std::chrono::seconds(10));

struct Sample
{
    double returnedSeconds = 0;
    double arrivedSeconds = 0;
    bool exact = false;
};

double medianArrival(const std::vector<Sample> &samples);
// One row for `side`: the median arrival, the median return and how many were exact.
void reportArrivals(const std::string &benchmark, const std::string &side,
    const std::vector<Sample> &samples, const std::string &more = {});

// An xterm whose raw, silent terminal passes every byte typed into it through a FIFO to this
// process, so that the bench wakes on the byte itself: polling a file would add its poll period
// to every figure.
class RecordingTerminal
{
public:
    // Starts the terminal titled `title` running `recorder`, the command that records.
    using Starter = std::function<test::Child(
        const std::string &title, const std::vector<std::string> &recorder)>;

    // Throws std::runtime_error when the terminal does not come up.
    RecordingTerminal(
        const test::XSession &session, const test::TempDir &dir, const std::string &title);
    // Any terminal, through a FIFO at `fifo` that its user can open.
    RecordingTerminal(const std::string &fifo, const std::string &title, const Starter &start);
    ~RecordingTerminal();
    RecordingTerminal(const RecordingTerminal &) = delete;
    RecordingTerminal &operator=(const RecordingTerminal &) = delete;

    // Brings the terminal to the front and waits until it has the keyboard focus; whether it
    // came.
    bool takeFocus(const test::XSession &session) const
    {
        return bench::takeFocus(session, title_);
    }

    // Times `type`, which types `expected` in this process, from its start until the terminal
    // has read every byte: they can only be read once the call has returned.
    Sample typeAndRead(const std::string &expected, const std::function<bool()> &type);

    // The FIFO's read end, for poll(2) alongside other descriptors.
    int descriptor() const { return fd_; }
    // Appends what is there now, without waiting; whether anything came.
    bool readAvailable(std::string &into);
    // Reads until `into` holds `size` bytes or `deadline` passes.
    void readUntil(std::string &into, std::size_t size, Clock::time_point deadline);

private:
    std::string title_;
    int fd_ = -1;
    test::Child process_;
};

} // namespace quillpost::bench
