#include "program_test.h"

#include "sending/preflight.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

// Quillpost posting through a real MUD client into a server that stores notes as ROM 2.4 does: the
// proof is what the file became on the server, not what was typed.
namespace quillpost::test {
namespace {

void require(bool done, const std::string &what)
{
    if (!done)
        throw std::runtime_error(what);
}

// Each test has its own X server and window manager, note server, and TinTin++ with the example
// settings in an xterm titled zMUD; Quillpost is driven only through the keyboard.
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

    void start(const std::string &spools)
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
        // The example settings as shipped, pointed at this server, logging what it says.
        const std::string tin
            = std::regex_replace(readFile(QUILLPOST_SOURCE_DIR "/examples/tintin/hollowmere.tin"),
                std::regex("(#session \\S+ 127\\.0\\.0\\.1) \\d+"), "$1 " + std::to_string(port));
        std::ofstream(dir_.file("client.tin"))
            << tin << "#log {overwrite} {" << dir_.file("client.log") << "}\n";
        client_ = session_.spawn({ "xterm", "-T", "zMUD", "-geometry", "100x30+0+0", "-e",
            "/usr/games/tt++", dir_.file("client.tin") });
        require(waitFor([&] { return saw("server.log", " connected"); }),
            "the client did not connect to the note server");
        waitForWindow("zMUD");
        startProgram();
    }

    bool saw(const char *log, const char *text) const
    {
        return readFile(dir_.file(log)).find(text) != std::string::npos;
    }
    std::string stored() const { return readFile(dir_.file("note")); }

    Child server_;
    Child client_;
};

struct Arrival
{
    const char *name;
    std::vector<std::string> lines;
    const char *lineEnd = "\n";
    bool lastRefused = false; // with "Note too long."
    // Wrapped by the program at 79 columns on the custom spool "qnote", chosen in the menu.
    bool wrapped = false;
    friend void PrintTo(const Arrival &c, std::ostream *out) { *out << c.name; }
};

class Arrives : public ServerProof, public ::testing::WithParamInterface<Arrival>
{
};

// 16 lines of 240 and "\n\r", then the longest line the server takes (it refuses one that would
// bring the note to 4096), or one character more.
std::vector<std::string> toTheNoteLimit(int over)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 17; ++i)
        lines.emplace_back(i < 16 ? 240 : 4095 - 16 * 242 + over, static_cast<char>('a' + i));
    return lines;
}

std::vector<std::string> aLongLineBetweenShortOnes()
{
    std::string line;
    for (int i = 0; line.size() < 300; ++i)
        line += "w" + std::to_string(i) + std::string(i % 9, 'x') + " ";
    line.resize(300);
    line.back() = 'z';
    return { "before", line, "after" };
}

// All of printable ASCII, TinTin++'s own syntax, blanks at both ends of a line, and empty lines.
INSTANTIATE_TEST_SUITE_P(ServerProof, Arrives,
    ::testing::Values(Arrival { "Printable",
                          { printableLines()[0], "", printableLines()[1], printableLines()[2], "",
                              "", "   #nop {a;b} $x @y %1 \\ ~~ ! ", "!", "" },
                          "\r\n" },
        Arrival { "AtTheNoteLimit", toTheNoteLimit(0) },
        Arrival { "PastTheNoteLimit", toTheNoteLimit(1), "\n", true },
        Arrival { "LongLineCustomWrapped", aLongLineBetweenShortOnes(), "\n", false, true }),
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
    const std::string spool = c.wrapped ? "qnote" : "note";
    start(spool);
    if (c.wrapped) {
        menu("n", { "Up", "Up", "Return" }); // the custom item, second from the bottom
        const XWindow box = waitForWindow("Custom Note Spool");
        type(box, spool);
        press(box, { "Return" });
        waitUntilGone(box);
        require(waitFor([&] { return !popupShown(); }), "the menu stayed open");
        // As the program's own wrapping, proven on its own, says.
        expected = { "before" };
        for (const std::string &part : wrapLine(c.lines[1], 79))
            expected.push_back(part);
        expected.push_back("after");
    }
    sendFile(file);
    if (expected != c.lines || c.lastRefused) // the program warns first
        answerBox(c.wrapped ? "alt+w" : "alt+a");
    if (c.lastRefused)
        expected.pop_back();

    // Once the server has the note or a box opened: the box must not, and the send must end.
    std::string want;
    for (const std::string &line : expected)
        want += line + "\n\r"; // as ROM stores each line of a note
    const auto boxOpen = [&] { return !messageBoxes().empty(); };
    waitFor([&] { return stored() == want || boxOpen(); },
        std::chrono::seconds(expected.size()) + kPatience); // a line a tick
    EXPECT_FALSE(boxOpen()) << "a box is open";
    // At the end of the file Quillpost takes the focus back from the client.
    EXPECT_TRUE(waitFor([&] { return hasFocus(main_); })) << "the send did not end";
    EXPECT_EQ(stored(), want);
    EXPECT_EQ(waitFor([&] { return saw("client.log", "Note too long."); },
                  c.lastRefused ? kPatience : 0s),
        c.lastRefused)
        << "whether the server said \"Note too long.\"";
}

} // namespace
} // namespace quillpost::test
