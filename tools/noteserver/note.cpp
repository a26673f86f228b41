#include "note.h"

namespace quillpost::noteserver {

std::string formatNoteFile(const std::vector<Note> &notes)
{
    std::string out;
    for (const Note &note : notes) {
        out += "Spool   " + note.spool + "~\n";
        out += "Sender  " + note.sender + "~\n";
        out += "Date    " + note.date + "~\n";
        out += "Stamp   " + std::to_string(note.stamp) + "\n";
        out += "To      " + note.to + "~\n";
        out += "Subject " + note.subject + "~\n";
        out += "Text\n" + note.text + "~\n";
    }
    return out;
}

} // namespace quillpost::noteserver
