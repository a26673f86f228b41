#pragma once

#include "note.h"

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillpost::noteserver {

// ROM's interpret() reduced to the note spools, and parse_note()'s writing commands. Every
// player may write on every spool (as an implementor could), since the server has no levels;
// reading the board back is not offered.
class NoteInterpreter
{
public:
    using WallClock = std::function<std::time_t()>;

    // `spools` are the command words (note, idea, ...), matched whole and case-insensitively.
    NoteInterpreter(
        std::vector<std::string> spools, NoteBoard &board,
        WallClock clock = [] { return std::time(nullptr); });

    // Runs one command line; returns the answer text, each line ended by "\n\r". Commands
    // ROM answers with silence ("note -" that removed a line, "note post") return "".
    std::string interpret(Player &player, std::string_view line);

    const std::vector<std::string> &spools() const { return spools_; }
    const NoteBoard &board() const { return board_; }

private:
    std::string parseNote(Player &player, const std::string &spool, std::string_view argument);
    std::string post(Player &player, const std::string &spool);

    std::vector<std::string> spools_;
    NoteBoard &board_;
    WallClock clock_;
};

// What "note -" leaves: ROM walks back to the second-to-last '\r'.
std::string withoutLastLine(const std::string &text);

} // namespace quillpost::noteserver
