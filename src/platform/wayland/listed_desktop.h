#pragma once

#include "native_desktop.h"
#include "wl_events.h"

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

struct wl_proxy;
struct wl_registry_listener;
struct wl_seat;

namespace quillpost::wl {

// One window as a desktop's window-management protocol announced it. The protocol's object is
// held as the wl_proxy every generated type is, so that one list serves every protocol.
struct WindowHandle
{
    wl_proxy *proxy = nullptr;
    Toplevel window;
    bool ready = false; // all it had to say when it came has arrived
    bool closed = false;

    template <typename Proxy> Proxy *as() const { return reinterpret_cast<Proxy *>(proxy); }
};

// A desktop's connection, its seat and the windows announced over it: the base of a backend's
// state, so that the backend's own proxies are destroyed first and the connection last.
class WindowList
{
public:
    using Destroy = void (*)(wl_proxy *);
    explicit WindowList(Destroy destroy) : destroy_(destroy) { }
    virtual ~WindowList();
    WindowList(const WindowList &) = delete;
    WindowList &operator=(const WindowList &) = delete;

    Connection wl;
    wl_seat *seat = nullptr;

    // A window the desktop just announced, under the next id; `ready` when nothing more is to
    // come before it can be listed. Its address stays for its proxy's listener data.
    template <typename Proxy> WindowHandle &add(Proxy *proxy, bool ready)
    {
        return add(reinterpret_cast<wl_proxy *>(proxy), ready);
    }
    WindowHandle &add(wl_proxy *proxy, bool ready);
    // Listener data of a window's proxy.
    static WindowHandle &of(void *data) { return *static_cast<WindowHandle *>(data); }

    // Everything the compositor sent up to now has been taken in, windows that just came with all
    // they say first.
    bool sync();
    // The open window `id` after a sync; null when it is not there (any more).
    WindowHandle *open(WindowId id);
    std::vector<Toplevel> listed();
    void readWaiting();

private:
    Destroy destroy_;
    std::list<WindowHandle> handles_;
    std::uint64_t serial_ = 0;
};

// A destroy request of a generated protocol type, for WindowList.
template <typename Proxy, void (*destroy)(Proxy *)> void destroyAs(wl_proxy *proxy)
{
    destroy(reinterpret_cast<Proxy *>(proxy));
}

// Listener callbacks for what every protocol's window says, its listener data the WindowHandle.
template <typename Proxy> void onWindowTitle(void *data, Proxy *, const char *title)
{
    WindowList::of(data).window.title = title ? title : "";
}

template <typename Proxy> void onWindowAppId(void *data, Proxy *, const char *appId)
{
    WindowList::of(data).window.appId = appId ? appId : "";
}

// Its proxy is of no more use once the desktop says the window closed.
template <typename Proxy, void (*destroy)(Proxy *)> void onWindowClosed(void *data, Proxy *)
{
    WindowHandle &h = WindowList::of(data);
    h.closed = true;
    destroy(h.as<Proxy>());
    h.proxy = nullptr;
}

// A desktop that lists its windows through a Wayland protocol of its own and types through
// another: what such desktops have alike.
class ListedDesktop : public NativeDesktop
{
public:
    int fd() const override;
    void readEvents() override;
    std::vector<Toplevel> windows() override;
    Outcome activate(WindowId window) override;

protected:
    // A Desktop on a new State, once the globals `listener` binds offer a seat and `reach` finds
    // there all else it needs ("" when so, else what is lacking); else null, `lacking` saying why
    // for the user.
    template <typename Desktop, typename State>
    static std::unique_ptr<Desktop> connectAs(
        const wl_registry_listener *listener, std::string (*reach)(State &), std::string *lacking)
    {
        auto state = std::make_unique<State>();
        std::string why = state->wl.open(listener, state.get());
        if (why.empty() && !state->seat)
            why = "the Wayland compositor offers no seat";
        if (why.empty())
            why = reach(*state);
        if (why.empty())
            return std::unique_ptr<Desktop>(new Desktop(std::move(state)));
        if (lacking)
            *lacking = std::move(why);
        return nullptr;
    }
    explicit ListedDesktop(std::unique_ptr<WindowList> state);
    ~ListedDesktop() override;

    template <typename State> State &state() { return static_cast<State &>(*list_); }
    virtual void requestActivation(const WindowHandle &window) = 0;
    // Presses key `i` through `press` for each `i` below `count`, each only while `window` holds
    // the keyboard; a stop's position is the first key not pressed.
    Outcome pressWhileActivated(
        WindowId window, std::size_t count, const std::function<void(std::size_t)> &press);

private:
    std::unique_ptr<WindowList> list_;
};

} // namespace quillpost::wl
