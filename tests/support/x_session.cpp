#include "x_session.h"

#include "platform/qt_x11/x11_properties.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

extern char **environ;

namespace quillpost::test {

namespace {

constexpr auto kPoll = 5ms;
constexpr auto kStopWait = 3s; // then SIGKILL: nothing waits on how a stopped process ends

std::runtime_error failure(const std::string &what)
{
    return std::runtime_error(what + (errno ? std::string(": ") + std::strerror(errno) : ""));
}

// Null-terminated pointers into `strings`, as posix_spawn takes them.
std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> p;
    for (auto &s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Descriptors without close-on-exec (Xvfb's -displayfd pipe) are inherited as they are.
pid_t start(std::vector<std::string> argv, const std::string &display)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0)
            env.emplace_back(*e);
    if (!display.empty())
        env.push_back("DISPLAY=" + display);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // Its own process group, so stopping it reaches everything it started.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!std::getenv("QUILLPOST_TEST_VERBOSE")) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    errno = posix_spawnp(&pid, argv.at(0).c_str(), &actions, &attributes, pointers(argv).data(),
        pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return errno == 0 ? pid : -1;
}

// Reads the display number Xvfb writes once it accepts connections.
std::string readDisplayNumber(int fd)
{
    std::string number;
    char c = 0;
    for (pollfd p { fd, POLLIN, 0 }; poll(&p, 1, kPatience.count()) > 0 && read(fd, &c, 1) == 1;) {
        if (c == '\n')
            return number;
        number += c;
    }
    return {};
}

// A fresh server has no check window until the manager announces itself.
bool windowManagerRuns(Display *d)
{
    const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    return x11::windowProperty(d, DefaultRootWindow(d), check).has_value();
}

// The manager announces itself before its event loop runs, and a window mapped in between is
// never managed; so the session is ready once a window we map is shown, whichever try it takes.
// Each try waits twice as long as the one before, as a busy machine may take seconds to show one.
bool windowManagerManages(Display *d, std::chrono::milliseconds &patience)
{
    const Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
    XMapWindow(d, probe);
    XSync(d, False);
    const bool shown = waitFor(
        [&] {
            XWindowAttributes attrs {};
            return XGetWindowAttributes(d, probe, &attrs) && attrs.map_state == IsViewable;
        },
        patience);
    patience *= 2;
    XDestroyWindow(d, probe);
    XSync(d, False);
    return shown;
}

} // namespace

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

std::string winePath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
}

Child::Child(Child &&other) noexcept
    : pid_(std::exchange(other.pid_, -1)), status_(std::exchange(other.status_, std::nullopt))
{
}

Child &Child::operator=(Child &&other) noexcept
{
    if (this != &other) {
        stop();
        pid_ = std::exchange(other.pid_, -1);
        status_ = std::exchange(other.status_, std::nullopt);
    }
    return *this;
}

Child::~Child()
{
    stop();
}

bool Child::running()
{
    if (pid_ <= 0 || status_)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_)
        status_ = status;
    return !status_;
}

std::optional<int> Child::wait(std::chrono::milliseconds timeout)
{
    if (pid_ <= 0)
        return std::nullopt;
    waitFor([this] { return !running(); }, timeout);
    return status_;
}

void Child::stop()
{
    if (pid_ <= 0)
        return;
    // Only while the leader is unreaped: after that its id may belong to someone else, unless
    // some of its group lives on (a sway stuck shutting down once its runuser has ended).
    if (running()) {
        kill(-pid_, SIGTERM);
        wait(kStopWait);
        kill(-pid_, SIGKILL);
        int status = 0;
        if (running())
            waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}

void DisplayCloser::operator()(_XDisplay *display) const
{
    if (display)
        XCloseDisplay(display);
}

TempDir::TempDir()
{
    std::string name = (std::filesystem::temp_directory_path() / "quillpost-test-XXXXXX").string();
    if (!mkdtemp(name.data()))
        throw failure("mkdtemp");
    path_ = name;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

XSession::XSession(Options options)
{
    // Xvfb inherits the write end, which we close at once, so no later child holds it open.
    int fds[2];
    if (pipe(fds) != 0)
        throw failure("pipe");
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    server_ = Child(start({ "Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                              "1280x800x24", "-nolisten", "tcp", "-noreset" },
        ""));
    close(fds[1]);
    const std::string number = server_.pid() > 0 ? readDisplayNumber(fds[0]) : std::string {};
    close(fds[0]);
    if (number.empty())
        throw std::runtime_error("Xvfb did not start (is it installed?)");
    display_ = ":" + number;

    connection_.reset(XOpenDisplay(display_.c_str()));
    if (!connection_)
        throw std::runtime_error("cannot connect to Xvfb on " + display_);

    if (options.windowManager) {
        windowManager_ = spawn({ "openbox", "--sm-disable" });
        auto probe = std::chrono::milliseconds(500ms);
        if (!waitFor([this] { return windowManagerRuns(connection()); })
            || !waitFor([&] { return windowManagerManages(connection(), probe); }))
            throw std::runtime_error("openbox did not start on " + display_);
    }
}

XSession::~XSession()
{
    connection_.reset();
    windowManager_.stop();
    server_.stop();
}

Connection XSession::connect() const
{
    Connection c(XOpenDisplay(display_.c_str()));
    if (!c)
        throw std::runtime_error("cannot connect to " + display_);
    return c;
}

bool onPath(const std::string &program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string shellQuoted(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Child spawnProgram(const std::vector<std::string> &argv, const std::string &display)
{
    const pid_t pid = start(argv, display);
    if (pid <= 0)
        throw failure("cannot start " + argv.at(0));
    return Child(pid);
}

Child XSession::spawn(const std::vector<std::string> &argv) const
{
    return spawnProgram(argv, display_);
}

int XSession::run(const std::vector<std::string> &argv, std::chrono::milliseconds timeout) const
{
    const pid_t pid = start(argv, display_);
    if (pid <= 0)
        return -1;
    Child child(pid);
    const auto status = child.wait(timeout);
    if (!status || !WIFEXITED(*status))
        return -1;
    return WEXITSTATUS(*status);
}

std::string XSession::keymap(const std::string &scratch) const
{
    std::filesystem::remove(scratch);
    if (run({ "xkbcomp", "-xkb", display_, scratch }) != 0)
        throw std::runtime_error("xkbcomp could not dump the keymap");
    return readFile(scratch);
}

} // namespace quillpost::test
