#pragma once

#include <chrono>
#include <optional>

namespace quillpost::noteserver {

// When the next pulse is due. Like ROM's game loop, the next pulse comes one period after the
// last one began; a late pulse is not made up for with a burst of quick ones.
class Pacer
{
public:
    using Clock = std::chrono::steady_clock;

    explicit Pacer(std::chrono::milliseconds period);

    bool due(Clock::time_point now) const;
    void pulseStarted(Clock::time_point now);
    // How long to wait before the next pulse is due, rounded up: a wait rounded down to zero
    // would have the caller spin until the pulse really is due.
    std::chrono::milliseconds untilNext(Clock::time_point now) const;

private:
    std::chrono::milliseconds period_;
    std::optional<Clock::time_point> next_; // none before the first pulse, which is due at once
};

} // namespace quillpost::noteserver
