#include "wayland_session.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <sys/stat.h>
#include <sys/wait.h>

namespace quillpost::test {

WaylandSession::WaylandSession(
    const DesktopOptions &options, std::initializer_list<const char *> programs)
    : layout_(options.layout)
{
    for (const char *program : programs)
        if (!onPath(program))
            throw std::runtime_error(std::string(program) + " is not installed");
    chmod(dir_.path().c_str(), 0700);
    // Readable by the session's user, who may not be the test's.
    std::ofstream(ready())
        << "#!/bin/sh\nprintf '%s\\n%s\\n%s\\n' \"$WAYLAND_DISPLAY\" \"$DISPLAY\" "
           "\"$DBUS_SESSION_BUS_ADDRESS\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n";
    chmod(ready().c_str(), 0755);
}

void WaylandSession::launch(
    const std::string &name, const std::vector<std::string> &argv, bool xwayland)
{
    std::vector<std::string> logged { "sh", "-c",
        "exec \"$@\" >" + shellQuoted(file("compositor.log")) + " 2>&1", "sh" };
    logged.insert(logged.end(), argv.begin(), argv.end());
    compositor_ = spawn(logged);
    std::string said[3];
    const bool up = waitFor([&] {
        std::istringstream lines(readFile(ready() + ".out"));
        for (std::string &line : said)
            std::getline(lines, line);
        return (!said[0].empty() && (!xwayland || !said[1].empty())) || !compositor_.running();
    });
    if (!compositor_.running() || !up) {
        std::string log = readFile(file("compositor.log"));
        log = log.substr(0, log.find_last_not_of('\n') + 1);
        throw std::runtime_error(name + " did not come up: " + log.substr(log.rfind('\n') + 1));
    }
    socket_ = said[0].starts_with('/') ? said[0] : file(said[0]);
    xDisplay_ = said[1];
    bus_ = said[2];
}

Child WaylandSession::spawn(const std::vector<std::string> &argv) const
{
    std::vector<std::string> run = asUser_;
    run.insert(run.end(), { "env", "-u", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR=" + dir_.path() });
    if (!socket_.empty())
        run.push_back("WAYLAND_DISPLAY=" + socket_);
    if (!xDisplay_.empty())
        run.push_back("DISPLAY=" + xDisplay_);
    run.insert(run.end(), argv.begin(), argv.end());
    return spawnWithoutDisplay(run);
}

bool WaylandSession::run(const std::vector<std::string> &argv) const
{
    const auto status = spawn(argv).wait(kPatience);
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

Child WaylandSession::recorder(const std::string &title, const std::string &file, bool xterm) const
{
    // Every terminal here takes its title from the title escape sequence.
    const std::string script = file + ".sh";
    std::ofstream(script) << "#!/bin/sh\nprintf '\\033]2;%s\\007' " << shellQuoted(title)
                          << "\nstty raw -echo\nexec cat > " << shellQuoted(file) << "\n";
    chmod(script.c_str(), 0755);
    return spawn(xterm ? std::vector<std::string> { "xterm", "-e", script } : terminal(script));
}

void WaylandSession::press(const std::vector<std::string> &keys)
{
    std::vector<std::string> argv { "xdotool", "key", "--delay", "100" };
    argv.insert(argv.end(), keys.begin(), keys.end());
    if (!run(argv))
        throw std::runtime_error("xdotool could not press the keys");
}

void WaylandSession::type(const std::string &text)
{
    if (!run({ "xdotool", "type", "--delay", "20", text }))
        throw std::runtime_error("xdotool could not type " + text);
}

} // namespace quillpost::test
