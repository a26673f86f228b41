#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace quillpost::noteserver::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

int msUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// Appends what `fd` delivers until `done(text)` holds, the peer closes, or the deadline passes.
template <class Done> std::string readUntil(int fd, Clock::time_point deadline, Done done)
{
    std::string text;
    while (!done(text)) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, msUntil(deadline)) <= 0)
            break;
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

std::size_t count(const std::string &text, const std::string &what)
{
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The real server, its stdout on a pipe; killed on every way out of the test.
class ServerProcess
{
public:
    explicit ServerProcess(const std::vector<std::string> &args)
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> all { QUILLPOST_NOTESERVER };
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &arg : all)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        stdout_ = out[0];
    }
    ~ServerProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (stdout_ >= 0)
            ::close(stdout_);
    }

    std::string firstLine(Clock::time_point deadline) const
    {
        return readUntil(stdout_, deadline,
            [](const std::string &t) { return t.find('\n') != std::string::npos; });
    }

    // SIGTERM, then the exit status once the process has ended.
    std::optional<int> stop(Clock::time_point deadline)
    {
        ::kill(pid_, SIGTERM);
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return status;
            }
            std::this_thread::sleep_for(5ms);
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
};

class Connection
{
public:
    explicit Connection(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~Connection() { ::close(fd_); }

    bool connected() const { return connected_; }
    bool send(const std::string &bytes) const
    {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL)
            == static_cast<ssize_t>(bytes.size());
    }
    // Everything up to and including the `prompts`-th prompt.
    std::string answers(std::size_t prompts, Clock::time_point deadline) const
    {
        return readUntil(
            fd_, deadline, [&](const std::string &t) { return count(t, "> ") >= prompts; });
    }

private:
    int fd_;
    bool connected_ = false;
};

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(NoteServerProcess, TakesTypedLinesOverLoopbackAndDumpsTheNote)
{
    const auto deadline = Clock::now() + 20s;
    const std::filesystem::path dir
        = testing::TempDir() + "/noteserver_socket_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::filesystem::path dump = dir / "draft.txt";

    ServerProcess server({ "--port", "0", "--pulse-ms", "10", "--dump", dump.string() });
    const std::string listening = server.firstLine(deadline);
    ASSERT_TRUE(listening.starts_with("listening on ")) << listening;
    const int port = std::stoi(listening.substr(13));

    Connection player(port);
    ASSERT_TRUE(player.connected());
    ASSERT_TRUE(player.answers(1, deadline).ends_with("> ")) << "no greeting";

    // Sent in one go as a fast typist would; the server still answers one line per pulse.
    ASSERT_TRUE(player.send("note to all\r\nnote subject Test\r\nnote +   Hello~world\r"
                            "note + \nnote + \t\xe9tab and accent\r\n"));
    std::string expected;
    for (int i = 0; i < 5; ++i)
        expected += "Ok.\n\r> ";
    EXPECT_EQ(player.answers(5, deadline), expected);
    const std::string text = "Hello-world\n\r\n\rtab and accent\n\r";
    EXPECT_EQ(readFile(dump), text);

    ASSERT_TRUE(player.send("note show\r\n"));
    EXPECT_EQ(player.answers(1, deadline), "Player: Test\n\rTo: all\n\r" + text + "> ");

    const std::optional<int> status = server.stop(deadline);
    ASSERT_TRUE(status) << "server did not stop on SIGTERM";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    EXPECT_EQ(readFile(dump), text);
    EXPECT_EQ(readFile(dump.string() + ".posted"), "");
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace quillpost::noteserver::test
