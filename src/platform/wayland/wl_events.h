#pragma once

#include <string>

struct wl_display;
struct wl_registry;
struct wl_registry_listener;

namespace quillpost::wl {

// A client's one connection to the compositor and its registry, which the desktops that speak
// Wayland share. It is disconnected on destruction: hold it as the first member, so that the
// proxies made on it are destroyed before.
class Connection
{
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Connects to WAYLAND_DISPLAY and takes in the globals `listener` binds (and what binding
    // them sent); "" when done, else why not, for the user.
    std::string open(const wl_registry_listener *listener, void *data);

    wl_display *display() const { return display_; }
    int fd() const;
    // Everything the compositor sent up to now has been taken in; false once it has gone away.
    bool sync();
    // Takes in what has come without waiting, for an event loop that saw the connection readable.
    void readWaiting();

private:
    wl_display *display_ = nullptr;
    wl_registry *registry_ = nullptr;
    bool broken_ = false;
};

} // namespace quillpost::wl
