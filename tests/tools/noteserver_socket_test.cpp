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
#include <iterator>
#include <string>
#include <thread>

namespace quillpost::noteserver::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// What `fd` delivers until `end` has come `count` times, the peer closes or 10 s pass in silence.
std::string readUntil(int fd, const std::string &end, std::size_t count)
{
    std::string text;
    char buf[4096];
    for (std::size_t seen = 0; seen < count;) {
        pollfd p { fd, POLLIN, 0 };
        const ssize_t n = ::poll(&p, 1, 10'000) == 1 ? ::read(fd, buf, sizeof buf) : 0;
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
        seen = 0;
        for (auto at = text.find(end); at != std::string::npos; at = text.find(end, at + 1))
            ++seen;
    }
    return text;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

// The real server, its stdout on a pipe, killed on every way out of the test.
struct Server
{
    explicit Server(const std::string &dump)
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        if ((pid = ::fork()) == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::execl(QUILLPOST_NOTESERVER, QUILLPOST_NOTESERVER, "--port", "0", "--pulse-ms", "10",
                "--dump", dump.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(out[1]);
        stdoutFd = out[0];
    }
    ~Server()
    {
        if (pid > 0 && ::kill(pid, SIGKILL) == 0)
            ::waitpid(pid, nullptr, 0);
        ::close(stdoutFd);
        ::close(player);
    }

    pid_t pid = -1;
    int stdoutFd = -1;
    int player = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
};

TEST(NoteServerProcess, TakesTypedLinesOverLoopbackAndDumpsTheNote)
{
    const std::filesystem::path dir
        = testing::TempDir() + "/noteserver_socket_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string dump = dir / "draft.txt";

    Server server(dump);
    const std::string listening = readUntil(server.stdoutFd, "\n", 1);
    ASSERT_TRUE(listening.starts_with("listening on ")) << listening;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(listening.substr(13))));
    ASSERT_EQ(::connect(server.player, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const auto send = [&](const std::string &bytes, std::size_t answers) {
        EXPECT_EQ(::send(server.player, bytes.data(), bytes.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(bytes.size()));
        return readUntil(server.player, "> ", answers);
    };
    ASSERT_TRUE(send("", 1).ends_with("> ")) << "no greeting";

    // Sent in one go as a fast typist would; the server still answers one line per pulse.
    EXPECT_EQ(send("note to all\r\nnote subject Test\r\nnote +   Hello~world\rnote + \n", 4),
        "Ok.\n\r> Ok.\n\r> Ok.\n\r> Ok.\n\r> ");
    const std::string text = "Hello-world\n\r\n\r";
    EXPECT_EQ(readFile(dump), text);
    EXPECT_EQ(send("note post\r\n", 1), "> ");
    EXPECT_EQ(readFile(dump), "");
    const std::string posted = readFile(dump + ".posted");
    EXPECT_TRUE(posted.starts_with("Spool   note~\nSender  Player~\n")) << posted;
    EXPECT_TRUE(posted.ends_with("Subject Test~\nText\n" + text + "~\n")) << posted;
    EXPECT_FALSE(std::filesystem::exists(dump + ".tmp"));

    ::kill(server.pid, SIGTERM);
    int status = 0;
    pid_t ended = 0;
    for (const auto deadline = Clock::now() + 10s;
         (ended = ::waitpid(server.pid, &status, WNOHANG)) == 0 && Clock::now() < deadline;)
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(ended, server.pid) << "server did not stop on SIGTERM";
    server.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace quillpost::noteserver::test
