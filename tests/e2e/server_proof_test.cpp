#include "program_test.h"

#include "sending/preflight.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

// Quillpost posting through real MUD clients into a server that stores notes as ROM 2.4 does: the
// proof is what the file became on the server, not what was typed.
namespace quillpost::test {
namespace {

enum class Client { TinTin, Telnet };

void require(bool done, const std::string &what)
{
    if (!done)
        throw std::runtime_error(what);
}

// Each test has its own X server and window manager, note server, and client in an xterm titled
// zMUD; Quillpost is driven only through the keyboard.
class ServerProof : public ProgramTest
{
protected:
    void TearDown() override
    {
        ProgramTest::TearDown();
        if (HasFailure())
            std::cerr << "TinTin++ showed:\n" << readFile(dir_.file("client.log"));
        if (server_.running()) {
            ::kill(server_.pid(), SIGTERM);
            EXPECT_EQ(server_.wait(kPatience), 0)
                << "the note server did not stop cleanly on SIGTERM";
        }
    }

    void start(Client client, const std::string &spools = "note")
    {
        // Its port is on its stdout, which spawn() would throw away.
        server_ = session_.spawn({ "sh", "-c", "exec \"$@\" >\"$0.out\" 2>\"$0.log\"",
            dir_.file("server"), QUILLPOST_NOTESERVER, "--port", "0", "--pulse-ms", "50", "--dump",
            dir_.file("note"), "--spools", spools });
        int port = 0;
        const auto listening = [&] {
            return std::sscanf(readFile(dir_.file("server.out")).c_str(), "listening on %d", &port);
        };
        require(waitFor([&] { return listening() == 1; }), "the note server did not start");
        std::vector<std::string> command { "telnet", "127.0.0.1", std::to_string(port) };
        if (client == Client::TinTin) {
            // The example settings as shipped, pointed at this server, logging what it says.
            const std::string tin = std::regex_replace(
                readFile(QUILLPOST_SOURCE_DIR "/examples/tintin/hollowmere.tin"),
                std::regex("(#session \\S+ 127\\.0\\.0\\.1) \\d+"), "$1 " + command[2]);
            std::ofstream(dir_.file("client.tin"))
                << tin << "#log {overwrite} {" << dir_.file("client.log") << "}\n";
            command = { "/usr/games/tt++", dir_.file("client.tin") };
        }
        command.insert(command.begin(), { "xterm", "-T", "zMUD", "-geometry", "100x30+0+0", "-e" });
        client_ = session_.spawn(command);
        require(waitFor([&] { return saw("server.log", " connected"); }),
            "the client did not connect to the note server");
        desktop_.waitForWindow("zMUD");
        startProgram();
    }

    bool saw(const char *log, const char *text) const
    {
        return readFile(dir_.file(log)).find(text) != std::string::npos;
    }
    std::string stored() const { return readFile(dir_.file("note")); }

    // Once the server has the note or a box opened: the box must not, and the send must end.
    void expectStored(const std::vector<std::string> &lines)
    {
        std::string want;
        for (const std::string &line : lines)
            want += line + "\n\r"; // as ROM stores each line of a note
        const auto boxOpen = [&] { return !messageBoxes().empty(); };
        waitFor([&] { return stored() == want || boxOpen(); },
            std::chrono::seconds(lines.size()) + kPatience); // a line a tick
        EXPECT_FALSE(boxOpen()) << "a box is open";
        // At the end of the file Quillpost takes the focus back from the client.
        EXPECT_TRUE(waitFor([&] { return desktop_.hasFocus(main_); })) << "the send did not end";
        EXPECT_EQ(stored(), want);
    }

    Child server_;
    Child client_;
};

struct Arrival
{
    const char *name;
    Client client;
    std::vector<std::string> lines;
    const char *lineEnd = "\n";
    bool lastRefused = false; // with "Note too long."
    const char *answer = "alt+a"; // to the box the program opens first, if it does
    // What the server stores, where the program wraps or the server cuts a line.
    std::optional<std::vector<std::string>> stored = std::nullopt;
    std::vector<std::string> menuKeys = {}; // after Alt+N has opened the Note Type menu
    std::string spool = "note"; // the word the item types, or the custom spool box is given
    friend void PrintTo(const Arrival &c, std::ostream *out) { *out << c.name; }
};

class Arrives : public ServerProof, public ::testing::WithParamInterface<Arrival>
{
};

// All of printable ASCII, TinTin++'s own syntax, blanks at both ends of a line, and empty lines.
const std::vector<std::string> kPrintable { printableLines()[0], "", printableLines()[1],
    printableLines()[2], "", "", "   #nop {a;b} $x @y %1 \\ ~~ ! ", "!", "" };

// 16 lines of 240 and "\n\r", then the longest line the server takes (it refuses one that would
// bring the note to 4096), or one character more.
std::vector<std::string> toTheNoteLimit(int over)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 17; ++i)
        lines.emplace_back(i < 16 ? 240 : 4095 - 16 * 242 + over, static_cast<char>('a' + i));
    return lines;
}

// A line of 300 on the qnote spool, wrapped as the program's own wrapping, proven on its own,
// says; or cut, as a typed line keeps 254 characters, "qnote + " among them.
Arrival longLine(const char *name, std::vector<std::string> menuKeys, bool wrap)
{
    std::string line;
    for (int i = 0; line.size() < 300; ++i)
        line += "w" + std::to_string(i) + std::string(i % 9, 'x') + " ";
    line.resize(300);
    line.back() = 'z';
    std::vector<std::string> stored
        = wrap ? wrapLine(line, 79) : std::vector { line.substr(0, 246) };
    stored.insert(stored.begin(), "before");
    stored.push_back("after");
    return { .name = name,
        .client = Client::TinTin,
        .lines = { "before", line, "after" },
        .answer = wrap ? "alt+w" : "alt+a",
        .stored = stored,
        .menuKeys = menuKeys,
        .spool = "qnote" };
}

// Quest types qnote; the custom item is second from the bottom, and Up wraps round to the bottom.
INSTANTIATE_TEST_SUITE_P(ServerProof, Arrives,
    ::testing::Values(Arrival { "PrintableThroughTinTin", Client::TinTin, kPrintable, "\r\n" },
        Arrival { "PrintableThroughTelnet", Client::Telnet, kPrintable },
        Arrival { "AtTheNoteLimit", Client::TinTin, toTheNoteLimit(0) },
        Arrival { "PastTheNoteLimit", Client::TinTin, toTheNoteLimit(1), "\n", true },
        longLine("LongLineCustomWrapped", { "Up", "Up", "Return" }, true),
        longLine("LongLineQuestCut", { "q" }, false)),
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(Arrives, AsTheServerStoresEachLineOfTheFile)
{
    const Arrival &c = GetParam();
    std::string file;
    std::vector<std::string> expected;
    for (const std::string &line : c.lines) {
        file += line + c.lineEnd;
        // ROM drops the leading blanks and makes "~" a "-"; nothing else may differ.
        expected.push_back(line.substr(std::min(line.find_first_not_of(' '), line.size())));
        std::ranges::replace(expected.back(), '~', '-');
    }
    // Only this spool word stores a line: the server answers any other with "Huh?".
    start(c.client, c.spool);
    if (!c.menuKeys.empty()) {
        menu("n", c.menuKeys);
        if (c.menuKeys.size() > 1) {
            const XWindow box = desktop_.waitForWindow("Custom Note Spool");
            desktop_.type(box, c.spool);
            desktop_.press(box, { "Return" });
            desktop_.waitUntilGone(box);
        }
        require(waitFor([&] { return !desktop_.popupShown(); }), "the menu stayed open");
    }
    sendFile(file);
    if (c.stored || expected != c.lines || c.lastRefused) // the program warns first
        answerBox(c.answer);
    if (c.lastRefused)
        expected.pop_back();
    expectStored(c.stored.value_or(expected));
    EXPECT_EQ(waitFor([&] { return saw("client.log", "Note too long."); },
                  c.lastRefused ? kPatience : 0s),
        c.lastRefused)
        << "whether the server said \"Note too long.\"";
}

} // namespace
} // namespace quillpost::test
