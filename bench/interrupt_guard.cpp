#include "interrupt_guard.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillpost::bench {

namespace {

constexpr int kSignals[] = { SIGINT, SIGTERM, SIGHUP };

// A signal handler may only write(2); the thread at the other end of this pipe does the work.
// Static because a handler reaches nothing else.
int signalPipe[2] = { -1, -1 };

void onSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t ignored = write(signalPipe[1], &byte, 1);
}

std::vector<pid_t> children()
{
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator("/proc", ec)) {
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        // "pid (name) state ppid ...", and the name may hold spaces and parentheses.
        const auto close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        long parent = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %ld", &state, &parent) == 2
            && parent == getpid())
            found.push_back(static_cast<pid_t>(std::atol(text.c_str())));
    }
    return found;
}

void endChildren(int signal)
{
    for (pid_t child : children()) {
        kill(-child, SIGTERM);
        kill(child, SIGTERM);
    }
    for (int i = 0; i < 300 && !children().empty(); ++i) {
        while (waitpid(-1, nullptr, WNOHANG) > 0) { }
        usleep(10'000);
    }
    for (pid_t child : children()) {
        kill(-child, SIGKILL);
        kill(child, SIGKILL);
    }
    _exit(128 + signal);
}

} // namespace

InterruptGuard::InterruptGuard()
{
    if (pipe2(signalPipe, O_CLOEXEC) != 0)
        return;
    std::thread([] {
        char byte = 0;
        if (read(signalPipe[0], &byte, 1) == 1)
            endChildren(byte);
    }).detach();
    for (int signal : kSignals)
        std::signal(signal, onSignal);
}

InterruptGuard::~InterruptGuard()
{
    // Past here the destructors of main's locals have ended everything already.
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
}

} // namespace quillpost::bench
