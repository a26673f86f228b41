#include "sender.h"

#include "keystroke_line.h"
#include "text_check.h"

#include <algorithm>
#include <span>

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
    // Until part of it is typed, the line takes the spool chosen last.
    if (state_.keysTyped == 0)
        state_.unsentKeys = keystrokeLine(state_.noteSpool, line);
    const std::string &keys = state_.unsentKeys;
    text1_.setText(std::string(kSendingPrefix) + keys);

    auto strokes = keyStrokes(keys + KeyStroke::kEnter);
    if (!strokes) {
        stop("Error: " + strokes.error().message + "." + lineNotTyped(lineNumber));
        return;
    }

    const WindowId client = ActivateClient();
    const auto rest = std::span<const KeyStroke>(strokes.value()).subspan(state_.keysTyped);
    auto typed = platform_.sendKeys(client, rest);
    if (typed) {
        state_.unsentLine.reset();
        state_.unsentKeys.clear();
        state_.keysTyped = 0;
        return;
    }
    const Error &error = typed.error();
    if (error.kind == ErrorKind::NoWindow) {
        // Closed under our hands: what was typed of the line went with it, so the next client
        // gets the whole line, on the next tick.
        state_.client.reset();
        state_.keysTyped = 0;
        return;
    }
    if (error.position != std::string::npos)
        state_.keysTyped += std::min(error.position, rest.size() - 1);
    if (error.kind == ErrorKind::FocusLost)
        pauseAt(error, strokes->size() - 1);
    else if (state_.keysTyped > 0)
        stop("Error: " + error.message + " Line " + std::to_string(lineNumber)
            + " was typed only in part.");
    else
        stop("Error: " + error.message + lineNotTyped(lineNumber));
}

WindowId Sender::ActivateClient()
{
    if (!state_.client && state_.chosenClient)
        state_.client = state_.chosenClient;
    if (state_.client) {
        auto activated = platform_.activate(*state_.client);
        if (activated || activated.error().kind != ErrorKind::NoWindow)
            return *state_.client;
        if (state_.chosenClient == state_.client)
            state_.chosenClient.reset();
        state_.client.reset();
        state_.keysTyped = 0;
    }
    for (;;) {
        auto found = platform_.appActivate(state_.clientTitle);
        if (found) {
            state_.client = found.value();
            return found.value();
        }
        platform_.msgBox(clientWarning(state_.lineBreak), MsgStyle::Exclamation);
    }
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
void Sender::pauseAt(const Error &why, std::size_t lineStrokes)
{
    state_.sending = false;
    pause_.setCaption(kStartCaption);
    pause_.setEnabled(true);
    const std::string line = "line " + std::to_string(state_.file1->linesRead());
    if (state_.keysTyped == 0) {
        text1_.setText(
            "Paused: " + line + " was not typed. " + why.message + " Choose Start to type it.");
        return;
    }
    // Counted as the characters that arrive, not the notation that produced them.
    text1_.setText("Paused: " + line + " was typed up to character "
        + std::to_string(state_.keysTyped) + " of " + std::to_string(lineStrokes)
        + "; the rest is still in the client's input line. " + why.message
        + " Choose Start to type the rest.");
}

void Sender::chooseclient_Click()
{
    text1_.setText(kChooseClientPrompt);
    auto picked = platform_.pickWindow();
    if (!picked) {
        text1_.setText(picked.error().kind == ErrorKind::Cancelled
                ? std::string(kChooseClientCancelled)
                : "Error: " + picked.error().message);
        return;
    }
    if (picked->own) {
        platform_.msgBox(kOwnWindowRefused, MsgStyle::Exclamation);
        text1_.setText(kChooseClientCancelled);
        return;
    }
    // A send under way moves to it too; a line begun in the old window starts afresh.
    if (state_.client != picked->id)
        state_.keysTyped = 0;
    state_.chosenClient = picked->id;
    state_.client = picked->id;
    text1_.setText(std::string(kClientChosenPrefix) + picked->title);
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
