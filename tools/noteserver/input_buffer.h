#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace quillpost::noteserver {

enum class ReadKind {
    Data, // `count` bytes were copied
    WouldBlock, // nothing more has arrived yet
    Eof, // the player closed the connection
    Error, // the connection failed; `error` says how
};

struct ReadResult
{
    ReadKind kind;
    std::size_t count = 0;
    std::string error;
};

// Where a connection's bytes come from: the socket in the server, a string in the tests.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // Copies up to into.size() bytes that have already arrived; never waits.
    virtual ReadResult read(std::span<char> into) = 0;
};

enum class FillStatus {
    Ok,
    Overflow, // input arrived while the buffer was already full: "PUT A LID ON IT"
    Full, // a read filled the buffer in the middle of a line
    Eof,
    Error,
};

struct FillResult
{
    FillStatus status;
    std::string error; // for FillStatus::Error
};

struct InputLine
{
    std::string text; // printable ASCII only; an empty line comes back as one blank, as in ROM
    bool tooLong = false; // the line went past kMaxCommandLength and its rest was dropped
};

// CR and LF end a line as in ROM; NUL too, because telnet clients send a bare CR as CR NUL.
bool isLineEnd(char c);

// A connection's d->inbuf with ROM's read_from_descriptor and read_from_buffer: raw bytes wait
// here, and each pulse takes at most one command line out.
class InputBuffer
{
public:
    // Reads what has arrived, up to kInputBufferLimit bytes held in all.
    FillResult fillFrom(ByteSource &source);
    // The next complete line, or nothing while no line end has arrived.
    std::optional<InputLine> takeLine();

    std::size_t size() const { return bytes_.size(); }

private:
    std::string bytes_;
};

} // namespace quillpost::noteserver
