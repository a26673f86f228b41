// The note server's logic, fed byte strings and fixed time points.
#include "noteserver/input_buffer.h"
#include "noteserver/note_interpreter.h"
#include "noteserver/options.h"
#include "noteserver/pacer.h"
#include "noteserver/repeat_guard.h"
#include "noteserver/session.h"
#include "noteserver/string_source.h"
#include "spools/spools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace quillpost::noteserver::test {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

const std::string kAnswered = "Ok.\n\r> ";
const std::string k254(254, 'a');

// The lines taken after each chunk arrives, each ended by '|', a cut one by "#|".
std::string linesOf(const std::vector<std::string> &chunks)
{
    StringSource source;
    InputBuffer buffer;
    std::string out;
    for (const std::string &chunk : chunks) {
        source.unread += chunk;
        EXPECT_EQ(buffer.fillFrom(source).status, FillStatus::Ok);
        while (auto line = buffer.takeLine())
            out += line->text + (line->tooLong ? "#|" : "|");
    }
    EXPECT_EQ(buffer.size(), 0u) << "bytes left behind";
    return out;
}

TEST(InputBuffer, KeepsWhatRomKeeps)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        // Line ends read together count as one, but not when split across reads.
        { { "a\nb\rc\r\n\r\n\nd\0e\n"s }, "a|b|c|d|e|" },
        { { "a\r", "\nb\r" }, "a| |b|" },
        { { "note + hal", "f\r" }, "note + half|" },
        { { "\b\bx\bab\bc\n" }, "ac|" },
        { { "a\tb\x01\x7f\x80\xe9\xff"
            "c d\n",
              "\t\x80\n" },
            "abc d| |" },
        { { k254 + "\n" }, k254 + "|" },
        { { k254 + "bc\n" }, k254 + "#|" },
        // The limit is checked before the byte is looked at.
        { { k254 + "\t\n" }, k254 + "#|" },
        { { k254 + "\b\n" }, k254 + "#|" },
        { { k254.substr(1) + "\t\n" }, k254.substr(1) + "|" },
        { { std::string(250, 'a') + "\b" + std::string(5, 'b') + "\n" },
            std::string(249, 'a') + "bbbbb|" },
    };
    for (const auto &[chunks, lines] : cases)
        EXPECT_EQ(linesOf(chunks), lines) << testing::PrintToString(chunks);
}

TEST(InputBuffer, HoldsAtMost1014UnreadBytes)
{
    const auto x = [](std::size_t n) { return std::string(n, 'x'); };
    // All but the last chunk fill without trouble.
    const std::pair<std::vector<std::string>, FillStatus> cases[]
        = { { { x(1013) + "\n" }, FillStatus::Ok }, { { x(1014) + "\n" }, FillStatus::Full },
              // The 1014th byte is the CR, so that read ends a line; the LF waits in the socket.
              { { x(1012) + "\r\n" }, FillStatus::Ok },
              { { x(1013) + "\n", "x\n" }, FillStatus::Overflow },
              { { x(1012) + "\n", "x\n" }, FillStatus::Full } };
    for (const auto &[chunks, last] : cases) {
        StringSource source;
        InputBuffer buffer;
        for (const std::string &chunk : chunks) {
            source.unread = chunk;
            EXPECT_EQ(
                buffer.fillFrom(source).status, &chunk == &chunks.back() ? last : FillStatus::Ok)
                << chunks.size() << " chunks, the last of " << chunk.size() << " bytes";
        }
    }
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

    PulseResult pulse()
    {
        PulseResult result = session.pulse(source.readable() ? &source : nullptr);
        closed = closed || result.close;
        return result;
    }

    std::string draft() const { return session.player().draft ? session.player().draft->text : ""; }
    bool logged(const std::string &what) const { return log.str().find(what) != std::string::npos; }

    NoteBoard board;
    NoteInterpreter interpreter { { "note", "idea" }, board };
    std::ostringstream log;
    StringSource source;
    Session session;
    bool closed = false;
};

TEST(Session, RunsOneLinePerPulse)
{
    // The name; what arrives before each pulse and the answer; the note then; whether the player
    // hung up before the first pulse; whether the connection was closed.
    using Pulses = std::vector<std::pair<std::string, std::string>>;
    const std::tuple<const char *, Pulses, std::string, bool, bool> scripts[] = {
        { "InArrivalOrder",
            { { "note + 1\r\nnote + 2\r\n", kAnswered }, { "note + 3\r\n", kAnswered },
                { "", kAnswered }, { "", "" } },
            "1\n\r2\n\r3\n\r", false, false },
        // The first 254 characters run; only what was still in the socket survives the cut.
        { "TooLongLine",
            { { "note + " + std::string(300, 'x') + "\r\nnote + lost\r\n",
                  "Line too long.\n\r" + kAnswered },
                { "note + later\r\n", kAnswered }, { "", "" } },
            std::string(247, 'x') + "\n\rlater\n\r", false, false },
        // "note + " and 1007 characters fill the 1014 bytes before the line break arrives.
        { "LineThatFillsTheInputDisconnects",
            { { "note + a\r\n", kAnswered },
                { "note + " + std::string(1007, 'x') + "\r\nnote + b\r\n", "" } },
            "a\n\r", false, true },
        { "BangRunsTheLastLineAgain",
            { { "!\nnote + a\n!anything\n!\n", "" }, { "", kAnswered }, { "", kAnswered },
                { "", kAnswered } },
            "a\n\ra\n\ra\n\r", false, false },
        { "HangingUpLosesLinesNotYetRun", { { "note + a\nnote + b\n", kAnswered }, { "", "" } },
            "a\n\r", true, true },
    };
    for (const auto &[name, pulses, draft, hangUp, closed] : scripts) {
        SCOPED_TRACE(name);
        Connection c;
        c.source.hungUp = hangUp;
        for (const auto &[arriving, answer] : pulses) {
            c.source.unread += arriving;
            EXPECT_EQ(c.pulse().output, answer);
        }
        EXPECT_EQ(c.draft(), draft);
        EXPECT_EQ(c.closed, closed);
    }
}

TEST(Session, SpamIsLoggedAndOptionallyDisconnects)
{
    for (const bool disconnect : { false, true }) {
        Connection c(disconnect);
        std::string answers;
        for (int i = 0; i < 26; ++i) {
            c.source.unread += "note + same\r\n";
            answers += c.pulse().output;
        }
        EXPECT_TRUE(c.logged("127.0.0.1:5000 input spamming! note + same")) << c.log.str();
        EXPECT_EQ(c.closed, disconnect);
        EXPECT_TRUE(answers.ends_with(disconnect ? "*** PUT A LID ON IT!!! ***\n\r" : kAnswered));
        EXPECT_EQ(c.draft().size(), (disconnect ? 25u : 26u) * 6);
    }
}

const std::string kOk = "Ok.\n\r", kHuh = "Huh?\n\r", kCannot = "You can't do that.\n\r",
                  kTooLong = "Note too long.\n\r", kNoLines = "No lines left to remove.\n\r",
                  kNoNote = "You have no note in progress.\n\r",
                  kReading = "This server takes notes but does not read them back.\n\r",
                  kOther = "You already have a different note in progress.\n\r",
                  kWrongKind = "You aren't working on that kind of note.\n\r",
                  kNoSubject = "You need to provide a subject.\n\r",
                  kNoRecipient = "You need to provide a recipient (name, all, or immortal).\n\r";

const std::string kPrintable = [] {
    std::string text;
    for (char c = ' '; c <= '~'; ++c) // '~' last
        text += c;
    return text;
}();

struct Desk
{
    NoteBoard board;
    NoteInterpreter interpreter { Options {}.spools, board,
        [] { return std::time_t { 1'700'000'000 }; } };
    Player player { "Player", std::nullopt };

    std::string run(const std::string &line) { return interpreter.interpret(player, line); }
};

TEST(Interpreter, AnswersAndKeepsTheNoteAsRomDoes)
{
    // The name, each line and its answer, and the text in progress afterwards.
    using Steps = std::vector<std::pair<std::string, std::string>>;
    const std::tuple<const char *, Steps, std::optional<std::string>> scripts[] = {
        { "PlusDropsLeadingBlanksAndSmashesTildes",
            { { "   NoTe +    two  ~words  ", kOk }, { "note +" + kPrintable, kOk },
                { "note + ", kOk }, { "note '+' quoted", kOk } },
            "two  -words  \n\r" + kPrintable.substr(1, 93) + "-\n\r\n\rquoted\n\r" },
        { "OnlyWholeSpoolWordsAndKnownSubCommands",
            { { "notes + x", kHuh }, { "not + x", kHuh }, { "'note + x", kHuh }, { "   ", "" },
                { "note +x", kCannot }, { "note shows", kCannot } },
            std::nullopt },
        // Reading words come first in ROM, so "c" is catchup and never clears.
        { "ReadingWordsLeaveTheNoteAlone",
            { { "note + a", kOk }, { "note", kReading }, { "note c", kReading },
                { "note rem 1", kReading } },
            "a\n\r" },
        { "MinusRemovesTheLastLineSilently",
            { { "note + a", kOk }, { "note + b", kOk }, { "note + ", kOk }, { "note -", "" },
                { "note -", "" }, { "note -", "" }, { "note -", kNoLines } },
            "" },
        // ROM attaches a note before it finds nothing to remove.
        { "MinusOnNoNoteStartsOneOfThatSpool", { { "note -", kNoLines }, { "idea + x", kOther } },
            "" },
        { "OneNoteInProgressAcrossSpools",
            { { "note + a", kOk }, { "idea + b", kOther }, { "idea -", kOther },
                { "idea to all", kOther }, { "idea show", kWrongKind }, { "idea post", kWrongKind },
                { "idea cl", kOk }, { "idea + b", kOk } },
            "b\n\r" },
        { "ShowsSenderSubjectRecipientAndText",
            { { "note show", kNoNote }, { "note + a~", kOk }, { "note to  all", kOk },
                // "s" is subject, which ROM tries before show and send.
                { "note s Hi ~there", kOk },
                { "note sh", "Player: Hi -there\n\rTo: all\n\ra-\n\r" } },
            "a-\n\r" },
        { "PostNeedsARecipientThenASubject",
            { { "note post", kNoNote }, { "note + a", kOk }, { "note post", kNoRecipient },
                { "note subject Hi", kOk }, { "note post", kNoRecipient }, { "note t all", kOk },
                { "note subject", kOk }, { "note send", kNoSubject }, { "note su Hi", kOk },
                { "note p", "" } },
            std::nullopt },
    };
    for (const auto &[name, steps, draft] : scripts) {
        SCOPED_TRACE(name);
        Desk desk;
        for (const auto &[line, answer] : steps)
            EXPECT_EQ(desk.run(line), answer) << "after " << line;
        const Player &p = desk.player;
        EXPECT_EQ(p.draft ? std::optional(p.draft->text) : std::nullopt, draft);
    }
}

TEST(Interpreter, PostedNoteGoesOnTheBoardInRomsFileLayout)
{
    Desk desk;
    for (const char *line :
        { "idea to all", "idea subject Hi", "idea + one", "idea + two", "idea post" })
        desk.run(line);
    ASSERT_EQ(desk.board.posted.size(), 1u);
    const std::string date = desk.board.posted[0].date;
    EXPECT_FALSE(date.empty());
    EXPECT_EQ(formatNoteFile(desk.board.posted),
        "Spool   idea~\nSender  Player~\nDate    " + date
            + "~\nStamp   1700000000\nTo      all~\nSubject Hi~\nText\none\n\rtwo\n\r~\n");
}

// ROM takes a line while the note and the line together stay under 4096, "\n\r"s counted.
TEST(Interpreter, RefusesALineOnceTheNoteWouldReach4096)
{
    Desk desk;
    for (int i = 0; i < 16; ++i)
        desk.run("note + " + std::string(245, 'x')); // 3952 characters stored
    EXPECT_EQ(desk.run("note + " + std::string(144, 'y')), kTooLong);
    EXPECT_EQ(desk.run("note +   " + std::string(143, 'y')), kOk);
}

TEST(Interpreter, DefaultSpoolsTakeEveryWordQuillpostTypes)
{
    for (const SpoolRow &row : kSpoolRows)
        EXPECT_EQ(Desk().run(std::string(row.word) + " + line"), kOk) << row.word;
}

using Args = std::vector<std::string>;

// --port and --dump are used by every run of the real server.
TEST(Options, ReadsEverySettingAndStopsAtHelp)
{
    const ParsedOptions parsed = parseOptions(
        { "--pulse-ms=10", "--spam-disconnect", "--spools", "onote,Note,'", "--name", "Quill" });
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->pulse, 10ms);
    EXPECT_TRUE(parsed.options->spamDisconnect);
    EXPECT_EQ(parsed.options->spools, (Args { "onote", "Note", "'" }));
    EXPECT_EQ(parsed.options->playerName, "Quill");
    EXPECT_TRUE(parseOptions({ "--help", "--bogus" }).help);
}

TEST(Options, RefusesBadArgumentsNamingThem)
{
    const std::pair<Args, std::string> cases[]
        = { { { "--port", "65536" }, "'65536'" }, { { "--port", "80x" }, "'80x'" },
              { { "--port" }, "--port needs a value" }, { { "--pulse-ms", "0" }, "'0'" },
              { { "--spools", "-note" }, "'-note'" }, { { "--name", "Two Words" }, "'Two Words'" },
              { { "--spam-disconnect=yes" }, "takes no value" }, { { "--bogus" }, "'--bogus'" } };
    for (const auto &[args, fault] : cases) {
        const ParsedOptions parsed = parseOptions(args);
        EXPECT_FALSE(parsed.options) << fault;
        EXPECT_NE(parsed.error.find(fault), std::string::npos) << parsed.error;
    }
}

TEST(Pacer, PulsesOnePeriodAfterTheLastPulseBegan)
{
    const Pacer::Clock::time_point t0 {};
    Pacer pacer(250ms);
    EXPECT_TRUE(pacer.due(t0)); // the first one at once
    pacer.pulseStarted(t0);
    EXPECT_FALSE(pacer.due(t0 + 249ms));
    EXPECT_TRUE(pacer.due(t0 + 250ms));
    // A late pulse is not made up for with a quick one.
    pacer.pulseStarted(t0 + 700ms);
    EXPECT_FALSE(pacer.due(t0 + 949ms));
    EXPECT_TRUE(pacer.due(t0 + 950ms));
    // Rounded up: a wait of 0 ms would have the poller spin.
    EXPECT_EQ(pacer.untilNext(t0 + 949ms + 1us), 1ms);
}

} // namespace
} // namespace quillpost::noteserver::test
