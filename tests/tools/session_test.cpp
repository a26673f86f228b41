#include "fake_byte_source.h"

#include "noteserver/note_interpreter.h"
#include "noteserver/repeat_guard.h"
#include "noteserver/session.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace quillpost::noteserver::test {
namespace {

const std::string kAnswered = "Ok.\n\r> ";

// One player's connection, pulsed by hand: each pulse() is one quarter second of ROM's loop.
struct Connection
{
    explicit Connection(SessionSettings settings = {})
        : session(interpreter, "127.0.0.1:5000", std::move(settings), log)
    {
    }

    PulseResult pulse()
    {
        PulseResult result = session.pulse(source.readable() ? &source : nullptr);
        closed = closed || result.close;
        return result;
    }

    std::string draft() const
    {
        return session.player().draft ? session.player().draft->text : "(none)";
    }

    NoteBoard board;
    NoteInterpreter interpreter { { "note", "idea" }, board };
    std::ostringstream log;
    FakeByteSource source;
    Session session;
    bool closed = false;
};

// Note lines of exactly `total` bytes, each ended by LF.
std::string noteLines(std::size_t total)
{
    std::string out;
    while (out.size() + 40 <= total)
        out += "note + " + std::string(32, 'x') + "\n";
    return out + "note + " + std::string(total - out.size() - 8, 'y') + "\n";
}

TEST(Session, RunsOneQueuedLinePerPulseInArrivalOrder)
{
    Connection c;
    c.source.arrive("note + 1\r\nnote + 2\r\nnote + 3\r\n");
    EXPECT_EQ(c.pulse().output, kAnswered);
    EXPECT_EQ(c.draft(), "1\n\r");
    c.source.arrive("note + 4\r\n");
    for (const char *expected : { "1\n\r2\n\r", "1\n\r2\n\r3\n\r", "1\n\r2\n\r3\n\r4\n\r" }) {
        EXPECT_EQ(c.pulse().output, kAnswered);
        EXPECT_EQ(c.draft(), expected);
    }
    const PulseResult idle = c.pulse();
    EXPECT_EQ(idle.output, "");
    EXPECT_FALSE(idle.close);
}

TEST(Session, WaitsForALineEndBeforeRunningAnything)
{
    Connection c;
    c.source.arrive("note + par");
    EXPECT_EQ(c.pulse().output, "");
    c.source.arrive("tial\r");
    EXPECT_EQ(c.pulse().output, kAnswered);
    EXPECT_EQ(c.draft(), "partial\n\r");
}

TEST(Session, TooLongLineRunsItsFirst254Characters)
{
    Connection c;
    c.source.arrive("note + " + std::string(300, 'x') + "\r\nnote + read along, lost\r\n");
    EXPECT_EQ(c.pulse().output, "Line too long.\n\r" + kAnswered);
    EXPECT_EQ(c.draft(), std::string(247, 'x') + "\n\r");
    // Only what was still in the socket survives the cut.
    c.source.arrive("note + sent later\r\n");
    EXPECT_EQ(c.pulse().output, kAnswered);
    EXPECT_EQ(c.pulse().output, "");
    EXPECT_EQ(c.draft(), std::string(247, 'x') + "\n\rsent later\n\r");
}

TEST(Session, BurstOfUpTo1014BytesRunsLineByLine)
{
    Connection c;
    const std::string burst = noteLines(1014);
    c.source.arrive(burst);
    const auto lines = static_cast<int>(std::count(burst.begin(), burst.end(), '\n'));
    int answered = 0;
    while (c.pulse().output == kAnswered)
        ++answered;
    EXPECT_EQ(answered, lines);
    EXPECT_FALSE(c.closed);
}

TEST(Session, BurstOver1014BytesDropsThePlayerBeforeAnyLineRuns)
{
    Connection c;
    c.source.arrive(noteLines(1015));
    const PulseResult result = c.pulse();
    EXPECT_TRUE(result.close);
    EXPECT_EQ(result.output, ""); // ROM's read of zero bytes looks like EOF: no farewell
    EXPECT_EQ(c.draft(), "(none)");
    EXPECT_NE(c.log.str().find("input overflow"), std::string::npos) << c.log.str();
}

TEST(Session, TypingTwoLinesPerPulseOverflowsAndLosesEveryWaitingLine)
{
    Connection c;
    std::vector<std::string> sent;
    std::string expected;
    int pulses = 0;
    while (!c.closed && pulses < 500) {
        for (int i = 0; i < 2; ++i) {
            sent.push_back("line " + std::to_string(sent.size()));
            c.source.arrive("note + " + sent.back() + "\n");
        }
        if (c.pulse().output == kAnswered)
            expected += sent[static_cast<std::size_t>(pulses)] + "\n\r";
        ++pulses;
    }
    ASSERT_TRUE(c.closed);
    EXPECT_EQ(c.draft(), expected) << "the lines that ran are the first ones sent, in order";
    EXPECT_LT(pulses, static_cast<int>(sent.size()));
}

TEST(Session, TypingOneLinePerPulseNeverOverflows)
{
    Connection c;
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        c.source.arrive("note + " + std::to_string(i) + "\r\n");
        ASSERT_EQ(c.pulse().output, kAnswered) << "line " << i;
        expected += std::to_string(i) + "\n\r";
    }
    EXPECT_EQ(c.draft(), expected);
}

TEST(Session, HangingUpLosesLinesNotYetRun)
{
    Connection c;
    c.source.arrive("note + a\nnote + b\n");
    c.source.hangUp();
    EXPECT_EQ(c.pulse().output, kAnswered);
    EXPECT_TRUE(c.pulse().close);
    EXPECT_EQ(c.draft(), "a\n\r");
}

TEST(Session, SpamIsOnlyLoggedByDefault)
{
    Connection c;
    for (int i = 0; i < 26; ++i)
        c.source.arrive("note + same\r\n");
    for (int i = 0; i < 25; ++i)
        ASSERT_EQ(c.pulse().output, kAnswered);
    EXPECT_EQ(c.log.str(), "");
    EXPECT_EQ(c.pulse().output, kAnswered);
    EXPECT_NE(c.log.str().find("127.0.0.1:5000 input spamming! note + same"), std::string::npos)
        << c.log.str();
    EXPECT_FALSE(c.closed);
}

TEST(Session, SpamDisconnectDropsThePlayerInsteadOfRunningTheLine)
{
    Connection c(SessionSettings { .playerName = "Player", .spamDisconnect = true });
    for (int i = 0; i < 26; ++i)
        c.source.arrive("note + same\r\n");
    for (int i = 0; i < 25; ++i)
        ASSERT_EQ(c.pulse().output, kAnswered);
    const PulseResult result = c.pulse();
    EXPECT_TRUE(result.close);
    EXPECT_EQ(result.output, "\n\r*** PUT A LID ON IT!!! ***\n\r");
    std::string expected;
    for (int i = 0; i < 25; ++i)
        expected += "same\n\r";
    EXPECT_EQ(c.draft(), expected);
}

TEST(Session, BangRunsTheLastLineAgain)
{
    Connection c;
    c.source.arrive("!\nnote + a\n!\n");
    EXPECT_EQ(c.pulse().output, "") << "nothing to repeat yet";
    c.pulse();
    EXPECT_EQ(c.pulse().output, kAnswered);
    EXPECT_EQ(c.draft(), "a\n\ra\n\r");
}

TEST(Session, ReportsWhenTheNoteTextChangesAndWhenANoteIsPosted)
{
    Connection c;
    c.source.arrive("note + a\nnote to all\nnote subject s\nnote show\nnote post\n");
    struct Flags
    {
        bool draftChanged;
        bool posted;
    };
    for (const Flags expected : { Flags { true, false }, Flags { false, false },
             Flags { false, false }, Flags { false, false }, Flags { true, true } }) {
        const PulseResult result = c.pulse();
        EXPECT_EQ(result.draftChanged, expected.draftChanged) << result.output;
        EXPECT_EQ(result.posted, expected.posted) << result.output;
    }
    EXPECT_EQ(c.board.posted.size(), 1u);
}

struct Repeats
{
    std::string name;
    std::vector<std::string> lines;
    std::vector<std::size_t> spamAt; // 1-based positions of the lines taken for spam
};

void PrintTo(const Repeats &r, std::ostream *os)
{
    *os << r.name;
}

class RepeatCount : public testing::TestWithParam<Repeats>
{
};

TEST_P(RepeatCount, FlagsTheTwentyFifthRepeatInARow)
{
    RepeatGuard guard;
    std::vector<std::size_t> spamAt;
    for (std::size_t i = 0; i < GetParam().lines.size(); ++i)
        if (guard.pass(GetParam().lines[i]).spamming)
            spamAt.push_back(i + 1);
    EXPECT_EQ(spamAt, GetParam().spamAt);
}

std::vector<std::string> times(int n, const std::string &line)
{
    return std::vector<std::string>(static_cast<std::size_t>(n), line);
}

std::vector<std::string> concat(std::vector<std::vector<std::string>> parts)
{
    std::vector<std::string> out;
    for (auto &part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(RepeatGuard, RepeatCount,
    testing::Values(Repeats { "CountRestartsAfterSpam", times(60, "note + x"), { 26, 51 } },
        Repeats { "OneCharacterLinesNeverCount", times(100, "n"), {} },
        Repeats { "ADifferentLineRestarts",
            concat({ times(25, "note + x"), { "note + y" }, times(25, "note + x") }), {} },
        Repeats { "AnEmptyLineRestarts",
            concat({ times(20, "note + x"), { " " }, times(20, "note + x") }), {} },
        Repeats { "BangAlwaysCounts", concat({ { "note + x" }, times(25, "!") }), { 26 } },
        Repeats { "BangAfterADifferentLineCounts",
            concat({ times(24, "note + x"), { "note + y" }, times(25, "!") }), { 50 } }),
    [](const auto &info) { return info.param.name; });

TEST(RepeatGuard, BangBecomesTheLastLineAndLeavesItAsTheLast)
{
    RepeatGuard guard;
    EXPECT_EQ(guard.pass("!").command, "");
    EXPECT_EQ(guard.pass("note + a").command, "note + a");
    EXPECT_EQ(guard.pass("!anything").command, "note + a");
    EXPECT_EQ(guard.pass("!").command, "note + a");
}

} // namespace
} // namespace quillpost::noteserver::test
