#include "repeat_guard.h"

#include "rom_limits.h"

namespace quillpost::noteserver {

GuardedLine RepeatGuard::pass(std::string line)
{
    GuardedLine out;
    const bool bang = !line.empty() && line.front() == '!';
    if (line.size() > 1 || bang) {
        if (!bang && line != last_) {
            repeats_ = 0;
        } else if (++repeats_ >= kSpamRepeatLimit) {
            out.spamming = true;
            repeats_ = 0;
        }
    }
    if (bang) {
        out.command = last_;
    } else {
        last_ = line;
        out.command = std::move(line);
    }
    return out;
}

} // namespace quillpost::noteserver
