#include "input_buffer.h"

#include "rom_limits.h"

#include <array>

namespace quillpost::noteserver {

namespace {

bool isPrintableAscii(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7f;
}

} // namespace

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r' || c == '\0';
}

FillResult InputBuffer::fillFrom(ByteSource &source)
{
    if (bytes_.size() >= kInputBufferLimit)
        return { FillStatus::Overflow, {} };
    std::array<char, kInputBufferLimit> chunk {};
    for (;;) {
        const std::size_t room = kInputBufferLimit - bytes_.size();
        // ROM loops until a read ends on a line end; with the buffer full it asks read() for
        // zero bytes, gets 0 and takes it for EOF, so the player is dropped.
        if (room == 0)
            return { FillStatus::Full, {} };
        const ReadResult got = source.read(std::span(chunk.data(), room));
        switch (got.kind) {
        case ReadKind::Data:
            bytes_.append(chunk.data(), got.count);
            if (got.count > 0 && isLineEnd(bytes_.back()))
                return { FillStatus::Ok, {} };
            break;
        case ReadKind::WouldBlock:
            return { FillStatus::Ok, {} };
        case ReadKind::Eof:
            return { FillStatus::Eof, {} };
        case ReadKind::Error:
            return { FillStatus::Error, got.error };
        }
    }
}

std::optional<InputLine> InputBuffer::takeLine()
{
    std::size_t end = 0;
    while (end < bytes_.size() && !isLineEnd(bytes_[end]))
        ++end;
    if (end == bytes_.size())
        return std::nullopt;

    InputLine line;
    std::size_t i = 0;
    for (; i < end; ++i) {
        // Checked before looking at the byte, so even a byte that would be dropped, or a
        // backspace, past the 254th kept character makes the line too long.
        if (line.text.size() >= kMaxCommandLength) {
            line.tooLong = true;
            // ROM ends the buffer right after this line's end: lines already read in behind
            // the long one are lost with its tail.
            bytes_.resize(end + 1);
            bytes_[end] = '\n';
            i = end;
            break;
        }
        const char c = bytes_[i];
        if (c == '\b' && !line.text.empty())
            line.text.pop_back();
        else if (isPrintableAscii(c))
            line.text.push_back(c);
    }
    if (line.text.empty())
        line.text = " ";

    // Every line end in a row is skipped, so CR LF (or LF LF) read together make one break.
    while (i < bytes_.size() && isLineEnd(bytes_[i]))
        ++i;
    bytes_.erase(0, i);
    return line;
}

} // namespace quillpost::noteserver
