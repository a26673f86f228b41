#pragma once

#include "client_habits.h"
#include "text_check.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What a stock ROM 2.4 server does to the lines of a note as they arrive: a file that passes the
// 4096-character check can still lose text there, and the player should hear of it before the
// first line is typed.
namespace quillpost {

struct RomLimits
{
    static constexpr std::size_t kInputLine = 254; // characters of a typed line the server keeps
    // Unread bytes the server holds for a player: a typed line this long, without its break,
    // fills them, and the server drops the connection with every line still waiting.
    static constexpr std::size_t kInputBuffer = 1014;
    static constexpr std::size_t kNoteSize
        = kMaxNoteChars; // the stored note, "\n\r" after each line
    static constexpr int kSpamRepeats = 25; // identical lines after the first
    static constexpr std::size_t kWrapColumns = 79;
};

struct Finding
{
    enum class Kind { Cut, Disconnect, TooLong, LeadingBlanks, Tilde, Spam, Split, Escaped, Taken };
    Kind kind;
    int line; // from 1
    // Cut: characters kept of the line; Disconnect: the shortest line that disconnects;
    // Spam: the first line of the run; Escaped: which of the client's escapes is in it; Taken:
    // which of its aliases takes it.
    std::size_t detail = 0;
    std::size_t length = 0; // Cut, Disconnect: the line's length
    std::string command = {}; // Split: the first part that would run as the client's own command
};

// Follows the server line by line, as the note grows, without holding the file. Nothing after a
// line that disconnects the player would arrive, so that line is the last finding.
class Preflight
{
public:
    // `client`, when known, adds what it would do to a line before the server sees it.
    explicit Preflight(std::string_view spool, const ClientHabits *client = nullptr)
        : spool_(spool), client_(client)
    {
    }

    void add(std::string_view line);

    const std::vector<Finding> &findings() const { return findings_; }
    // Some line is cut or disconnects: those are what wrapping mends.
    bool anyCut() const { return anyCut_; }
    // Some line the client would split or keep: only a change of its settings mends that.
    bool anyForClient() const { return anyForClient_; }

private:
    std::string spool_;
    const ClientHabits *client_;
    std::vector<Finding> findings_;
    int lines_ = 0;
    std::size_t noteSize_ = 0;
    std::string lastInput_;
    int repeats_ = 0;
    int runStart_ = 0;
    bool anyCut_ = false;
    bool anyForClient_ = false;
    bool disconnected_ = false;
};

// One finding a line, the first `shown` of them, for a message box; a disconnect is always named.
// `client` names what the client would do.
std::string describeFindings(const std::vector<Finding> &findings, std::string_view lineBreak,
    const ClientHabits *client = nullptr, std::size_t shown = 8);

// Splits a line longer than `columns` at its last blank within them (the blank is dropped, as
// the server would drop it as a leading blank), or hard where a word is longer than a line.
// Blanks that would make a part of their own are dropped too, so no part is empty or blank.
std::vector<std::string> wrapLine(std::string_view line, std::size_t columns);

} // namespace quillpost
