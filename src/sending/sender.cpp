#include "sender.h"

#include "keystroke_line.h"
#include "text_check.h"

#include <algorithm>
#include <span>

namespace quillpost {
namespace {

std::string clientWarning()
{
    const std::string lb(kLineBreak);
    return "Zmud is not opened, please open Zmud and try again." + lb + lb
        + "If by chance Zmud is open and errors are occuring, try with Zmud 4.62 (The version "
          "this was designed for).";
}

std::string lineNotTyped(int lineNumber)
{
    return " Line " + std::to_string(lineNumber) + " was not typed.";
}

} // namespace

Sender::Sender(
    Send &send, SendSettings &settings, Platform &platform, TextBox &text1, MenuItem &pause)
    : send_(send), settings_(settings), platform_(platform), text1_(text1), pause_(pause)
{
}

void Sender::Timer1_Timer()
{
    if (send_.state() != Send::State::Sending)
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

    LineReader *file = send_.file();
    if (!file) {
        stop(kEndOfFile);
        return;
    }
    if (!send_.pending()) {
        const int lineNumber = send_.nextLineNumber();
        // Capped, so a file swapped for a huge one after loading is never read whole.
        auto line = file->next(kMaxNoteChars);
        if (!line) {
            stop("Error: " + line.error().message + lineNotTyped(lineNumber));
            return;
        }
        if (!line.value()) {
            stop(kEndOfFile);
            return;
        }
        send_.pending() = PendingLine { std::move(*line.value()), {}, {}, 0 };
    }
    typeLine(*send_.pending());
}

void Sender::typeLine(PendingLine &line)
{
    const int lineNumber = send_.nextLineNumber();
    // The file was checked when it was loaded, but it may have been changed since.
    if (line.text.size() > kMaxNoteChars) {
        stop("Error: the file changed after it was loaded: line " + std::to_string(lineNumber)
            + " is longer than a whole note." + lineNotTyped(lineNumber));
        return;
    }
    if (auto bad = firstUntypable(line.text)) {
        stop("Error: the file changed after it was loaded: " + describeBadByte(lineNumber, *bad)
            + "." + lineNotTyped(lineNumber));
        return;
    }
    // Until part of it is typed, the line takes the spool chosen last.
    if (line.typed == 0) {
        line.keys = keystrokeLine(settings_.noteSpool, line.text);
        auto strokes = keyStrokes(line.keys + KeyStroke::kEnter);
        if (!strokes) {
            stop("Error: " + strokes.error().message + "." + lineNotTyped(lineNumber));
            return;
        }
        line.strokes = std::move(strokes.value());
    }
    text1_.setText(std::string(kSendingPrefix) + line.keys);

    const std::optional<WindowId> client = ActivateClient();
    if (!client)
        return;
    const auto rest = std::span<const KeyStroke>(line.strokes).subspan(line.typed);
    auto typed = platform_.sendKeys(*client, rest);
    if (typed) {
        send_.pending().reset();
        return;
    }
    const Error &error = typed.error();
    if (error.kind == ErrorKind::NoWindow) {
        // Closed under our hands: what was typed of the line went with it, so the next client
        // gets the whole line, on the next tick.
        send_.client.reset();
        line.typed = 0;
        return;
    }
    if (error.position != std::string::npos)
        line.typed += std::min(error.position, rest.size() - 1);
    if (error.kind == ErrorKind::FocusLost)
        pauseAt(error);
    else if (line.typed > 0)
        stop("Error: " + error.message + " Line " + std::to_string(lineNumber)
            + " was typed only in part.");
    else
        stop("Error: " + error.message + lineNotTyped(lineNumber));
}

std::optional<WindowId> Sender::ActivateClient()
{
    std::optional<WindowId> &client = send_.client;
    if (!client && settings_.chosenClient)
        client = settings_.chosenClient;
    if (client) {
        auto activated = platform_.activate(*client);
        if (activated || activated.error().kind != ErrorKind::NoWindow)
            return *client;
        if (settings_.chosenClient == client)
            settings_.chosenClient.reset();
        client.reset();
        if (send_.pending())
            send_.pending()->typed = 0;
    }
    for (;;) {
        auto found = platform_.appActivate(settings_.clientTitle);
        if (found) {
            client = found.value();
            return found.value();
        }
        // Unanswered, it would come back at once for ever: the program is being ended.
        if (!platform_.msgBox(clientWarning(), MsgStyle::Exclamation))
            return std::nullopt;
    }
}

void Sender::stop(std::string_view statusText)
{
    send_.stop();
    platform_.activateOwnWindow();
    text1_.setText(statusText);
    pause_.setEnabled(false);
}

// The note in progress on the server can still be finished: keep the file and the line, and let
// Start type that same line.
void Sender::pauseAt(const Error &why)
{
    send_.pause();
    pause_.setEnabled(true);
    const PendingLine &pending = *send_.pending();
    const std::string line = "line " + std::to_string(send_.nextLineNumber());
    if (pending.typed == 0) {
        text1_.setText(
            "Paused: " + line + " was not typed. " + why.message + " Choose Start to type it.");
        return;
    }
    // Counted as the characters that arrive, not the notation that produced them.
    text1_.setText("Paused: " + line + " was typed up to character " + std::to_string(pending.typed)
        + " of " + std::to_string(pending.strokes.size() - 1)
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
    if (send_.client != picked->id && send_.pending())
        send_.pending()->typed = 0;
    settings_.chosenClient = picked->id;
    send_.client = picked->id;
    text1_.setText(std::string(kClientChosenPrefix) + picked->title);
}

void Sender::pause_Click()
{
    if (send_.state() == Send::State::Paused)
        send_.resume();
    else
        send_.pause();
}

} // namespace quillpost
