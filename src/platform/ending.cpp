#include "ending.h"

#include <atomic>

namespace quillpost {
namespace {

std::atomic<bool> requested { false };
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

} // namespace

void requestEnd() noexcept
{
    requested.store(true);
}

bool endRequested() noexcept
{
    return requested.load();
}

} // namespace quillpost
