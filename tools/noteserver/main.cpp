#include "dump_file.h"
#include "note.h"
#include "note_interpreter.h"
#include "options.h"
#include "pacer.h"
#include "session.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

namespace quillpost::noteserver {
namespace {

std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) { }
    FileDescriptor(FileDescriptor &&other) noexcept : fd_(std::exchange(other.fd_, -1)) { }
    FileDescriptor &operator=(FileDescriptor &&) = delete;
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

class SocketSource : public ByteSource
{
public:
    explicit SocketSource(int fd) : fd_(fd) { }

    ReadResult read(std::span<char> into) override
    {
        for (;;) {
            const ssize_t n = ::recv(fd_, into.data(), into.size(), 0);
            if (n > 0)
                return { ReadKind::Data, static_cast<std::size_t>(n), {} };
            if (n == 0)
                return { ReadKind::Eof, 0, {} };
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return { ReadKind::WouldBlock, 0, {} };
            return { ReadKind::Error, 0, std::strerror(errno) };
        }
    }

private:
    int fd_;
};

struct Client
{
    FileDescriptor socket;
    Session session;
    std::string unsent;
    bool closing = false;
};

std::string draftText(const Player &player)
{
    return player.draft ? player.draft->text : std::string();
}

class Server
{
public:
    Server(const Options &options, FileDescriptor listener, FileDescriptor stopSignals)
        : options_(options),
          listener_(std::move(listener)),
          stopSignals_(std::move(stopSignals)),
          interpreter_(options.spools, board_),
          pacer_(options.pulse)
    {
    }

    // A file left by an earlier run must not pass for this run's note, and a dump that cannot
    // be written is better refused before the port is announced than found missing by a test.
    bool writeFirstDumps() { return dumpDraft() && dumpPosted(); }

    int run()
    {
        while (!stopRequested_) {
            if (const auto now = Pacer::Clock::now(); pacer_.due(now)) {
                pacer_.pulseStarted(now);
                pulse();
            }
            if (!waitForEvents())
                return 1;
        }
        std::cerr << "stopping on signal\n";
        const bool dumped = dumpDraft();
        return dumped && dumpPosted() ? 0 : 1;
    }

private:
    // Between pulses only new connections and pending output matter: input is left in the
    // socket until the next pulse reads it, as ROM does.
    bool waitForEvents()
    {
        constexpr std::size_t kFirstClient = 2;
        std::vector<pollfd> fds { { stopSignals_.get(), POLLIN, 0 },
            { listener_.get(), POLLIN, 0 } };
        std::vector<Client *> waiting;
        for (auto &client : clients_) {
            if (!client->unsent.empty()) {
                fds.push_back({ client->socket.get(), POLLOUT, 0 });
                waiting.push_back(client.get());
            }
        }
        const auto wait = pacer_.untilNext(Pacer::Clock::now());
        if (::poll(fds.data(), fds.size(), static_cast<int>(wait.count())) < 0) {
            if (errno == EINTR)
                return true;
            std::cerr << systemError("poll") << "\n";
            return false;
        }
        if (fds[0].revents & POLLIN) {
            stopRequested_ = true;
            return true;
        }
        if (fds[1].revents & POLLIN)
            acceptAll();
        for (std::size_t i = kFirstClient; i < fds.size(); ++i)
            if (fds[i].revents != 0)
                flush(*waiting[i - kFirstClient]);
        dropClosed();
        return true;
    }

    void acceptAll()
    {
        for (;;) {
            sockaddr_in peer {};
            socklen_t size = sizeof peer;
            const int fd = ::accept4(listener_.get(), reinterpret_cast<sockaddr *>(&peer), &size,
                SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                    std::cerr << systemError("accept") << "\n";
                return;
            }
            char address[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
            const std::string host
                = std::string(address) + ":" + std::to_string(ntohs(peer.sin_port));
            std::cerr << host << " connected\n";
            auto client = std::make_unique<Client>(Client { FileDescriptor(fd),
                Session(interpreter_, host, options_.playerName, std::cerr), {}, false });
            client->unsent = client->session.greeting();
            flush(*client);
            clients_.push_back(std::move(client));
        }
    }

    // ROM's pulse: every readable connection is read, then each runs at most one command.
    void pulse()
    {
        std::vector<pollfd> fds;
        for (auto &client : clients_)
            fds.push_back({ client->socket.get(), POLLIN, 0 });
        if (!fds.empty() && ::poll(fds.data(), fds.size(), 0) < 0 && errno != EINTR) {
            std::cerr << systemError("poll") << "\n";
            return;
        }
        for (std::size_t i = 0; i < clients_.size(); ++i) {
            Client &client = *clients_[i];
            if (client.closing)
                continue;
            SocketSource source(client.socket.get());
            const bool arrived = (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
            PulseResult result = client.session.pulse(arrived ? &source : nullptr);
            client.unsent += result.output;
            client.closing = client.closing || result.close;
            if (result.draftChanged) {
                latestDraft_ = draftText(client.session.player());
                dumpDraft();
            }
            if (result.posted)
                dumpPosted();
            flush(client);
        }
        dropClosed();
    }

    void flush(Client &client)
    {
        while (!client.unsent.empty()) {
            const ssize_t n = ::send(client.socket.get(), client.unsent.data(),
                client.unsent.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                client.unsent.erase(0, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            std::cerr << systemError("send") << "\n";
            client.unsent.clear();
            client.closing = true;
        }
    }

    // A closing player gets what one more try can send, then the link goes, as in ROM's
    // close_socket after write_to_descriptor.
    void dropClosed()
    {
        std::erase_if(clients_, [](const std::unique_ptr<Client> &client) {
            if (client->closing)
                std::cerr << "closing link to " << client->session.host() << "\n";
            return client->closing;
        });
    }

    bool dumpDraft() { return writeDump(options_.dumpPath, latestDraft_); }
    bool dumpPosted()
    {
        return writeDump(options_.dumpPath + ".posted", formatNoteFile(board_.posted));
    }

    bool writeDump(const std::string &path, const std::string &contents)
    {
        if (options_.dumpPath.empty())
            return true;
        const auto error = writeFileAtomically(path, contents);
        if (error)
            std::cerr << *error << "\n";
        return !error;
    }

    const Options &options_;
    FileDescriptor listener_;
    FileDescriptor stopSignals_; // readable once SIGTERM or SIGINT has come
    bool stopRequested_ = false;
    NoteBoard board_;
    NoteInterpreter interpreter_;
    Pacer pacer_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::string latestDraft_; // the text of the note in progress that changed last
};

// Listens on 127.0.0.1 only: the server has no login, so nothing off this machine may reach it.
FileDescriptor listenOnLoopback(int port, int &boundPort, std::string &error)
{
    FileDescriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (listener.get() < 0) {
        error = systemError("socket");
        return listener;
    }
    const int yes = 1;
    ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t size = sizeof address;
    if (::bind(listener.get(), reinterpret_cast<sockaddr *>(&address), size) < 0) {
        error = systemError("cannot listen on 127.0.0.1:" + std::to_string(port));
        return FileDescriptor();
    }
    if (::listen(listener.get(), SOMAXCONN) < 0
        || ::getsockname(listener.get(), reinterpret_cast<sockaddr *>(&address), &size) < 0) {
        error = systemError("listen");
        return FileDescriptor();
    }
    boundPort = ntohs(address.sin_port);
    return listener;
}

int serve(const Options &options)
{
    // The stop signals are blocked and read from a descriptor, so the loop's poll() wakes for
    // them like for any other event and no handler has to reach into the server.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    FileDescriptor stopFd(::signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC));
    if (stopFd.get() < 0) {
        std::cerr << "quillpost-noteserver: " << systemError("signalfd") << "\n";
        return 1;
    }

    int port = 0;
    std::string error;
    FileDescriptor listener = listenOnLoopback(options.port, port, error);
    if (listener.get() < 0) {
        std::cerr << "quillpost-noteserver: " << error << "\n";
        return 1;
    }
    Server server(options, std::move(listener), std::move(stopFd));
    if (!server.writeFirstDumps())
        return 1;
    std::cout << "listening on " << port << std::endl;
    return server.run();
}

} // namespace
} // namespace quillpost::noteserver

int main(int argc, char **argv)
{
    using namespace quillpost::noteserver;
    const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        std::cout << usage();
        return 0;
    }
    if (!parsed.options) {
        std::cerr << "quillpost-noteserver: " << parsed.error << "\n" << usage();
        return 2;
    }
    return serve(*parsed.options);
}
