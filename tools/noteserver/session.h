#pragma once

#include "input_buffer.h"
#include "note.h"
#include "repeat_guard.h"

#include <ostream>
#include <string>

namespace quillpost::noteserver {

class NoteInterpreter;

struct PulseResult
{
    std::string output; // to send to the player
    bool close = false; // drop the connection once the output is sent
    bool draftChanged = false; // the text of the note in progress is not what it was
    bool posted = false; // a note went onto the board
};

// One player's connection as ROM's game loop treats it on each pulse: read what has arrived,
// then run at most one command line.
class Session
{
public:
    // `host` names the connection in the log; `log` gets what ROM would write to its log file.
    Session(
        NoteInterpreter &interpreter, std::string host, std::string playerName, std::ostream &log);

    // Sent once on connecting, in place of ROM's login.
    std::string greeting() const;
    // One pulse. `arrived` is the connection when it has input (or an EOF) waiting, else null:
    // ROM reads only from descriptors that select() found readable.
    PulseResult pulse(ByteSource *arrived);

    const Player &player() const { return player_; }
    const std::string &host() const { return host_; }
    std::size_t unreadBytes() const { return input_.size(); }

private:
    bool readArrived(ByteSource &arrived, PulseResult &result);

    NoteInterpreter &interpreter_;
    std::string host_;
    std::ostream &log_;
    InputBuffer input_;
    RepeatGuard guard_;
    Player player_;
};

} // namespace quillpost::noteserver
