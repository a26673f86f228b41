#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

struct _XDisplay;

// Real X servers for the tests that need a display: each session starts its own Xvfb on a free
// display, so tests can run side by side, and ends every process it started on every path.
namespace quillpost::test {

using namespace std::chrono_literals;

// A file's bytes; empty when it cannot be read.
std::string readFile(const std::string &path);

// The same file as a Windows program under Wine sees it, through the Z: drive.
std::string winePath(std::string path);

// How long the tests give a step they set going (a server or program to start, a window or menu to
// open, the focus to move, a process to end). On a shared machine under load that takes tens of
// seconds at times; waits end as soon as their condition holds, so only a failure waits this long.
constexpr std::chrono::milliseconds kPatience = 60s;

// Polls `done` until it holds or `timeout` has passed; whether it held.
bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout = kPatience);

// A started program in its own process group. Ending it ends the group (xterm's shell and what
// that runs too): SIGTERM, a bounded wait, then SIGKILL to what is left of the group, even when
// the leader has gone; the process is always reaped.
class Child
{
public:
    Child() = default;
    explicit Child(pid_t pid) : pid_(pid) { }
    Child(Child &&other) noexcept;
    Child &operator=(Child &&other) noexcept;
    ~Child();

    pid_t pid() const { return pid_; }
    bool running();
    // The exit status once it has exited, nullopt when it is still running after `timeout`.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    void stop();

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

bool onPath(const std::string &program);

std::string shellQuoted(const std::string &text);

// Starts a program (searched on PATH) on `display`, or with none.
Child spawnProgram(const std::vector<std::string> &argv, const std::string &display = "");

struct DisplayCloser
{
    void operator()(_XDisplay *display) const;
};
using Connection = std::unique_ptr<_XDisplay, DisplayCloser>;

// A directory under /tmp, removed with its contents.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

class XSession
{
public:
    struct Options
    {
        bool windowManager = false; // openbox, which provides EWMH
    };

    // Throws std::runtime_error when the server or the window manager does not come up.
    explicit XSession(Options options);
    XSession() : XSession(Options {}) { }
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    const std::string &display() const { return display_; }
    // The test's own connection, opened once the server is up and closed before it stops.
    _XDisplay *connection() const { return connection_.get(); }
    // Another connection, as another program would have.
    Connection connect() const;

    // Starts a program (searched on PATH) on this display; output goes to /dev/null unless
    // QUILLPOST_TEST_VERBOSE is set.
    Child spawn(const std::vector<std::string> &argv) const;
    // Runs a program to its end; its exit status, or -1 when it failed to start, was killed or
    // did not finish within `timeout`.
    int run(
        const std::vector<std::string> &argv, std::chrono::milliseconds timeout = kPatience) const;
    // The whole keyboard map as xkbcomp writes it, through the file `scratch`; throws when
    // xkbcomp fails.
    std::string keymap(const std::string &scratch) const;

private:
    std::string display_;
    Child server_;
    Child windowManager_;
    Connection connection_;
};

} // namespace quillpost::test
