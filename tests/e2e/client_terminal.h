#pragma once

#include "desktop.h"
#include "support/x_session.h"

#include <chrono>
#include <string>

namespace quillpost::test {

// An xterm in the MUD client's place, titled like it: its terminal is raw and silent, and every
// byte it would send to the server is appended to a file, exactly as typed (Enter is CR).
class ClientTerminal
{
public:
    ClientTerminal(const XSession &session, const Desktop &desktop, const TempDir &dir,
        const std::string &title = "zMUD");

    XWindow window() const { return window_; }
    std::string received() const;
    // What arrived once at least `size` bytes have, or when `timeout` has passed.
    std::string receivedAtLeast(std::size_t size, std::chrono::milliseconds timeout = 15s) const;

private:
    std::string file_;
    Child process_;
    XWindow window_ = 0;
};

} // namespace quillpost::test
