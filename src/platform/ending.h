#pragma once

namespace quillpost {

// Set by a kill or a logout, from the signal handler. The event loop ends the program; a wait
// that holds the program outside that loop (the pointer grab of the window picker) reads this and
// gives up, so that the loop gets the chance.
void requestEnd() noexcept;
bool endRequested() noexcept;

} // namespace quillpost
