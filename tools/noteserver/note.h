#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace quillpost::noteserver {

struct Note
{
    std::string spool; // the command word it was written with
    std::string sender;
    std::string to;
    std::string subject;
    std::string text; // each line followed by "\n\r", as ROM stores it
    std::string date; // ctime() of the post; empty while in progress
    std::time_t stamp = 0;
};

// One connection's character: ROM keeps the note in progress (ch->pnote) on the character.
struct Player
{
    std::string name;
    std::optional<Note> draft;
};

// The notes posted on every spool, oldest first.
struct NoteBoard
{
    std::vector<Note> posted;
};

// The posted notes in the layout of ROM's note files (append_note), each record led by its
// spool, since one file holds them all.
std::string formatNoteFile(const std::vector<Note> &notes);

} // namespace quillpost::noteserver
