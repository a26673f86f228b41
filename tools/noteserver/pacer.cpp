#include "pacer.h"

namespace quillpost::noteserver {

Pacer::Pacer(std::chrono::milliseconds period) : period_(period) { }

bool Pacer::due(Clock::time_point now) const
{
    return !next_ || now >= *next_;
}

void Pacer::pulseStarted(Clock::time_point now)
{
    next_ = now + period_;
}

std::chrono::milliseconds Pacer::untilNext(Clock::time_point now) const
{
    if (due(now))
        return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(*next_ - now);
}

} // namespace quillpost::noteserver
