#include "session.h"

#include "note_interpreter.h"

#include <utility>

namespace quillpost::noteserver {

namespace {

constexpr std::string_view kPrompt = "> ";
constexpr std::string_view kLineTooLong = "Line too long.\n\r";
constexpr std::string_view kLid = "\n\r*** PUT A LID ON IT!!! ***\n\r";

std::string draftText(const Player &player)
{
    return player.draft ? player.draft->text : std::string();
}

} // namespace

Session::Session(
    NoteInterpreter &interpreter, std::string host, std::string playerName, std::ostream &log)
    : interpreter_(interpreter), host_(std::move(host)), log_(log)
{
    player_.name = std::move(playerName);
}

std::string Session::greeting() const
{
    // No "> " in here: clients count prompts to pair answers with lines.
    std::string spools;
    for (const std::string &word : interpreter_.spools())
        spools += (spools.empty() ? "" : " ") + word;
    const std::string example = interpreter_.spools().empty() ? "note" : interpreter_.spools()[0];
    return "Quillpost note server. You are " + player_.name + ".\n\rAdd a line to a note with: "
        + example + " + text\n\rSpools: " + spools + "\n\r" + std::string(kPrompt);
}

bool Session::readArrived(ByteSource &arrived, PulseResult &result)
{
    const FillResult fill = input_.fillFrom(arrived);
    switch (fill.status) {
    case FillStatus::Ok:
        return true;
    case FillStatus::Overflow:
        log_ << host_ << " input overflow!\n";
        result.output += kLid;
        break;
    case FillStatus::Full:
        log_ << host_ << " input overflow: " << input_.size()
             << " bytes unread and no line end; dropped without a word, as ROM does.\n";
        break;
    case FillStatus::Eof:
        log_ << host_ << " EOF encountered on read.\n";
        break;
    case FillStatus::Error:
        log_ << host_ << " read failed: " << fill.error << "\n";
        break;
    }
    result.close = true;
    return false;
}

PulseResult Session::pulse(ByteSource *arrived)
{
    PulseResult result;
    if (arrived != nullptr && !readArrived(*arrived, result))
        return result;

    std::optional<InputLine> line = input_.takeLine();
    if (!line)
        return result;
    if (line->tooLong)
        result.output += kLineTooLong;

    GuardedLine guarded = guard_.pass(std::move(line->text));
    if (guarded.spamming)
        log_ << host_ << " input spamming! " << guarded.command << "\n";
    // A '!' before any other line repeats nothing, and ROM then runs no command at all.
    if (guarded.command.empty())
        return result;

    const std::string before = draftText(player_);
    const std::size_t postedBefore = interpreter_.board().posted.size();
    result.output += interpreter_.interpret(player_, guarded.command);
    result.output += kPrompt;
    result.draftChanged = draftText(player_) != before;
    result.posted = interpreter_.board().posted.size() != postedBefore;
    return result;
}

} // namespace quillpost::noteserver
