#pragma once

#include "desktop.h"
#include "support/x_session.h"

#include <chrono>
#include <string>

namespace quillpost::test {

// A window in the MUD client's place, titled like it, that appends every byte typed into it to a
// file, exactly as typed (Enter is CR): an xterm whose terminal is raw and silent, or a Win32
// window under Wine.
class RecordingClient
{
public:
    struct Options
    {
        std::string title = "zMUD";
        // As a connected client does, the xterm changes its title after every line it receives,
        // to one that no longer begins with "zMUD".
        bool retitles = false;
        // The Win32 recorder to run under Wine in place of the xterm, and whether it takes the
        // front back every few milliseconds.
        std::string wineRecorder {};
        bool steals = false;
    };

    RecordingClient(
        const XSession &session, const Desktop &desktop, std::string file, const Options &options);

    XWindow window() const { return window_; }
    // Ends it, and waits until its window is gone.
    void close(const Desktop &desktop);
    std::string received() const;
    // What arrived once at least `size` bytes have, or when `timeout` has passed.
    std::string receivedAtLeast(std::size_t size, std::chrono::milliseconds timeout = 20s) const;
    // Whether nothing came after `at` within `period` (two ticks at the start interval).
    bool staysAt(const std::string &at, std::chrono::milliseconds period = 2500ms) const;

private:
    std::string file_;
    Child process_;
    XWindow window_ = 0;
};

} // namespace quillpost::test
