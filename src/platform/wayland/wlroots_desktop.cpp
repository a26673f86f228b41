#include "wlroots_desktop.h"

#include "foreign-toplevel-client.h"
#include "virtual-keyboard-client.h"
#include "wl_events.h"
#include "wl_keymap.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <list>
#include <optional>
#include <thread>

#include <sys/mman.h>
#include <unistd.h>

namespace quillpost::wl {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kActivated = ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;

const Error kClosed { ErrorKind::NoWindow, "The window to type into is no longer open." };

std::uint32_t milliseconds()
{
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

struct Handle
{
    zwlr_foreign_toplevel_handle_v1 *proxy = nullptr;
    Toplevel window;
    bool closed = false;
};

} // namespace

struct WlrootsDesktop::State
{
    Connection wl; // first: disconnected after every proxy below is destroyed
    wl_seat *seat = nullptr;
    zwlr_foreign_toplevel_manager_v1 *manager = nullptr;
    zwp_virtual_keyboard_manager_v1 *keyboards = nullptr;
    zwp_virtual_keyboard_v1 *keyboard = nullptr;
    std::list<Handle> handles; // stable addresses: each is its proxy's listener data
    std::uint64_t serial = 0;

    ~State()
    {
        for (Handle &h : handles)
            if (h.proxy)
                zwlr_foreign_toplevel_handle_v1_destroy(h.proxy);
        if (keyboard)
            zwp_virtual_keyboard_v1_destroy(keyboard);
        if (keyboards)
            zwp_virtual_keyboard_manager_v1_destroy(keyboards);
        if (manager)
            zwlr_foreign_toplevel_manager_v1_destroy(manager);
        if (seat)
            wl_seat_destroy(seat);
    }

    bool sync() { return wl.sync(); }

    Handle *open(WindowId id)
    {
        if (!sync())
            return nullptr;
        for (Handle &h : handles)
            if (!h.closed && h.window.id == id)
                return &h;
        return nullptr;
    }
};

namespace {

void onTitle(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *title)
{
    static_cast<Handle *>(data)->window.title = title ? title : "";
}

void onAppId(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *appId)
{
    static_cast<Handle *>(data)->window.appId = appId ? appId : "";
}

void onOutput(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) { }

void onState(void *data, zwlr_foreign_toplevel_handle_v1 *, wl_array *states)
{
    const auto *first = static_cast<const std::uint32_t *>(states->data);
    const auto *last = first + states->size / sizeof(std::uint32_t);
    static_cast<Handle *>(data)->window.activated = std::find(first, last, kActivated) != last;
}

void onDone(void *, zwlr_foreign_toplevel_handle_v1 *) { }

void onClosed(void *data, zwlr_foreign_toplevel_handle_v1 *)
{
    auto *h = static_cast<Handle *>(data);
    h->closed = true;
    zwlr_foreign_toplevel_handle_v1_destroy(h->proxy);
    h->proxy = nullptr;
}

void onParent(void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *) { }

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener { onTitle, onAppId, onOutput,
    onOutput, onState, onDone, onClosed, onParent };

void onToplevel(
    void *data, zwlr_foreign_toplevel_manager_v1 *, zwlr_foreign_toplevel_handle_v1 *proxy)
{
    auto *s = static_cast<WlrootsDesktop::State *>(data);
    Handle &h = s->handles.emplace_back();
    h.proxy = proxy;
    h.window.id = NativeDesktop::idFor(++s->serial);
    zwlr_foreign_toplevel_handle_v1_add_listener(proxy, &kHandleListener, &h);
}

void onFinished(void *, zwlr_foreign_toplevel_manager_v1 *) { }

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener { onToplevel, onFinished };

void onGlobal(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
    std::uint32_t version)
{
    auto *s = static_cast<WlrootsDesktop::State *>(data);
    const std::string_view is(interface);
    if (is == wl_seat_interface.name && !s->seat) {
        s->seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (is == zwlr_foreign_toplevel_manager_v1_interface.name) {
        s->manager
            = static_cast<zwlr_foreign_toplevel_manager_v1 *>(wl_registry_bind(registry, name,
                &zwlr_foreign_toplevel_manager_v1_interface, std::min<std::uint32_t>(version, 3)));
        zwlr_foreign_toplevel_manager_v1_add_listener(s->manager, &kManagerListener, s);
    } else if (is == zwp_virtual_keyboard_manager_v1_interface.name) {
        s->keyboards = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
}

void onGlobalRemove(void *, wl_registry *, std::uint32_t) { }

const wl_registry_listener kRegistryListener { onGlobal, onGlobalRemove };

// The compositor maps the keymap from a file.
bool uploadKeymap(zwp_virtual_keyboard_v1 *keyboard)
{
    const std::string keymap = typingKeymap();
    const int fd = memfd_create("quillpost-keymap", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    const std::size_t size = keymap.size() + 1; // with its terminating NUL, as readers expect
    const bool written = write(fd, keymap.c_str(), size) == static_cast<ssize_t>(size);
    if (written)
        zwp_virtual_keyboard_v1_keymap(
            keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, static_cast<std::uint32_t>(size));
    close(fd);
    return written;
}

void press(zwp_virtual_keyboard_v1 *keyboard, std::uint32_t key)
{
    zwp_virtual_keyboard_v1_key(keyboard, milliseconds(), key, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard, milliseconds(), key, WL_KEYBOARD_KEY_STATE_RELEASED);
}

} // namespace

WlrootsDesktop::WlrootsDesktop(std::unique_ptr<State> state) : s_(std::move(state)) { }

WlrootsDesktop::~WlrootsDesktop() = default;

std::unique_ptr<WlrootsDesktop> WlrootsDesktop::connect(std::string *lacking)
{
    const auto missing = [&](std::string what) -> std::unique_ptr<WlrootsDesktop> {
        if (lacking)
            *lacking = std::move(what);
        return nullptr;
    };
    auto s = std::make_unique<State>();
    if (std::string why = s->wl.open(&kRegistryListener, s.get()); !why.empty())
        return missing(std::move(why));
    if (!s->seat)
        return missing("the Wayland compositor offers no seat");
    if (!s->manager)
        return missing("the Wayland compositor does not list its windows to other programs");
    if (!s->keyboards)
        return missing("the Wayland compositor offers no virtual keyboard");

    // One keyboard for the whole run: a seat that gains a keyboard loses its first keys, so it
    // gains it now, long before the first line.
    s->keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(s->keyboards, s->seat);
    if (!uploadKeymap(s->keyboard))
        return missing("the keyboard map could not be handed to the Wayland compositor");
    press(s->keyboard, kSilentKey);
    if (!s->sync())
        return missing("the Wayland compositor refused a virtual keyboard");
    return std::unique_ptr<WlrootsDesktop>(new WlrootsDesktop(std::move(s)));
}

int WlrootsDesktop::fd() const
{
    return s_->wl.fd();
}

void WlrootsDesktop::readEvents()
{
    s_->wl.readWaiting();
    // Closed windows are of no more use to anyone.
    s_->handles.remove_if([](const Handle &h) { return h.closed; });
}

std::vector<Toplevel> WlrootsDesktop::windows()
{
    std::vector<Toplevel> open;
    if (s_->sync())
        for (const Handle &h : s_->handles)
            if (!h.closed)
                open.push_back(h.window);
    return open;
}

Outcome WlrootsDesktop::activate(WindowId window)
{
    Handle *h = s_->open(window);
    if (!h)
        return kClosed;
    zwlr_foreign_toplevel_handle_v1_activate(h->proxy, s_->seat);
    wl_display_flush(s_->wl.display());
    return Ok {};
}

Outcome WlrootsDesktop::type(WindowId window, std::span<const KeyStroke> strokes)
{
    if (auto unmappable = checkStrokes(strokes); !unmappable)
        return unmappable;
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        if (auto focus = waitForActivated(window, 0ms); !focus) {
            Error error = focus.error();
            error.position = i;
            return error;
        }
        press(s_->keyboard, keyFor(strokes[i]));
    }
    if (!s_->sync())
        return Error { ErrorKind::Typing, "The Wayland compositor closed the connection." };
    return Ok {};
}

} // namespace quillpost::wl
