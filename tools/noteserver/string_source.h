#pragma once

#include "input_buffer.h"

#include <algorithm>
#include <string>

namespace quillpost::noteserver {

// The bytes a non-blocking socket holds unread, for driving a session without one (the tests and
// the fuzz targets).
struct StringSource : ByteSource
{
    std::string unread;
    bool hungUp = false;

    bool readable() const { return !unread.empty() || hungUp; }

    ReadResult read(std::span<char> into) override
    {
        const std::size_t n = std::min(into.size(), unread.size());
        // As read(2): asking for nothing returns 0, which reads as EOF.
        if (n == 0)
            return { into.empty() || hungUp ? ReadKind::Eof : ReadKind::WouldBlock, 0, {} };
        std::copy_n(unread.begin(), n, into.begin());
        unread.erase(0, n);
        return { ReadKind::Data, n, {} };
    }
};

} // namespace quillpost::noteserver
