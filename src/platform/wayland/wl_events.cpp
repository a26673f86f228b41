#include "wl_events.h"

#include <wayland-client.h>

#include <poll.h>

namespace quillpost::wl {

Connection::~Connection()
{
    if (registry_)
        wl_registry_destroy(registry_);
    if (display_)
        wl_display_disconnect(display_);
}

std::string Connection::open(const wl_registry_listener *listener, void *data)
{
    display_ = wl_display_connect(nullptr);
    if (!display_)
        return "no Wayland compositor answers";
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, listener, data);
    if (!sync() || !sync())
        return "the Wayland compositor closed the connection";
    return "";
}

int Connection::fd() const
{
    return wl_display_get_fd(display_);
}

bool Connection::sync()
{
    if (!broken_ && wl_display_roundtrip(display_) < 0)
        broken_ = true;
    return !broken_;
}

void Connection::readWaiting()
{
    if (broken_)
        return;
    while (wl_display_prepare_read(display_) != 0)
        wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    bool ok = true;
    pollfd p { fd(), POLLIN, 0 };
    if (poll(&p, 1, 0) > 0 && (p.revents & POLLIN))
        ok = wl_display_read_events(display_) >= 0;
    else
        wl_display_cancel_read(display_);
    broken_ = wl_display_dispatch_pending(display_) < 0 || !ok;
}

} // namespace quillpost::wl
