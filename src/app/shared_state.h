#pragma once

#include "platform/line_reader.h"

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

    void closeFile1()
    {
        file1.reset();
        unsentLine.reset();
    }
};

} // namespace quillpost
