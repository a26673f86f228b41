#include "support/app_harness.h"

#include "sending/loader.h"
#include "sending/preflight.h"
#include "sending/text_check.h"

#include <gtest/gtest.h>

namespace quillpost::test {
namespace {

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
    const std::size_t never = std::string::npos, grows = never - 1; // after the size check

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
              { "short\n", grows, 0, "Error: f.txt changed while it was being checked." },
          };
    for (const auto &[file, failAfter, offered, says] : cases) {
        SCOPED_TRACE(testing::Message() << file.value_or("").size() << ' ' << says);
        AppHarness h;
        if (file)
            h.platform.addFile("f.txt", *file, failAfter == grows ? never : failAfter);
        h.platform.beforeOpen = [&h, grown = failAfter == grows, opens = 0]() mutable {
            if (grown && ++opens == 2)
                h.platform.addFile("f.txt", std::string(1 << 20, 'g'));
        };
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
        EXPECT_EQ(h.menu("pause").enabledValue, boxed);
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
        EXPECT_FALSE(h.menu("pause").enabledValue);
        EXPECT_EQ(h.menu("pause").captionValue, "&Pause");
        h.tick(3);
        EXPECT_EQ(h.platform.arrived, arrived);
        EXPECT_EQ(h.status(), "End of file!!!");
    }
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

// A client known to split lines, read escapes or take lines for its aliases is named in the box,
// with what it would run itself and what to switch off; another client's file just goes. Enter
// sends it as it is, unless a part would run in the client itself.
TEST(PreflightOnLoad, NamesTheLinesAKnownClientWouldSplitChangeOrKeep)
{
    const Lines file { "plain", "smile;;wave", "say `echo hello", "ends in `echo ", "back\\slash",
        "per%;cent", "run; #system ls %; /quit" };
    const std::string parts = "\" and sends the parts as commands of their own";
    const auto tintin = [&](const std::string &client) {
        return Lines { "line 2: " + client + " splits it at \";" + parts,
            "line 5: " + client + " reads the \"\\\" in it as an escape, which changes the line",
            "line 6: " + client + " splits it at \";" + parts,
            "line 7: " + client + " splits it at \";" + parts + "; \"#system ls %\" runs in "
                + client + " itself" };
    };
    const Lines mudlet { "line 2: Mudlet splits it at \";;" + parts,
        "line 3: Mudlet takes it for its own alias \"`echo ...\" and never sends it" };
    // The window's title and class, the client known by them, what the box names, in order
    // (nothing: no box), and whether Enter there sends the file.
    const std::tuple<std::string, std::string, std::string, Lines, bool> clients[] = {
        { "Hollowmere - Mudlet 4.18.5", "XTerm", "Mudlet", mudlet, true },
        { "zMUD", "mudlet", "Mudlet", mudlet, true },
        { "(*) KildClient - Hollowmere", "Kildclient", "KildClient",
            { "line 6: KildClient splits it at \"%;" + parts,
                "line 7: KildClient splits it at \"%;" + parts
                    + "; \"/quit\" runs in KildClient itself" },
            false },
        { "TinTin++", "XTerm", "TinTin++", tintin("TinTin++"), false },
        { "KBtin - hollowmere", "XTerm", "KBtin", tintin("KBtin"), false },
        { "zMUD", "XTerm", "", {}, true },
    };
    std::string text, arrived;
    for (const std::string &line : file) {
        text += line + "\n";
        arrived += "note + " + line + "\r";
    }
    for (const auto &[title, windowClass, client, names, enterSends] : clients) {
        SCOPED_TRACE(title + " " + windowClass);
        AppHarness h;
        h.app->setClientTitle(title);
        h.platform.clientTitle = title;
        h.platform.clientClass = windowClass;
        h.platform.choiceAnswers.push_back(kEnter);
        h.send(text);
        ASSERT_EQ(h.platform.choices.size(), names.empty() ? 0u : 1u);
        h.tick(8);
        EXPECT_EQ(h.platform.arrived, enterSends ? arrived : "");
        if (names.empty())
            continue;
        const auto &[prompt, offered] = h.platform.choices[0];
        EXPECT_EQ(offered, (Lines { std::string(kSendAsItIs), std::string(kCancelSend) }));
        EXPECT_TRUE(prompt.starts_with("Through " + client + " ")) << prompt;
        Lines named;
        for (std::size_t at = prompt.find("\nline "); at != std::string::npos;
             at = prompt.find("\nline ", at + 1))
            named.push_back(prompt.substr(at + 1, prompt.find('\r', at) - at - 1));
        EXPECT_EQ(named, names);
        EXPECT_TRUE(contains(prompt, "In " + client + ", ")) << prompt;
    }
}

// A chosen window that has closed since leaves the title rule to find the client, for the send
// and for the box alike.
TEST(PreflightOnLoad, AChosenWindowClosedSinceLeavesTheTitleRuleToNameTheClient)
{
    AppHarness h;
    h.platform.picked = PickedWindow { { 0x77 }, "Hollowmere - Mudlet 4.18.5", false };
    h.click("chooseclient");
    h.platform.clientTitle = "zMUD TinTin++";
    h.send("smile; #end\n");
    ASSERT_EQ(h.platform.choices.size(), 1u);
    EXPECT_TRUE(h.platform.choices[0].first.starts_with("Through TinTin++ "));
}

} // namespace
} // namespace quillpost::test
