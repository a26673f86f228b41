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
    struct Options
    {
        std::string title = "zMUD";
        // As a connected client does, it changes its title after every line it receives, to one
        // that no longer begins with "zMUD".
        bool retitles = false;
    };

    ClientTerminal(
        const XSession &session, const Desktop &desktop, const TempDir &dir, Options options);

    XWindow window() const { return window_; }
    // Closes it as a player would, and waits until its window is gone.
    void close(const Desktop &desktop);
    std::string received() const;
    // What arrived once at least `size` bytes have, or when `timeout` has passed.
    std::string receivedAtLeast(std::size_t size, std::chrono::milliseconds timeout = 15s) const;

private:
    std::string file_;
    Child process_;
    XWindow window_ = 0;
};

} // namespace quillpost::test
