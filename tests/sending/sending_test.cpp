#include "support/app_harness.h"

#include "sending/loader.h"
#include "sending/preflight.h"
#include "sending/text_check.h"
#include "windows/credit.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

TEST(Sending, TypesOneLinePerTickHoldsWhilePausedAndEndsOnTheTickAfterTheLast)
{
    AppHarness h;
    h.tick(3);
    EXPECT_EQ(h.status(), kCreditLine) << "ticks while idle change nothing";
    EXPECT_FALSE(h.menu("pause").enabled()) << "nothing to pause yet";
    h.send("Hello\r\na(b)c\r\n(x)\r\n");
    h.tick();
    EXPECT_EQ(h.status(), "Status: Sending -> note += Hello");
    h.click("pause");
    EXPECT_EQ(h.menu("pause").caption(), "&Start");
    h.tick(4);
    EXPECT_EQ(h.platform.arrived, "note + Hello\r");
    h.click("pause");
    EXPECT_EQ(h.menu("pause").caption(), "&Pause");
    h.tick(2);
    EXPECT_EQ(h.status(), "Status: Sending -> note += {(}x{)}");
    EXPECT_EQ(h.platform.ownActivations, 0);
    h.tick();
    EXPECT_EQ(h.status(), "End of file!!!");
    h.tick(2);
    EXPECT_EQ(h.platform.arrived, "note + Hello\rnote + a(b)c\rnote + (x)\r");
    EXPECT_NE(h.app->send().state(), Send::State::Sending);
    EXPECT_FALSE(h.menu("pause").enabled());
    EXPECT_EQ(h.menu("pause").caption(), "&Pause");
    EXPECT_EQ(h.platform.ownActivations, 1);
    EXPECT_EQ(h.platform.openFiles(), 0);

    // A cancelled load only enables Pause; Start with no file open ends at the next tick.
    h.click("openfile");
    EXPECT_TRUE(h.menu("pause").enabled());
    EXPECT_EQ(h.status(), "End of file!!!");
    EXPECT_NE(h.app->send().state(), Send::State::Sending);
    h.click("pause");
    h.click("pause");
    h.tick();
    EXPECT_FALSE(h.menu("pause").enabled());
}

// Real clients retitle their window as they run; the send keeps the window it found until that
// window is closed, and only then looks again by title.
TEST(ClientCheck, KeepsTheWindowItFoundUntilItClosesThenLooksAgain)
{
    AppHarness h;
    h.send("one\ntwo\nthree\nfour\nfive\n");
    h.tick();
    h.platform.clientTitle = "(*) Hollowmere - zmud";
    h.tick();
    EXPECT_EQ(h.platform.activated, Lines { "zMUD" }) << "looked up by title only once";

    // Closed between ticks: the warning until a new client is there; ticks that fall due while
    // it is open type nothing, and the line waits for the new client.
    h.platform.clientOpen = false;
    h.platform.clientTitle = "zMUD";
    h.platform.whileBoxOpen = [&] {
        h.tick(4);
        if (h.platform.arrived != "note + one\rnote + two\r")
            throw std::logic_error("ticks typed while the warning was open");
        if (h.platform.boxes.size() == 3)
            h.platform.reopenClient();
    };
    h.tick();
    ASSERT_EQ(h.platform.boxes.size(), 3u);
    EXPECT_TRUE(contains(h.platform.boxes[0].prompt, "Zmud is not opened"));
    EXPECT_EQ(h.platform.boxes[0].style, MsgStyle::Exclamation);
    EXPECT_EQ(h.status(), "Status: Sending -> note += three");

    // Closed while a line was cut short: its start went with the old window, so the new one
    // gets the whole line.
    h.platform.whileBoxOpen = nullptr;
    h.platform.sendFailure = { 4, ErrorKind::FocusLost, 5 }; // half a line, then the window goes
    h.tick();
    h.platform.reopenClient();
    h.click("pause");
    h.tick(3);
    EXPECT_EQ(h.platform.arrived,
        "note + one\rnote + two\rnote + three\rnote note + four\rnote + five\r");
    EXPECT_EQ(h.status(), "End of file!!!");

    // Still open, but no longer a "zMUD" window: the next send must not take it.
    h.platform.clientTitle = "xterm";
    h.platform.whileBoxOpen = [&] { h.platform.clientTitle = "zMUD"; };
    h.open("f.txt");
    h.tick();
    EXPECT_EQ(h.platform.boxes.size(), 4u);
    EXPECT_EQ(h.platform.activated.back(), "zMUD");
}

// A window chosen by clicking is the client for the rest of the run, whatever its title, until
// it closes; then the title rule applies again.
TEST(ClientChoice, TheChosenWindowServesUntilItClosesThenTheTitleRuleAgain)
{
    AppHarness h;
    h.app->setClientTitle("Mud");
    h.platform.client = WindowId { 0x77 };
    h.platform.clientTitle = "Hollowmere - Mudlet";
    h.platform.picks.push_back(PickedWindow { { 0x77 }, "Hollowmere - Mudlet" });
    h.click("chooseclient");
    EXPECT_EQ(h.status(), "Client window: Hollowmere - Mudlet");

    h.send("one\ntwo\n");
    h.tick(3);
    // Esc, and a click on the program's own window, which a box refuses, keep the chosen one.
    h.platform.picks.push_back(PickedWindow { { 0x99 }, "Quillpost", true });
    h.click("chooseclient");
    EXPECT_EQ(h.status(), kChooseClientCancelled);
    h.click("chooseclient");
    EXPECT_EQ(h.status(), kChooseClientCancelled);
    h.open("f.txt");
    h.tick();
    EXPECT_TRUE(h.platform.activated.empty()) << "the chosen window was looked up by title";

    h.platform.reopenClient();
    h.platform.clientTitle = "mudlet";
    h.tick(2);
    EXPECT_EQ(h.platform.activated, Lines { "Mud" });
    EXPECT_EQ(h.platform.arrived, "note + one\rnote + two\rnote + one\rnote + two\r");
    EXPECT_EQ(h.platform.boxes.size(), 1u);
}

// A focus loss pauses at the line; ticks then do nothing, and Start types what was not typed:
// the whole line, or, when part of it is already in the client's input line, only the rest,
// with the spool it was begun with.
TEST(FocusCheck, AFocusLossPausesAtTheLineAndStartTypesWhatWasNotTyped)
{
    // How much of line 2 is typed before the loss, the status, and what arrived then and at the
    // end.
    const std::tuple<std::size_t, std::string, std::string, std::string> cases[] = {
        { 0, "line 2 was not typed", "note + one\r", "note + one\rqnote + (a) b\rqnote + c\r" },
        { std::string("note + (").size(), "line 2 was typed up to character 8 of 12",
            "note + one\rnote + (", "note + one\rnote + (a) b\rqnote + c\r" },
    };
    for (const auto &[typedBefore, status, atPause, arrived] : cases) {
        SCOPED_TRACE(status);
        AppHarness h;
        // Loaded over another file, which leaves Pause disabled: the pause must enable it.
        h.send("other\n");
        h.send("one\n(a) b\nc\n");
        h.platform.sendFailure = { 2, ErrorKind::FocusLost, typedBefore };
        h.tick(2);
        EXPECT_NE(h.app->send().state(), Send::State::Sending);
        EXPECT_EQ(h.menu("pause").caption(), "&Start");
        EXPECT_TRUE(h.menu("pause").enabled());
        EXPECT_TRUE(contains(h.status(), status)) << h.status();
        EXPECT_TRUE(contains(h.status(), "xterm")) << h.status();
        h.tick(3);
        EXPECT_EQ(h.platform.arrived, atPause) << "ticks typed while paused";
        h.click("quest");
        h.click("pause");
        h.tick(3);
        EXPECT_EQ(h.platform.arrived, arrived);
        EXPECT_EQ(h.status(), "End of file!!!");
    }
}

TEST(Sending, AFailedTickEndsTheSendWithAnErrorNamingTheLineNotTyped)
{
    // The send that fails, or how the file changes, after the file was loaded.
    using Failure = FakePlatform::SendFailure;
    const struct
    {
        std::optional<Failure> failure;
        std::function<void(FakePlatform::File &)> change;
        std::string statusStart;
        std::string line2 = "Line 2 was not typed.";
        std::string arrived = "note + one\r";
    } cases[] = {
        { Failure { 2, ErrorKind::Typing }, {}, "Error: The display refused the keys." },
        { Failure { 2, ErrorKind::Typing, 5 }, {}, "Error: The display refused the keys.",
            "Line 2 was typed only in part.", "note + one\rnote " },
        { {}, [](auto &f) { f.failAfter = 5; }, "Error: Could not read f.txt after line 1." },
        { {}, [](auto &f) { f.contents = "one\ntw\to\nthree\n"; },
            "Error: the file changed after it was loaded" },
        { {}, [](auto &f) { f.contents = "one\n" + std::string(9000, 'g'); },
            "Error: the file changed after it was loaded: line 2 is longer than a whole note." },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.statusStart);
        AppHarness h;
        h.send("one\ntwo\nthree\n");
        h.platform.sendFailure = c.failure;
        if (c.change)
            c.change(h.platform.files["f.txt"]);
        h.tick(3);
        EXPECT_EQ(h.platform.arrived, c.arrived);
        EXPECT_EQ(h.status().rfind(c.statusStart, 0), 0u) << h.status();
        EXPECT_TRUE(contains(h.status(), c.line2)) << h.status();
        EXPECT_NE(h.app->send().state(), Send::State::Sending);
        EXPECT_FALSE(h.menu("pause").enabled());
        EXPECT_EQ(h.platform.ownActivations, 1);
        EXPECT_EQ(h.platform.openFiles(), 0);
    }
}

// The window's close button asks first while a send is under way, and a quit chosen there types
// nothing more; E&xit ends at once.
TEST(Quitting, ClosingTheWindowAsksOnlyWhileASendIsUnderWay)
{
    // Ticks after loading, paused, E&xit instead of the close button, the answer (nullopt: no
    // box expected).
    const std::tuple<int, bool, bool, std::optional<std::string_view>> cases[] = {
        { 3, false, false, std::nullopt }, // after the end of the file
        { 1, false, false, kStopAndQuit },
        { 1, false, false, kKeepSending },
        { 1, true, false, kStopAndQuit },
        { 1, false, false, "" }, // box closed
        { 1, false, true, std::nullopt },
    };
    for (const auto &[ticksBefore, paused, exit, answer] : cases) {
        SCOPED_TRACE(
            testing::Message() << ticksBefore << paused << exit << answer.value_or("none"));
        AppHarness h;
        h.send("one\ntwo\n");
        h.tick(ticksBefore);
        if (paused)
            h.click("pause");
        if (answer)
            h.platform.choiceAnswers.emplace_back(*answer);
        if (exit)
            h.click("exit");
        else
            h.app->Form_QueryUnload();
        ASSERT_EQ(h.platform.choices.size(), answer ? 1u : 0u);
        if (answer) {
            EXPECT_TRUE(contains(h.platform.choices[0].first, "line 2 is next"));
        }
        const bool ends = answer != kKeepSending && answer != "";
        EXPECT_EQ(h.platform.ended, ends);
        const std::size_t typed = h.platform.arrived.size();
        h.tick(3);
        // E&xit leaves the send to the end of the process.
        EXPECT_EQ(
            h.platform.arrived.size() > typed, (!ends || exit) && !paused && ticksBefore == 1);
    }
}

using Kind = Finding::Kind;

// `total` characters in lines of `perLine`, each line ended by CR LF.
std::string linesOfTotal(std::size_t total, std::size_t perLine)
{
    std::string out;
    for (std::size_t done = 0; done < total; done += perLine)
        out += std::string(std::min(perLine, total - done), 'x') + "\r\n";
    return out;
}

// Lines of distinct words, so that their wrapped parts never look like spam.
std::string words(std::size_t length)
{
    std::string s;
    for (int i = 0; s.size() < length; ++i)
        s += "word" + std::to_string(i) + " ";
    s.resize(length, 'w');
    return s;
}

TEST(Loading, TakesTextThatFitsANoteAndRefusesTheRestSayingWhyWithNothingOpenOrTyped)
{
    // The file (nothing: none), where reading it fails, the answers a preflight box offers (wrap
    // only for cut lines of a file read to its end, as it is rebuilt from what was read), and what
    // the status says, as does a box unless it is an error; nothing: the file is taken. Any
    // layout of breaks in a file that fits, and which byte is named in one that is not text, are
    // the fuzz targets'.
    const std::size_t never = std::string::npos;
    const std::tuple<std::optional<std::string>, std::size_t, std::size_t, std::string_view> cases[]
        = {
              { linesOfTotal(4096, 1), never, 2, "" },
              { linesOfTotal(4096, 4096), never, 3, "" },
              { words(300) + "\n" + std::string(5000, '\n'), never, 2, "" },
              { linesOfTotal(4097, 1), never, 0, kTooLarge },
              { linesOfTotal(4097, 4097), never, 0, kTooLarge },
              { std::string(1 << 20, 'a'), never, 0, kTooLarge },
              { std::string("ok\r\nab\0c", 8), never, 0, "line 2, column 3" },
              { "\xEF\xBB\xBFok\n\xEF\xBB\xBF", never, 0, "line 2, column 1" },
              { std::nullopt, never, 0, "Error: Could not open f.txt: No such file or directory." },
              { "line one\r\nline two\r\n", 12, 0, "Error: Could not read f.txt after line 1." },
          };
    for (const auto &[file, failAfter, offered, says] : cases) {
        SCOPED_TRACE(testing::Message() << file.value_or("").size() << ' ' << says);
        AppHarness h;
        if (file)
            h.platform.addFile("f.txt", *file, failAfter);
        // The server's own count, line breaks included, is the next box's.
        h.platform.choiceAnswers.push_back(std::string(kSendAsItIs));
        h.open("f.txt");
        EXPECT_EQ(h.app->send().state() == Send::State::Sending, says.empty());
        EXPECT_EQ(h.platform.choices.empty() ? 0 : h.platform.choices[0].second.size(), offered);
        if (says.empty())
            continue;
        h.tick(2);
        const bool boxed = !says.starts_with("Error");
        ASSERT_EQ(h.platform.boxes.size(), boxed ? 1u : 0u);
        if (boxed) {
            EXPECT_TRUE(contains(h.platform.boxes[0].prompt, says));
        }
        EXPECT_TRUE(contains(h.status(), says)) << h.status();
        // A refused file leaves Pause as choosing it left it; a failed read ends the send.
        EXPECT_EQ(h.menu("pause").enabled(), boxed);
        EXPECT_NE(h.app->send().state(), Send::State::Sending);
        EXPECT_EQ(h.platform.openFiles(), 0);
        EXPECT_EQ(h.platform.arrived, "");
        EXPECT_LT(h.platform.files["f.txt"].bytesRead, 4 * kMaxNoteChars)
            << "a huge file read whole";
    }
}

TEST(Loading, AnotherFileDuringASendReplacesIt)
{
    // Paused or not, the second file, the status right after choosing it, and what arrives: a
    // refused second file drops the first send's lines all the same.
    const std::tuple<bool, std::string, std::string_view, std::string> cases[] = {
        { false, "alpha\nbeta\n", kOtherFileOpen, "note + one\rnote + alpha\rnote + beta\r" },
        { true, "alpha\nbeta\n", kOtherFileOpen, "note + one\rnote + alpha\rnote + beta\r" },
        { false, std::string(5000, 'b'), kTooLarge, "note + one\r" },
    };
    for (const auto &[paused, second, status, arrived] : cases) {
        SCOPED_TRACE(second.size() + paused);
        AppHarness h;
        h.send("one\ntwo\nthree\n");
        h.tick();
        if (paused)
            h.click("pause");
        h.platform.addFile("second.txt", second);
        h.open("second.txt");
        EXPECT_EQ(h.status(), status);
        EXPECT_FALSE(h.menu("pause").enabled());
        EXPECT_EQ(h.menu("pause").caption(), "&Pause");
        h.tick(3);
        EXPECT_EQ(h.platform.arrived, arrived);
        EXPECT_EQ(h.status(), "End of file!!!");
    }
}

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

TEST(Preflight, NamesEveryLineTheServerWouldChange)
{
    using Found = std::vector<std::pair<int, Kind>>; // line, kind
    const std::tuple<std::string, Lines, Found> cases[] = {
        { "note", { "  indented", "   ", "Hello", "", "a(b)c {x} ^%+", "x  y  ", "~~ok", "a~" },
            { { 1, Kind::LeadingBlanks }, { 2, Kind::LeadingBlanks }, { 7, Kind::Tilde },
                { 8, Kind::Tilde } } },
        // "note + " leaves 247 of the 254 characters the server keeps; 1014 typed bytes fill
        // its input, and nothing after that line arrives.
        { "note",
            { std::string(247, 'k'), std::string(248, 'k'), std::string(1006, 'k'),
                std::string(1007, 'k'), "~", "  x" },
            { { 2, Kind::Cut }, { 3, Kind::Cut }, { 4, Kind::Disconnect } } },
        { "background",
            { std::string(241, 'k'), std::string(242, 'k'), std::string(1000, 'k'),
                std::string(1001, 'k') },
            { { 2, Kind::Cut }, { 3, Kind::Cut }, { 4, Kind::Disconnect } } },
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
    const std::string text = describeFindings(check.findings(), "|", 8);
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

TEST(PreflightOnLoad, AsksBeforeTheFirstLineAndTypesWhatWasChosen)
{
    // Line 2 is cut; line 4, 1014 bytes with "note + ", would drop the player.
    const std::string cut = words(400), huge = words(1007);
    Lines wrapped { "first" };
    for (const std::string &line : { cut, std::string("last ~"), huge })
        for (auto &part : wrapLine(line, 79))
            wrapped.push_back(part);
    const std::string wrap(kWrapAndSend), asItIs(kSendAsItIs), cancel(kCancelSend);
    // The answers to the boxes (an empty one: the box was closed), and the lines typed. The "~"
    // is still there after wrapping, so the wrapped text is checked and asked about again.
    const std::pair<Lines, Lines> stories[] = {
        { { cancel }, {} },
        { { "" }, {} },
        { { asItIs }, { "first", cut, "last ~", huge } },
        { { wrap, asItIs }, wrapped },
        { { wrap, cancel }, {} },
    };
    for (const auto &[answers, typed] : stories) {
        SCOPED_TRACE(testing::PrintToString(answers));
        AppHarness h;
        h.platform.choiceAnswers.assign(answers.begin(), answers.end());
        h.send("first\n" + cut + "\nlast ~\n" + huge + "\n");
        h.tick(static_cast<int>(typed.size()) + 1);
        ASSERT_EQ(h.platform.choices.size(), answers.size());
        const auto &[prompt, offered] = h.platform.choices[0];
        EXPECT_EQ(offered, (Lines { wrap, asItIs, cancel }));
        EXPECT_TRUE(contains(prompt, "line 2: cut after 247 characters (it has 400)")) << prompt;
        std::string arrived;
        for (const auto &line : typed)
            arrived += "note + " + line + "\r";
        EXPECT_EQ(h.platform.arrived, arrived);
        if (typed.empty()) {
            EXPECT_EQ(h.status(), kSendCancelled);
        }
        EXPECT_EQ(h.platform.openFiles(), 0);
    }
}

TEST(PreflightOnLoad, AFileThatGrowsAfterTheSizeCheckIsRefusedUnread)
{
    AppHarness h;
    h.platform.beforeOpen = [&h, opens = 0]() mutable {
        if (++opens == 2)
            h.platform.addFile("f.txt", std::string(1 << 20, 'g'));
    };
    h.send("short\n");
    EXPECT_EQ(h.status(), "Error: f.txt changed while it was being checked.");
    EXPECT_LT(h.platform.files["f.txt"].bytesRead, 3 * kMaxNoteChars);
    EXPECT_NE(h.app->send().state(), Send::State::Sending);
    EXPECT_EQ(h.platform.openFiles(), 0);
}

} // namespace
} // namespace quillpost::test
