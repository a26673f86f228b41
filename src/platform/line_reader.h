#pragma once

#include "result.h"

#include <istream>
#include <memory>
#include <optional>
#include <string>

namespace quillpost {

// Sequential line input over a byte stream. CR LF, LF and a lone CR each end a line; a final line
// break adds no empty line; a UTF-8 byte order mark at the very start is not part of the text.
// The size check, the sender and the viewer all read files through this one class, so they can
// never disagree on where a line ends.
class LineReader
{
public:
    LineReader(std::unique_ptr<std::istream> in, std::string path);

    // The next line without its line break, std::nullopt after the last one, or the read error.
    // A line longer than `maxChars` comes back cut to maxChars + 1 characters so that a caller
    // with a limit never holds a huge line; the reader is then mid-line and must not be read on.
    Result<std::optional<std::string>> next(std::size_t maxChars = std::string::npos);

    // How many lines next() has returned so far.
    int linesRead() const { return linesRead_; }
    const std::string &path() const { return path_; }

private:
    int getByte();
    int peekByte();

    std::unique_ptr<std::istream> in_;
    std::string path_;
    std::string carry_; // bytes read ahead while looking for a byte order mark
    std::size_t carryPos_ = 0;
    int linesRead_ = 0;
    bool startChecked_ = false;
};

// Opens a file for line input; a missing file, a directory or a refused read comes back as an
// error that names the path and the reason.
Result<std::unique_ptr<LineReader>> openLineReader(const std::string &path);

} // namespace quillpost
