#pragma once

#include <string>

namespace quillpost::noteserver {

struct GuardedLine
{
    std::string command; // what runs: the line, or the last line again for "!"
    bool spamming = false;
};

// ROM's "#repeat 1000" check and '!' substitution from read_from_buffer. A line counts as a
// repeat when it equals the previous one (lines of one character never count) or starts with
// '!'; the 25th repeat in a row, the 26th identical line, is spamming, and the count restarts.
class RepeatGuard
{
public:
    GuardedLine pass(std::string line);

private:
    std::string last_;
    int repeats_ = 0;
};

} // namespace quillpost::noteserver
