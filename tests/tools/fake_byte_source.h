#pragma once

#include "noteserver/input_buffer.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace quillpost::noteserver::test {

// Bytes the player has sent that the server has not read yet, as a non-blocking socket holds
// them. A read returns at most `perRead` bytes, as a socket returns what one segment brought.
class FakeByteSource : public ByteSource
{
public:
    explicit FakeByteSource(std::size_t perRead = std::numeric_limits<std::size_t>::max())
        : perRead_(perRead)
    {
    }

    void arrive(std::string_view bytes) { unread_ += bytes; }
    void hangUp() { hungUp_ = true; }
    // What poll() would report: something to read, or the hang-up to notice.
    bool readable() const { return !unread_.empty() || hungUp_; }
    const std::string &unread() const { return unread_; }

    ReadResult read(std::span<char> into) override
    {
        // Like read(2) on a socket: asking for nothing returns 0, which reads as EOF.
        if (into.empty())
            return { ReadKind::Eof, 0, {} };
        if (unread_.empty())
            return { hungUp_ ? ReadKind::Eof : ReadKind::WouldBlock, 0, {} };
        const std::size_t n = std::min({ into.size(), unread_.size(), perRead_ });
        std::copy_n(unread_.begin(), n, into.begin());
        unread_.erase(0, n);
        return { ReadKind::Data, n, {} };
    }

private:
    std::string unread_;
    std::size_t perRead_;
    bool hungUp_ = false;
};

} // namespace quillpost::noteserver::test
