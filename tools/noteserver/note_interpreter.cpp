#include "note_interpreter.h"

#include "rom_limits.h"
#include "rom_text.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <utility>

namespace quillpost::noteserver {

namespace {

// ROM's own answers, word for word.
constexpr std::string_view kHuh = "Huh?\n\r";
constexpr std::string_view kOk = "Ok.\n\r";
constexpr std::string_view kTooLong = "Note too long.\n\r";
constexpr std::string_view kNothingToRemove = "No lines left to remove.\n\r";
constexpr std::string_view kOtherNote = "You already have a different note in progress.\n\r";
constexpr std::string_view kNoNote = "You have no note in progress.\n\r";
constexpr std::string_view kWrongKind = "You aren't working on that kind of note.\n\r";
constexpr std::string_view kNoRecipient
    = "You need to provide a recipient (name, all, or immortal).\n\r";
constexpr std::string_view kNoSubject = "You need to provide a subject.\n\r";
constexpr std::string_view kCannotDoThat = "You can't do that.\n\r";
// Ours: ROM would list or show the board here.
constexpr std::string_view kNoReading = "This server takes notes but does not read them back.\n\r";

// Sub-commands that read the board. They are matched before the writing ones, so that "c" still
// means catchup and "r" read, as in ROM, and never reach clear.
constexpr std::string_view kReadingWords[] = { "read", "list", "remove", "delete", "catchup" };

Note &attach(Player &player, const std::string &spool)
{
    if (!player.draft) {
        player.draft.emplace();
        player.draft->spool = spool;
        player.draft->sender = player.name;
    }
    return *player.draft;
}

std::string ctimeText(std::time_t when)
{
    char buf[32] = {};
    if (ctime_r(&when, buf) == nullptr)
        return {};
    std::string text(buf);
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

} // namespace

std::string withoutLastLine(const std::string &text)
{
    // Signed on purpose: ROM's int index may step below zero after backing up over a "\n\r"
    // at the very start.
    bool found = false;
    for (auto len = static_cast<std::ptrdiff_t>(text.size()); len > 0; --len) {
        if (text[static_cast<std::size_t>(len)] != '\r')
            continue;
        if (!found) {
            --len;
            found = true;
        } else {
            return text.substr(0, static_cast<std::size_t>(len) + 1);
        }
    }
    return {};
}

NoteInterpreter::NoteInterpreter(std::vector<std::string> spools, NoteBoard &board, WallClock clock)
    : spools_(std::move(spools)), board_(board), clock_(std::move(clock))
{
}

std::string NoteInterpreter::interpret(Player &player, std::string_view line)
{
    line = skipBlanks(line);
    if (line.empty())
        return {};
    std::string command;
    std::string_view argument;
    // ROM takes a leading punctuation mark as a command by itself ("'" is say).
    if (!std::isalnum(static_cast<unsigned char>(line.front()))) {
        command = line.substr(0, 1);
        argument = skipBlanks(line.substr(1));
    } else {
        Argument split = oneArgument(line);
        command = std::move(split.word);
        argument = split.rest;
    }
    const auto spool = std::ranges::find_if(
        spools_, [&](const std::string &word) { return equalsIgnoreCase(command, word); });
    if (spool == spools_.end())
        return std::string(kHuh);
    return parseNote(player, *spool, argument);
}

std::string NoteInterpreter::parseNote(
    Player &player, const std::string &spool, std::string_view argument)
{
    const Argument split = oneArgument(argument);
    const std::string &arg = split.word;
    const std::string rest = smashTilde(split.rest);

    if (arg.empty()
        || std::ranges::any_of(kReadingWords, [&](auto word) { return isPrefixOf(arg, word); }))
        return std::string(kNoReading);

    if (arg == "+") {
        Note &note = attach(player, spool);
        if (note.spool != spool)
            return std::string(kOtherNote);
        if (note.text.size() + rest.size() >= kNoteTextLimit)
            return std::string(kTooLong);
        note.text += rest + "\n\r";
        return std::string(kOk);
    }
    if (arg == "-") {
        Note &note = attach(player, spool);
        if (note.spool != spool)
            return std::string(kOtherNote);
        if (note.text.empty())
            return std::string(kNothingToRemove);
        note.text = withoutLastLine(note.text);
        return {};
    }
    if (isPrefixOf(arg, "subject") || isPrefixOf(arg, "to")) {
        Note &note = attach(player, spool);
        if (note.spool != spool)
            return std::string(kOtherNote);
        (isPrefixOf(arg, "subject") ? note.subject : note.to) = rest;
        return std::string(kOk);
    }
    if (isPrefixOf(arg, "clear")) {
        player.draft.reset();
        return std::string(kOk);
    }
    if (isPrefixOf(arg, "show")) {
        if (!player.draft)
            return std::string(kNoNote);
        const Note &note = *player.draft;
        if (note.spool != spool)
            return std::string(kWrongKind);
        return note.sender + ": " + note.subject + "\n\rTo: " + note.to + "\n\r" + note.text;
    }
    if (isPrefixOf(arg, "post") || isPrefixOf(arg, "send"))
        return post(player, spool);
    return std::string(kCannotDoThat);
}

std::string NoteInterpreter::post(Player &player, const std::string &spool)
{
    if (!player.draft)
        return std::string(kNoNote);
    Note &note = *player.draft;
    if (note.spool != spool)
        return std::string(kWrongKind);
    if (note.to.empty())
        return std::string(kNoRecipient);
    if (note.subject.empty())
        return std::string(kNoSubject);
    note.stamp = clock_();
    note.date = ctimeText(note.stamp);
    board_.posted.push_back(std::move(note));
    player.draft.reset();
    return {};
}

} // namespace quillpost::noteserver
