#pragma once

struct wl_display;

namespace quillpost::wl {

// Takes in what the compositor has sent so far without waiting for more, for an event loop that
// saw the connection readable; false when the compositor has gone away.
bool readWaitingEvents(wl_display *display);

} // namespace quillpost::wl
