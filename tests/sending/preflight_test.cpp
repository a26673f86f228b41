#include "support/app_harness.h"

#include "sending/preflight.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

using Kind = Finding::Kind;

// 43 lines of 93 that differ, so that no run of them looks like spam, then `last`: they store
// 43 * 95 = 4085 characters, breaks included.
Lines nearlyFull(Lines last)
{
    Lines lines;
    for (int i = 0; i < 43; ++i)
        lines.push_back(std::string(92, 'n') + static_cast<char>('0' + i));
    lines.insert(lines.end(), last.begin(), last.end());
    return lines;
}

// Where the server cuts a line or drops the player is the preflight fuzz target's: it checks
// every line against the note server.
TEST(Preflight, NamesEveryLineTheServerWouldChange)
{
    using Found = std::vector<std::pair<int, Kind>>; // line, kind
    const std::tuple<std::string, Lines, Found> cases[] = {
        { "note", { "  indented", "   ", "Hello", "", "a(b)c {x} ^%+", "x  y  ", "~~ok", "a~" },
            { { 1, Kind::LeadingBlanks }, { 2, Kind::LeadingBlanks }, { 7, Kind::Tilde },
                { 8, Kind::Tilde } } },
        { "note", nearlyFull({ std::string(10, 'e') }), {} }, // 4095 stored
        // One over; a shorter line after a refused one is still taken.
        { "note", nearlyFull({ std::string(11, 'e'), std::string(8, 'f') }),
            { { 44, Kind::TooLong } } },
        // 2048 empty lines store 4096 characters of breaks; the 2049th does not fit.
        { "note", Lines(2049, ""), { { 26, Kind::Spam }, { 2049, Kind::TooLong } } },
    };
    for (const auto &[spool, lines, expected] : cases) {
        Preflight check(spool);
        for (const std::string &line : lines)
            check.add(line);
        Found found;
        for (const Finding &f : check.findings())
            found.emplace_back(f.line, f.kind);
        EXPECT_EQ(found, expected) << lines.size() << " lines";
    }
}

TEST(Preflight, ADisconnectIsNamedEvenPastTheFindingsShown)
{
    Preflight check("note");
    for (int i = 0; i < 10; ++i)
        check.add("~");
    check.add(std::string(2000, 'k'));
    EXPECT_TRUE(check.anyCut()) << "wrapping is offered";
    const std::string text = describeFindings(check.findings(), "|", nullptr, 8);
    EXPECT_TRUE(text.starts_with("line 1: \"~\" turned into \"-\"|")) << text;
    EXPECT_TRUE(text.ends_with("|... and 2 more.|line 11: so long (2000 characters; 1007 are "
                               "enough) that the server would disconnect you, and the rest of "
                               "the note would be lost|"))
        << text;
}

TEST(Wrapping, BreaksAtTheLastBlankWithinTheColumnsAndNeverMakesAnEmptyPart)
{
    const std::string w79(79, 'w'), b79(79, 'b');
    // Words kept in order, parts within the columns and never empty or blank are the fuzz
    // target's; these are where each break falls.
    const std::tuple<std::string, std::size_t, Lines> cases[]
        = { { "", 79, { "" } }, { w79, 79, { w79 } }, { w79 + "x", 79, { w79, "x" } },
              { "aaa bbb ccc", 5, { "aaa", "bbb", "ccc" } }, { "a b c d", 3, { "a b", "c d" } },
              { w79 + "   next", 79, { w79, "next" } }, { " " + b79 + " x", 79, { b79, "x" } },
              { std::string(200, ' '), 79, { "" } },
              { std::string(200, 'h'), 79,
                  { std::string(79, 'h'), std::string(79, 'h'), std::string(42, 'h') } } };
    for (const auto &[line, columns, parts] : cases)
        EXPECT_EQ(wrapLine(line, columns), parts) << '"' << line << '"';
}

} // namespace
} // namespace quillpost::test
