#pragma once

#include "platform/controls.h"
#include "platform/line_reader.h"
#include "platform/platform.h"
#include "platform/send_keys.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillpost {

inline constexpr std::string_view kPauseCaption = "&Pause";
inline constexpr std::string_view kStartCaption = "&Start";

// A line read from the file that has not reached the client yet: it is typed before any other.
struct PendingLine
{
    std::string text;
    std::string keys; // its keystroke text, as the status box shows it
    std::vector<KeyStroke> strokes; // what `keys` types, Enter last
    // How many strokes already reached the client when typing stopped part way: the rest goes
    // after them, never the whole line again.
    std::size_t typed = 0;
};

// The one owner of a send: the file, the line in progress, the client window it goes to, and
// whether ticks type (sending), wait for Start (paused) or have nothing to do (idle). The Pause
// item's caption follows the state: "&Start" while paused, "&Pause" otherwise.
class Send
{
public:
    enum class State { Idle, Sending, Paused };

    explicit Send(MenuItem &pause) : pause_(pause) { }

    State state() const { return state_; }
    // Whether a file is held, sending or paused: nothing else may read one meanwhile.
    bool busy() const { return file_ != nullptr; }

    // Sends `file` from its first line, in place of any file held before.
    void start(std::unique_ptr<LineReader> file);
    // Pause also holds a send that has no file yet; Start then ends it on the next tick.
    void pause();
    void resume();
    // Closes the file and drops the line in progress. The state stays: a send left without a file
    // ends on its next tick.
    void drop();
    // Drops the file and stops typing: a paused send stays paused, anything else idles.
    void stop();

    LineReader *file() { return file_.get(); }
    std::optional<PendingLine> &pending() { return pending_; }
    const std::optional<PendingLine> &pending() const { return pending_; }
    // The file's line the next tick types, from 1.
    int nextLineNumber() const;

    // The window this send goes to once found: real clients retitle their window as they run,
    // so it is followed by its id until it closes, not looked up by title again.
    std::optional<WindowId> client;

private:
    void enter(State state);

    MenuItem &pause_;
    State state_ = State::Idle;
    std::unique_ptr<LineReader> file_;
    std::optional<PendingLine> pending_;
};

} // namespace quillpost
