#include "run.h"

#include "command_line.h"
#include "main_window.h"
#include "start_up.h"

#include "platform/ending.h"
#include "platform/factory.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace quillpost {
namespace {

// The handler may only write; the event loop reads and quits.
int signalPipe[2] = { -1, -1 };

void onEndSignal(int)
{
    requestEnd();
    const char byte = 1;
    [[maybe_unused]] const auto written = write(signalPipe[1], &byte, 1);
}

// A logout or a kill ends the program through its event loop like Exit, so that what it changed
// on the display (spare keys bound for typing) is undone before it goes.
std::unique_ptr<QSocketNotifier> quitOnEndSignals()
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    struct sigaction action
    {
    };
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : { SIGTERM, SIGINT, SIGHUP })
        sigaction(signal, &action, nullptr);
    return notifier;
}

} // namespace

int run(int argc, char **argv)
{
    // Read before Qt starts, so that --help and --version need no display.
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (line.action != CommandLine::Action::Run) {
        std::fputs(line.text.c_str(), line.action == CommandLine::Action::Refuse ? stderr : stdout);
        return line.action == CommandLine::Action::Refuse ? 2 : 0;
    }

    // Qt would abort without one.
    if (const std::string missing = desktopMissing(); !missing.empty()) {
        std::fputs(missing.c_str(), stderr);
        return 1;
    }
    // XTest reaches X11 windows only; on a Wayland desktop that means running under XWayland.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillpost"));
    QApplication::setApplicationVersion(QString::fromLatin1(
        programVersion().data(), static_cast<qsizetype>(programVersion().size())));

    const auto endSignals = quitOnEndSignals();
    return startUp(line, [] { return std::make_unique<MainWindow>(); });
}

} // namespace quillpost
