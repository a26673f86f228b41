// What the end-to-end suites do not show of the real server: lines that arrive in one read, the
// posted-notes file, and a clean stop on SIGTERM.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace quillpost::noteserver::test {
namespace {

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

TEST(NoteServerProcess, AnswersEachLineOfOneReadPostsTheNoteAndStopsCleanly)
{
    const std::filesystem::path dir
        = testing::TempDir() + "/noteserver_socket_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string dump = dir / "draft.txt";
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execl(QUILLPOST_NOTESERVER, QUILLPOST_NOTESERVER, "--port", "0", "--pulse-ms", "10",
            "--dump", dump.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    const int player = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Killed on every way out of the test; a no-op once it has stopped on SIGTERM.
    const std::shared_ptr<void> cleanup(nullptr, [&](void *) {
        if (::kill(pid, SIGKILL) == 0)
            ::waitpid(pid, nullptr, 0);
        ::close(out[0]);
        ::close(player);
        std::filesystem::remove_all(dir);
    });

    const std::string listening = readUntil(out[0], "\n", 1);
    ASSERT_TRUE(listening.starts_with("listening on ")) << listening;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(listening.substr(13))));
    ASSERT_EQ(::connect(player, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const auto send = [&](const std::string &bytes, std::size_t answers) {
        EXPECT_EQ(::send(player, bytes.data(), bytes.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(bytes.size()));
        return readUntil(player, "> ", answers);
    };
    ASSERT_TRUE(send("", 1).ends_with("> ")) << "no greeting";

    EXPECT_EQ(send("note to all\r\nnote subject Test\r\nnote + Hello\rnote + \n", 4),
        "Ok.\n\r> Ok.\n\r> Ok.\n\r> Ok.\n\r> ");
    EXPECT_EQ(readFile(dump), "Hello\n\r\n\r");
    EXPECT_EQ(send("note post\r\n", 1), "> ");
    EXPECT_EQ(readFile(dump), "");
    const std::string posted = readFile(dump + ".posted");
    EXPECT_TRUE(posted.ends_with("Subject Test~\nText\nHello\n\r\n\r~\n")) << posted;
    EXPECT_FALSE(std::filesystem::exists(dump + ".tmp"));

    ::kill(pid, SIGTERM);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 1000 && (ended = ::waitpid(pid, &status, WNOHANG)) == 0; ++i)
        ::usleep(10'000);
    ASSERT_EQ(ended, pid) << "the server did not stop on SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace
} // namespace quillpost::noteserver::test
