// The note server's logic fed byte strings.
#include "noteserver/input_buffer.h"
#include "noteserver/note_interpreter.h"
#include "noteserver/options.h"
#include "noteserver/repeat_guard.h"
#include "noteserver/session.h"
#include "noteserver/string_source.h"
#include "spools/spools.h"
#include "support/printable.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quillpost::noteserver::test {
namespace {

using namespace std::string_literals;

// The lines in the buffer once every chunk has been read, each ended by '|', a cut one by "#|";
// or how a read dropped the player.
std::string linesOf(const std::vector<std::string> &chunks)
{
    StringSource source;
    InputBuffer buffer;
    for (const std::string &chunk : chunks) {
        source.unread += chunk;
        if (const FillStatus status = buffer.fillFrom(source).status; status != FillStatus::Ok)
            return std::array { "ok", "overflow", "full", "eof", "error" }[std::size_t(status)];
    }
    std::string out;
    while (auto line = buffer.takeLine())
        out += line->text + (line->tooLong ? "#|" : "|");
    EXPECT_EQ(buffer.size(), 0u) << "bytes left behind";
    return out;
}

TEST(InputBuffer, KeepsWhatRomKeepsAndHoldsAtMost1014UnreadBytes)
{
    const auto a = [](std::size_t n) { return std::string(n, 'a'); };
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        { { "a\nb\rc\r\n\r\n\nd\0e\n"s }, "a|b|c|d|e|" },
        { { "note + hal", "f\r" }, "note + half|" },
        { { "\b\bx\bab\bc\n" }, "ac|" },
        { { "a\tbc\x01\x7f\x80\xe9\xff d\n", "\t\x80\n" }, "abc d| |" },
        { { a(254) + "\n" }, a(254) + "|" },
        { { a(254) + "bc\n" }, a(254) + "#|" },
        // The limit is checked before the byte is looked at.
        { { a(254) + "\t\n" }, a(254) + "#|" },
        { { a(254) + "\b\n" }, a(254) + "#|" },
        { { a(253) + "\t\n" }, a(253) + "|" },
        { { a(250) + "\b" + std::string(5, 'b') + "\n" }, a(249) + "bbbbb|" },
        { { a(1013) + "\n" }, a(254) + "#|" },
        // The 1014th byte is the CR, so that read ends a line; the LF waits in the socket.
        { { a(1012) + "\r\n" }, a(254) + "#|" },
        { { a(1013) + "\n", "x\n" }, "overflow" },
        { { a(1012) + "\n", "x\n" }, "full" },
    };
    for (const auto &[chunks, lines] : cases)
        EXPECT_EQ(linesOf(chunks), lines) << testing::PrintToString(chunks);
}

TEST(RepeatGuard, FlagsTheTwentyFifthRepeatInARow)
{
    using Run = std::pair<int, std::string>;
    const std::pair<std::vector<Run>, std::vector<int>> cases[] = { // lines, 1-based spam points
        { { { 60, "note + x" } }, { 26, 51 } },
        { { { 100, "n" } }, {} }, // one-character lines never count
        { { { 25, "note + x" }, { 1, "note + y" }, { 25, "note + x" } }, {} },
        { { { 20, "note + x" }, { 1, " " }, { 20, "note + x" } }, {} },
        { { { 1, "note + x" }, { 25, "!" } }, { 26 } }
    };
    for (const auto &[runs, expected] : cases) {
        RepeatGuard guard;
        std::vector<int> spamAt;
        int n = 0;
        for (const auto &[times, line] : runs)
            for (int i = 0; i < times; ++i)
                if (++n; guard.pass(line).spamming)
                    spamAt.push_back(n);
        EXPECT_EQ(spamAt, expected) << runs.back().second;
    }
}

// One player's connection, pulsed by hand: each pulse() is one quarter second of ROM's loop.
struct Connection
{
    explicit Connection(bool spamDisconnect = false)
        : session(interpreter, "127.0.0.1:5000", { "Player", spamDisconnect }, log)
    {
    }

    std::string pulse()
    {
        const PulseResult result = session.pulse(source.readable() ? &source : nullptr);
        closed = closed || result.close;
        return result.output;
    }
    std::string run(const std::string &line)
    {
        source.unread += line + "\n";
        return pulse();
    }
    std::optional<std::string> draft() const
    {
        const auto &note = session.player().draft;
        return note ? std::optional(note->text) : std::nullopt;
    }

    NoteBoard board;
    NoteInterpreter interpreter { Options {}.spools, board };
    std::ostringstream log;
    StringSource source;
    Session session;
    bool closed = false;
};

// ROM's answers, each followed by the prompt.
const std::string kOk = "Ok.\n\r> ", kHuh = "Huh?\n\r> ", kCannot = "You can't do that.\n\r> ";

const std::string kPrintable = quillpost::test::printableAscii();

struct Script
{
    const char *name;
    std::vector<std::pair<std::string, std::string>> pulses; // what arrives before each, answer
    std::optional<std::string> draft; // the text in progress afterwards
    bool hangUp = false; // before the first pulse
    bool closed = false;
};

TEST(Session, RunsOneLinePerPulseAndAnswersAndKeepsTheNoteAsRomDoes)
{
    const Script scripts[] = {
        // A CR and an LF read apart end two lines, the second blank.
        { "InArrivalOrder",
            { { "note + 1\r\nnote + 2\r", kOk }, { "", kOk }, { "\nnote + 3\r\n", "> " },
                { "", kOk }, { "", "" } },
            "1\n\r2\n\r3\n\r" },
        // The first 254 characters run; only what was still in the socket survives the cut.
        { "TooLongLine",
            { { "note + " + std::string(300, 'x') + "\r\nnote + lost\r\n",
                  "Line too long.\n\r" + kOk },
                { "note + later\r\n", kOk }, { "", "" } },
            std::string(247, 'x') + "\n\rlater\n\r" },
        // "note + " and 1007 characters fill the 1014 bytes before the line break arrives.
        { "LineThatFillsTheInputDisconnects",
            { { "note + a\r\n", kOk },
                { "note + " + std::string(1007, 'x') + "\r\nnote + b\r\n", "" } },
            "a\n\r", false, true },
        { "HangingUpLosesLinesNotYetRun", { { "note + a\nnote + b\n", kOk }, { "", "" } }, "a\n\r",
            true, true },
        { "PlusDropsLeadingBlanksAndSmashesTildes",
            { { "   NoTe +    two  ~words  \n", kOk }, { "note +" + kPrintable + "\n", kOk },
                { "note + \n", kOk }, { "note '+' quoted\n", kOk } },
            "two  -words  \n\r" + kPrintable.substr(1, 93) + "-\n\r\n\rquoted\n\r" },
        { "OnlyWholeSpoolWordsAndKnownSubCommands",
            { { "notes + x\n", kHuh }, { "not + x\n", kHuh }, { "'note + x\n", kHuh },
                { "   \n", "> " }, { "note +x\n", kCannot }, { "note shows\n", kCannot } },
            std::nullopt },
        { "ClearDropsTheNote", { { "note + a\n", kOk }, { "note cl\n", kOk } }, std::nullopt },
    };
    for (const Script &script : scripts) {
        SCOPED_TRACE(script.name);
        Connection c;
        c.source.hungUp = script.hangUp;
        for (const auto &[arriving, answer] : script.pulses) {
            c.source.unread += arriving;
            EXPECT_EQ(c.pulse(), answer) << "after " << testing::PrintToString(arriving);
        }
        EXPECT_EQ(c.draft(), script.draft);
        EXPECT_EQ(c.closed, script.closed);
    }
}

TEST(Session, SpamIsLoggedAndOptionallyDisconnects)
{
    for (const bool disconnect : { false, true }) {
        Connection c(disconnect);
        std::string answers;
        for (int i = 0; i < 26; ++i)
            answers += c.run("note + same");
        EXPECT_NE(c.log.str().find("127.0.0.1:5000 input spamming! note + same"), std::string::npos)
            << c.log.str();
        EXPECT_EQ(c.closed, disconnect);
        EXPECT_TRUE(answers.ends_with(disconnect ? "*** PUT A LID ON IT!!! ***\n\r" : kOk));
        EXPECT_EQ(c.draft()->size(), (disconnect ? 25u : 26u) * 6);
    }
}

TEST(Session, DefaultSpoolsTakeEveryWordQuillpostTypes)
{
    for (const SpoolRow &row : kSpoolRows)
        EXPECT_EQ(Connection().run(std::string(row.word) + " + line"), kOk) << row.word;
}

} // namespace
} // namespace quillpost::noteserver::test
