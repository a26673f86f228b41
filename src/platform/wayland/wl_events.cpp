#include "wl_events.h"

#include <wayland-client.h>

#include <poll.h>

namespace quillpost::wl {

bool readWaitingEvents(wl_display *display)
{
    while (wl_display_prepare_read(display) != 0)
        wl_display_dispatch_pending(display);
    wl_display_flush(display);
    bool ok = true;
    pollfd p { wl_display_get_fd(display), POLLIN, 0 };
    if (poll(&p, 1, 0) > 0 && (p.revents & POLLIN))
        ok = wl_display_read_events(display) >= 0;
    else
        wl_display_cancel_read(display);
    return wl_display_dispatch_pending(display) >= 0 && ok;
}

} // namespace quillpost::wl
