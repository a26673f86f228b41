#include "sender.h"

#include "keystroke_line.h"
#include "text_check.h"

namespace quillpost {
namespace {

std::string clientWarning(const std::string &lineBreak)
{
    return "Zmud is not opened, please open Zmud and try again." + lineBreak + lineBreak
        + "If by chance Zmud is open and errors are occuring, try with Zmud 4.62 (The version "
          "this was designed for).";
}

std::string lineNotTyped(int lineNumber)
{
    return " Line " + std::to_string(lineNumber) + " was not typed.";
}

} // namespace

Sender::Sender(SharedState &state, Platform &platform, TextBox &text1, MenuItem &pause)
    : state_(state), platform_(platform), text1_(text1), pause_(pause)
{
}

void Sender::Timer1_Timer()
{
    if (!state_.sending)
        return;
    // A tick that falls due while the client warning is open must not read and type a later line
    // ahead of the one still waiting.
    if (inTick_)
        return;
    inTick_ = true;
    struct Leave
    {
        bool &flag;
        ~Leave() { flag = false; }
    } leave { inTick_ };

    if (!state_.file1) {
        stop(kEndOfFile);
        return;
    }
    if (!state_.unsentLine) {
        const int lineNumber = state_.file1->linesRead() + 1;
        // Capped, so a file swapped for a huge one after loading is never read whole.
        auto line = state_.file1->next(kMaxNoteChars);
        if (!line) {
            stop("Error: " + line.error().message + lineNotTyped(lineNumber));
            return;
        }
        if (!line.value()) {
            stop(kEndOfFile);
            return;
        }
        state_.unsentLine = std::move(*line.value());
    }
    typeLine(*state_.unsentLine);
}

void Sender::typeLine(const std::string &line)
{
    const int lineNumber = state_.file1->linesRead();
    // The file was checked when it was loaded, but it may have been changed since.
    if (line.size() > kMaxNoteChars) {
        stop("Error: the file changed after it was loaded: line " + std::to_string(lineNumber)
            + " is longer than a whole note." + lineNotTyped(lineNumber));
        return;
    }
    if (auto bad = firstUntypable(line)) {
        stop("Error: the file changed after it was loaded: " + describeBadByte(lineNumber, *bad)
            + "." + lineNotTyped(lineNumber));
        return;
    }
    const std::string keys = keystrokeLine(state_.noteSpool, line);
    text1_.setText(std::string(kSendingPrefix) + keys);

    ActivateClient();
    auto client = platform_.appActivate(kClientTitle);
    if (!client) {
        stop("Error: " + client.error().message + lineNotTyped(lineNumber));
        return;
    }
    auto typed = platform_.sendKeys(client.value(), keys + '\r');
    if (!typed) {
        if (typed.error().kind == ErrorKind::FocusLost)
            pauseAt(typed.error());
        else
            stop("Error: " + typed.error().message + lineNotTyped(lineNumber));
        return;
    }
    state_.unsentLine.reset();
}

void Sender::ActivateClient()
{
    while (!platform_.appActivate(kClientTitle))
        platform_.msgBox(clientWarning(state_.lineBreak), MsgStyle::Exclamation);
}

void Sender::stop(std::string_view statusText)
{
    state_.closeFile1();
    state_.sending = false;
    platform_.activateOwnWindow();
    text1_.setText(statusText);
    pause_.setEnabled(false);
}

// The note in progress on the server can still be finished: keep the file and the line, and let
// Start type that same line.
void Sender::pauseAt(const Error &why)
{
    state_.sending = false;
    pause_.setCaption(kStartCaption);
    pause_.setEnabled(true);
    text1_.setText("Paused: line " + std::to_string(state_.file1->linesRead()) + " was not typed. "
        + why.message + " Choose Start to type it.");
}

void Sender::pause_Click()
{
    const std::string caption = pause_.caption();
    if (caption == kPauseCaption) {
        state_.sending = false;
        pause_.setCaption(kStartCaption);
    } else if (caption == kStartCaption) {
        pause_.setCaption(kPauseCaption);
        state_.sending = true;
    }
}

} // namespace quillpost
