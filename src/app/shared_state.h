#pragma once

#include "platform/line_reader.h"
#include "platform/platform.h"

#include <memory>
#include <optional>
#include <string>

namespace quillpost {

// The values the commands share, for the whole run; nothing of it is ever saved.
struct SharedState
{
    std::string sendFilePath;
    std::string noteSpool = "note"; // never ""
    bool sending = false;
    std::string lineBreak;
    int lockedWidth = 0; // twips
    int lockedHeight = 0;

    // File number 1: the one sequential input file, held by a send or briefly by a view.
    std::unique_ptr<LineReader> file1;
    // A line read from file1 that has not reached the client yet; it is typed before any other.
    std::optional<std::string> unsentLine;
    // Its keystroke text, and how much of that already reached the client when typing stopped
    // part way: the rest goes after it, never the whole line again.
    std::string unsentKeys;
    std::size_t keysTyped = 0;
    // The title a client window is found by (exact, else a prefix), and the window the player
    // chose by clicking it, which is the client for the rest of the run until it closes.
    std::string clientTitle = "zMUD";
    std::optional<WindowId> chosenClient;
    // The send's client, once found: real clients retitle their window as they run, so it is
    // followed by its id until it closes, not looked up by title again.
    std::optional<WindowId> client;

    void closeFile1()
    {
        file1.reset();
        unsentLine.reset();
        unsentKeys.clear();
        keysTyped = 0;
        client.reset();
    }
};

} // namespace quillpost
