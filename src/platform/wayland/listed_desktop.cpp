#include "listed_desktop.h"

#include <wayland-client.h>

namespace quillpost::wl {
namespace {

using namespace std::chrono_literals;

const Error kClosed { ErrorKind::NoWindow, "The window to type into is no longer open." };

} // namespace

WindowList::~WindowList()
{
    for (WindowHandle &h : handles_)
        if (h.proxy)
            destroy_(h.proxy);
    if (seat)
        wl_seat_destroy(seat);
}

WindowHandle &WindowList::add(wl_proxy *proxy, bool ready)
{
    WindowHandle &h = handles_.emplace_back();
    h.proxy = proxy;
    h.ready = ready;
    h.window.id = NativeDesktop::idFor(++serial_);
    return h;
}

bool WindowList::sync()
{
    if (!wl.sync())
        return false;
    for (const WindowHandle &h : handles_)
        if (!h.closed && !h.ready && !wl.sync())
            return false;
    return true;
}

WindowHandle *WindowList::open(WindowId id)
{
    if (!sync())
        return nullptr;
    for (WindowHandle &h : handles_)
        if (!h.closed && h.ready && h.window.id == id)
            return &h;
    return nullptr;
}

std::vector<Toplevel> WindowList::listed()
{
    std::vector<Toplevel> open;
    if (sync())
        for (const WindowHandle &h : handles_)
            if (!h.closed && h.ready)
                open.push_back(h.window);
    return open;
}

void WindowList::readWaiting()
{
    wl.readWaiting();
    // Closed windows are of no more use to anyone.
    handles_.remove_if([](const WindowHandle &h) { return h.closed; });
}

ListedDesktop::ListedDesktop(std::unique_ptr<WindowList> state) : list_(std::move(state)) { }

ListedDesktop::~ListedDesktop() = default;

int ListedDesktop::fd() const
{
    return list_->wl.fd();
}

void ListedDesktop::readEvents()
{
    list_->readWaiting();
}

std::vector<Toplevel> ListedDesktop::windows()
{
    return list_->listed();
}

Outcome ListedDesktop::activate(WindowId window)
{
    const WindowHandle *h = list_->open(window);
    if (!h)
        return kClosed;
    requestActivation(*h);
    wl_display_flush(list_->wl.display());
    return Ok {};
}

Outcome ListedDesktop::pressWhileActivated(
    WindowId window, std::size_t count, const std::function<void(std::size_t)> &press)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (auto focus = waitForActivated(window, 0ms); !focus) {
            Error error = focus.error();
            error.position = i;
            return error;
        }
        press(i);
    }
    if (!list_->sync())
        return Error { ErrorKind::Typing, "The Wayland compositor closed the connection." };
    return Ok {};
}

} // namespace quillpost::wl
