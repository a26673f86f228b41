#include "noteserver/note_interpreter.h"
#include "noteserver/options.h"
#include "spools/spools.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quillpost::noteserver::test {
namespace {

const std::string kOk = "Ok.\n\r";
const std::string kHuh = "Huh?\n\r";
const std::string kCannot = "You can't do that.\n\r";
const std::string kReading = "This server takes notes but does not read them back.\n\r";
const std::string kNoLines = "No lines left to remove.\n\r";
const std::string kOther = "You already have a different note in progress.\n\r";
const std::string kNoNote = "You have no note in progress.\n\r";
const std::string kWrongKind = "You aren't working on that kind of note.\n\r";
const std::string kNoRecipient = "You need to provide a recipient (name, all, or immortal).\n\r";
const std::string kNoSubject = "You need to provide a subject.\n\r";
const std::string kTooLong = "Note too long.\n\r";

constexpr std::time_t kNow = 1'700'000'000;

struct Desk
{
    NoteBoard board;
    NoteInterpreter interpreter { { "note", "idea" }, board, [] { return kNow; } };
    Player player { "Player", std::nullopt };

    std::string run(const std::string &line) { return interpreter.interpret(player, line); }
};

struct Step
{
    std::string line;
    std::string answer;
};

struct Script
{
    std::string name;
    std::vector<Step> steps;
    std::optional<std::string> draft; // the text in progress afterwards; none when no note is
};

void PrintTo(const Script &s, std::ostream *os)
{
    *os << s.name;
}

class NoteCommands : public testing::TestWithParam<Script>
{
};

TEST_P(NoteCommands, AnswerAndKeepTheNoteAsRomDoes)
{
    Desk desk;
    for (const Step &step : GetParam().steps)
        EXPECT_EQ(desk.run(step.line), step.answer) << "after " << step.line;
    ASSERT_EQ(desk.player.draft.has_value(), GetParam().draft.has_value());
    if (GetParam().draft) {
        EXPECT_EQ(desk.player.draft->text, *GetParam().draft);
    }
}

INSTANTIATE_TEST_SUITE_P(Interpreter, NoteCommands,
    testing::Values(Script { "AddsALineEndedByLfCr", { { "note + Hello", kOk } }, "Hello\n\r" },
        Script { "StripsLeadingBlanksKeepsTrailingOnes", { { "note +    two  words  ", kOk } },
            "two  words  \n\r" },
        Script { "SmashesTildes", { { "note + a~b~~", kOk } }, "a-b--\n\r" },
        Script { "EmptyLines", { { "note + ", kOk }, { "note +", kOk } }, "\n\r\n\r" },
        Script { "CommandWordIgnoresCaseAndLeadingBlanks", { { "   NoTe + x", kOk } }, "x\n\r" },
        Script { "OnlyWholeSpoolWordsAreCommands",
            { { "notes + x", kHuh }, { "not + x", kHuh }, { "'note + x", kHuh }, { "+ x", kHuh },
                { "   ", "" } },
            std::nullopt },
        Script { "SubCommandNeedsItsBlank", { { "note +x", kCannot }, { "note q", kCannot } },
            std::nullopt },
        Script { "QuotedSubCommand", { { "note '+' quoted", kOk } }, "quoted\n\r" },
        // Reading words come first in ROM, so "c" is catchup and never clears.
        Script { "ReadingWordsLeaveTheNoteAlone",
            { { "note + a", kOk }, { "note", kReading }, { "note c", kReading },
                { "note r", kReading }, { "note l", kReading }, { "note d", kReading },
                { "note rem 1", kReading } },
            "a\n\r" },
        Script { "MinusRemovesTheLastLineSilently",
            { { "note + a", kOk }, { "note + b", kOk }, { "note -", "" } }, "a\n\r" },
        Script { "MinusDownToNothing",
            { { "note + a", kOk }, { "note -", "" }, { "note -", kNoLines } }, "" },
        Script { "MinusRemovesALoneEmptyLine",
            { { "note + x", kOk }, { "note + ", kOk }, { "note -", "" }, { "note -", "" } }, "" },
        // ROM attaches a note before it finds nothing to remove.
        Script { "MinusOnNoNoteStartsOneOfThatSpool",
            { { "note -", kNoLines }, { "idea + x", kOther } }, "" },
        Script { "OneNoteInProgressAcrossSpools",
            { { "note + a", kOk }, { "idea + b", kOther }, { "idea -", kOther },
                { "idea to all", kOther }, { "idea subject s", kOther },
                { "idea show", kWrongKind }, { "idea post", kWrongKind }, { "idea clear", kOk },
                { "idea + b", kOk } },
            "b\n\r" },
        Script { "ShowsSenderSubjectRecipientAndText",
            { { "note show", kNoNote }, { "note + a~", kOk }, { "note to  all", kOk },
                // "s" is subject, which ROM tries before show and send.
                { "note s Hi ~there", kOk },
                { "note sh", "Player: Hi -there\n\rTo: all\n\ra-\n\r" } },
            "a-\n\r" },
        Script { "PostNeedsARecipientThenASubject",
            { { "note post", kNoNote }, { "note + a", kOk }, { "note post", kNoRecipient },
                { "note subject Hi", kOk }, { "note post", kNoRecipient }, { "note t all", kOk },
                { "note subject", kOk }, { "note send", kNoSubject }, { "note su Hi", kOk },
                { "note p", "" }, { "note show", kNoNote } },
            std::nullopt },
        Script { "ClearDropsTheNote",
            { { "note + a", kOk }, { "note cl", kOk }, { "note clear", kOk } }, std::nullopt }),
    [](const auto &info) { return info.param.name; });

TEST(Interpreter, PostedNoteGoesOnTheBoardOfItsSpool)
{
    Desk desk;
    for (const char *line :
        { "idea to all", "idea subject Hi", "idea + one", "idea + two", "idea post" })
        desk.run(line);
    ASSERT_EQ(desk.board.posted.size(), 1u);
    const Note &note = desk.board.posted[0];
    EXPECT_EQ(note.spool, "idea");
    EXPECT_EQ(note.sender, "Player");
    EXPECT_EQ(note.to, "all");
    EXPECT_EQ(note.subject, "Hi");
    EXPECT_EQ(note.text, "one\n\rtwo\n\r");
    EXPECT_EQ(note.stamp, kNow);
    EXPECT_FALSE(note.date.empty());
    EXPECT_EQ(formatNoteFile(desk.board.posted),
        "Spool   idea~\nSender  Player~\nDate    " + note.date
            + "~\nStamp   1700000000\nTo      all~\nSubject Hi~\nText\none\n\rtwo\n\r~\n");
}

struct Length
{
    std::size_t lastLine;
    bool accepted;
};

void PrintTo(const Length &l, std::ostream *os)
{
    *os << "last line of " << l.lastLine;
}

class NoteLength : public testing::TestWithParam<Length>
{
};

// Sixteen lines of 245 characters hold 3952 characters with their line breaks; ROM takes a line
// while the note and the line together stay under 4096.
TEST_P(NoteLength, CountsTwoCharactersPerLineBreak)
{
    Desk desk;
    const std::string line(245, 'x');
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(desk.run("note + " + line), kOk);
    ASSERT_EQ(desk.player.draft->text.size(), 3952u);

    const std::string last(GetParam().lastLine, 'y');
    EXPECT_EQ(desk.run("note +   " + last), GetParam().accepted ? kOk : kTooLong);
    EXPECT_EQ(
        desk.player.draft->text.size(), GetParam().accepted ? 3952u + last.size() + 2 : 3952u);
}

INSTANTIATE_TEST_SUITE_P(Interpreter, NoteLength,
    testing::Values(Length { 143, true }, Length { 144, false }, Length { 0, true }));

TEST(Interpreter, EvenAnEmptyLineIsRefusedFrom4096On)
{
    Desk desk;
    desk.player.draft = Note { .spool = "note",
        .sender = "Player",
        .to = {},
        .subject = {},
        .text = std::string(4091, 'x') + "\n\r",
        .date = {},
        .stamp = 0 };
    EXPECT_EQ(desk.run("note + "), kOk); // 4093 + 0
    EXPECT_EQ(desk.run("note + "), kOk); // 4095 + 0, leaving 4097
    EXPECT_EQ(desk.run("note + "), kTooLong);
    EXPECT_EQ(desk.player.draft->text.size(), 4097u);
}

TEST(Interpreter, KeepsEveryPrintableCharacterButTilde)
{
    std::string printable;
    for (char c = '!'; c <= '~'; ++c)
        printable += c;
    printable += " end";
    Desk desk;
    ASSERT_EQ(desk.run("note + " + printable), kOk);
    std::string expected = printable;
    expected[expected.find('~')] = '-';
    EXPECT_EQ(desk.player.draft->text, expected + "\n\r");
}

TEST(Interpreter, DefaultSpoolsTakeEveryWordQuillpostTypes)
{
    NoteBoard board;
    const Options defaults;
    NoteInterpreter interpreter(defaults.spools, board);
    for (const SpoolRow &row : kSpoolRows) {
        Player player { "Player", std::nullopt };
        EXPECT_EQ(interpreter.interpret(player, std::string(row.word) + " + line"), kOk)
            << row.word;
    }
    for (const char *rom : { "note", "idea", "penalty", "news", "changes" }) {
        Player player { "Player", std::nullopt };
        EXPECT_EQ(interpreter.interpret(player, std::string(rom) + " + line"), kOk) << rom;
    }
}

} // namespace
} // namespace quillpost::noteserver::test
