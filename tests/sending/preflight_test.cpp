#include "support/app_harness.h"

#include "sending/loader.h"
#include "sending/preflight.h"
#include "sending/text_check.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

using Kind = Finding::Kind;

struct Case
{
    const char *name;
    std::string spool;
    std::vector<std::string> lines;
    std::vector<std::pair<int, Kind>> found; // line, kind
};

class ServerView : public testing::TestWithParam<Case>
{
};

TEST_P(ServerView, NamesEveryLineTheServerWouldChange)
{
    Preflight check(GetParam().spool);
    for (const std::string &line : GetParam().lines)
        check.add(line);
    std::vector<std::pair<int, Kind>> found;
    for (const Finding &f : check.findings())
        found.emplace_back(f.line, f.kind);
    EXPECT_EQ(found, GetParam().found);
}

std::vector<std::string> repeated(std::string line, int times)
{
    return std::vector<std::string>(static_cast<std::size_t>(times), line);
}

// Lines that differ, so that no run of them looks like spam.
std::vector<std::string> linesOf(std::size_t width, int count)
{
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back(std::string(width - 1, 'n') + static_cast<char>('0' + i % 40));
    return lines;
}

INSTANTIATE_TEST_SUITE_P(Preflight, ServerView,
    testing::Values(Case { "Fits", "note", { "Hello", "", "a(b)c {x} ^%+", "x  y  " }, {} },
        // "note + " leaves 247 of the 254 characters the server keeps.
        Case { "LongestLineKept", "note", { std::string(247, 'k') }, {} },
        Case { "OneCharacterTooMany", "note", { std::string(248, 'k') }, { { 1, Kind::Cut } } },
        Case { "LongerSpoolKeepsLess", "background",
            { std::string(241, 'k'), std::string(242, 'k') }, { { 2, Kind::Cut } } },
        Case { "Blanks", "note", { "  indented", "   ", "ok" },
            { { 1, Kind::LeadingBlanks }, { 2, Kind::LeadingBlanks } } },
        Case { "Tilde", "note", { "~~ok", "a~" }, { { 1, Kind::Tilde }, { 2, Kind::Tilde } } },
        // 43 lines of 93 store 43 * 95 = 4085; a 44th of 10 reaches 4095: still stored.
        Case { "NoteJustFits", "note",
            [] {
                auto l = linesOf(93, 43);
                l.push_back(std::string(10, 'e'));
                return l;
            }(),
            {} },
        Case { "NoteOneOver", "note",
            [] {
                auto l = linesOf(93, 43);
                l.push_back(std::string(11, 'e'));
                l.push_back(std::string(8, 'f')); // a shorter line after it is still taken
                return l;
            }(),
            { { 44, Kind::TooLong } } },
        // 2048 empty lines store 4096 characters of breaks; the 2049th does not fit.
        Case { "EmptyLinesCountTheirBreaks", "note", repeated("", 2049),
            { { 26, Kind::Spam }, { 2049, Kind::TooLong } } },
        Case { "TwentyFiveRepeatsAreSpam", "note", repeated("-----", 26), { { 26, Kind::Spam } } },
        Case { "TwentyFourRepeatsAreNot", "note", repeated("-----", 25), {} },
        Case { "CutLinesCompareAsCut", "note",
            { std::string(250, 'z') + "1", std::string(250, 'z') + "2" },
            { { 1, Kind::Cut }, { 2, Kind::Cut } } }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Wrapping, BreaksAtTheLastBlankWithinTheColumnsAndKeepsEveryWord)
{
    struct WrapCase
    {
        std::string line;
        std::vector<std::string> parts;
    };
    const std::string w79(79, 'w');
    const WrapCase cases[] = {
        { "short line", { "short line" } },
        { w79, { w79 } },
        { w79 + "x", { w79, "x" } },
        { "aaa bbb ccc", { "aaa", "bbb", "ccc" } }, // at 5 columns, below
        { w79 + "   next", { w79, "next" } },
        { std::string(40, 'a') + " " + std::string(50, 'b'),
            { std::string(40, 'a'), std::string(50, 'b') } },
    };
    for (const WrapCase &c : cases) {
        const std::size_t columns = c.line == "aaa bbb ccc" ? 5 : 79;
        EXPECT_EQ(wrapLine(c.line, columns), c.parts) << c.line;
    }
}

const std::string kLong = [] {
    std::string s;
    for (int i = 0; i < 30; ++i)
        s += "word" + std::to_string(i) + " ";
    return s + std::string(200, 'q');
}();

TEST(PreflightOnLoad, FilesThatFitGoOnWithNoBox)
{
    AppHarness h;
    h.platform.addFile("fine.txt", "Hello\n(world)\n");
    h.openToSend("fine.txt");
    EXPECT_TRUE(h.platform.choices.empty());
    EXPECT_TRUE(h.app->state().sending);
}

TEST(PreflightOnLoad, AskedBeforeTheFirstLineWithWrapOfferedForCutLines)
{
    struct Story
    {
        const char *name;
        std::string answer;
        std::vector<std::string> typed;
    };
    const std::string file = "first\n" + kLong + "\nlast ~\n";
    const Story stories[] = {
        { "cancel", std::string(kCancelSend), {} },
        { "closed", "", {} },
        { "as it is", std::string(kSendAsItIs), { "first", kLong, "last {~}" } },
        { "wrapped", std::string(kWrapAndSend) + "|" + std::string(kSendAsItIs),
            [] {
                std::vector<std::string> t { "first" };
                for (auto &part : wrapLine(kLong, 79))
                    t.push_back(part);
                t.push_back("last {~}");
                return t;
            }() },
    };
    for (const Story &story : stories) {
        SCOPED_TRACE(story.name);
        AppHarness h;
        h.platform.addFile("long.txt", file);
        for (std::size_t from = 0; from < story.answer.size();) {
            const std::size_t bar = std::min(story.answer.find('|', from), story.answer.size());
            h.platform.choiceAnswers.push_back(story.answer.substr(from, bar - from));
            from = bar + 1;
        }
        h.openToSend("long.txt");
        ASSERT_GE(h.platform.choices.size(), 1u);
        const auto &[prompt, offered] = h.platform.choices[0];
        EXPECT_EQ(
            offered, (std::vector<std::string> { "&Wrap and send", "Send &as it is", "&Cancel" }));
        EXPECT_NE(prompt.find("line 2: cut after 247 characters (it has "
                      + std::to_string(kLong.size()) + ")"),
            std::string::npos)
            << prompt;
        EXPECT_NE(prompt.find("line 3: \"~\" turned into \"-\""), std::string::npos) << prompt;
        h.tick(static_cast<int>(story.typed.size()) + 1);
        std::vector<std::string> expected;
        for (const auto &line : story.typed)
            expected.push_back("note += " + line + "\r");
        EXPECT_EQ(h.platform.keys, expected);
        if (story.typed.empty()) {
            EXPECT_EQ(h.status(), kSendCancelled);
            EXPECT_FALSE(h.app->state().sending);
        }
        EXPECT_EQ(h.platform.openFiles(), 0);
    }
}

TEST(PreflightOnLoad, WithoutCutLinesOnlySendOrCancelAndWrappingIsCheckedAgain)
{
    AppHarness h;
    h.platform.addFile("tilde.txt", "a ~ b\n");
    h.openToSend("tilde.txt");
    ASSERT_EQ(h.platform.choices.size(), 1u);
    EXPECT_EQ(
        h.platform.choices[0].second, (std::vector<std::string> { "Send &as it is", "&Cancel" }));

    // 4000 characters on 16 lines fit the server; wrapped into 52 lines, their breaks do not.
    AppHarness w;
    std::string big;
    for (int i = 0; i < 16; ++i)
        big += std::string(249, 'a' + static_cast<char>(i)) + " x\n";
    w.platform.addFile("big.txt", big);
    w.platform.choiceAnswers = { std::string(kWrapAndSend), std::string(kCancelSend) };
    w.openToSend("big.txt");
    ASSERT_EQ(w.platform.choices.size(), 2u);
    EXPECT_NE(w.platform.choices[1].first.find("refused as too long"), std::string::npos)
        << w.platform.choices[1].first;
    EXPECT_FALSE(w.app->state().sending);
}

TEST(PreflightOnLoad, AFileTooLongToRebuildIsNotOfferedWrapping)
{
    // A cut line, then more empty lines than any note holds: wrapping would have to rebuild the
    // whole file from what was read, so only sending it as it is is offered.
    AppHarness h;
    h.platform.addFile("many.txt", kLong + "\n" + std::string(5000, '\n'));
    h.openToSend("many.txt");
    ASSERT_EQ(h.platform.choices.size(), 1u);
    EXPECT_EQ(
        h.platform.choices[0].second, (std::vector<std::string> { "Send &as it is", "&Cancel" }));
}

TEST(PreflightOnLoad, AFileThatGrowsAfterTheSizeCheckIsRefusedUnread)
{
    AppHarness h;
    h.platform.addFile("grows.txt", "short\n");
    h.platform.beforeOpen = [&h, opens = 0](const std::string &) mutable {
        if (++opens == 2)
            h.platform.addEndlessFile("grows.txt", 'g');
    };
    h.openToSend("grows.txt");
    EXPECT_EQ(h.status(), "Error: grows.txt changed while it was being checked.");
    EXPECT_LT(h.platform.bytesRead("grows.txt"), 3 * kMaxNoteChars);
    EXPECT_FALSE(h.app->state().sending);
    EXPECT_EQ(h.platform.openFiles(), 0);
}

} // namespace
} // namespace quillpost::test
