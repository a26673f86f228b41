#pragma once

namespace quillpost::bench {

// XSession starts Xvfb, openbox, xterms and the program each in its own process group, so an
// interrupt (Ctrl+C, or bench/run's trap) that ends the bench before its destructors run would
// leave them all running. While a guard lives, SIGINT, SIGTERM and SIGHUP end every process this
// one started, group and all, before the bench exits. One per process, made first in main.
class InterruptGuard
{
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;
};

} // namespace quillpost::bench
