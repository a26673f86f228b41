#include "wlroots_desktop.h"

#include "foreign-toplevel-client.h"
#include "virtual-keyboard-client.h"
#include "wl_keymap.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

namespace quillpost::wl {
namespace {

constexpr std::uint32_t kActivated = ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;

std::uint32_t milliseconds()
{
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

using Window = zwlr_foreign_toplevel_handle_v1;

// What the compositor said, kept where its callbacks can reach it.
struct State : WindowList
{
    zwlr_foreign_toplevel_manager_v1 *manager = nullptr;
    zwp_virtual_keyboard_manager_v1 *keyboards = nullptr;
    zwp_virtual_keyboard_v1 *keyboard = nullptr;

    State() : WindowList(destroyAs<Window, zwlr_foreign_toplevel_handle_v1_destroy>) { }
    ~State()
    {
        if (keyboard)
            zwp_virtual_keyboard_v1_destroy(keyboard);
        if (keyboards)
            zwp_virtual_keyboard_manager_v1_destroy(keyboards);
        if (manager)
            zwlr_foreign_toplevel_manager_v1_destroy(manager);
    }
};

void onOutput(void *, Window *, wl_output *) { }

void onState(void *data, Window *, wl_array *states)
{
    const auto *first = static_cast<const std::uint32_t *>(states->data);
    const auto *last = first + states->size / sizeof(std::uint32_t);
    WindowList::of(data).window.activated = std::find(first, last, kActivated) != last;
}

void onDone(void *, Window *) { }

void onParent(void *, Window *, Window *) { }

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener { onWindowTitle<Window>,
    onWindowAppId<Window>, onOutput, onOutput, onState, onDone,
    onWindowClosed<Window, zwlr_foreign_toplevel_handle_v1_destroy>, onParent };

// The protocol has no news to wait for before a window can be listed.
void onToplevel(void *data, zwlr_foreign_toplevel_manager_v1 *, Window *proxy)
{
    WindowHandle &h = static_cast<State *>(data)->add(proxy, true);
    zwlr_foreign_toplevel_handle_v1_add_listener(proxy, &kHandleListener, &h);
}

void onFinished(void *, zwlr_foreign_toplevel_manager_v1 *) { }

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener { onToplevel, onFinished };

void onGlobal(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
    std::uint32_t version)
{
    auto *s = static_cast<State *>(data);
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

// "" once the desktop offers all else it takes, with a keyboard ready; else what it lacks.
std::string reach(State &s)
{
    if (!s.manager)
        return "the Wayland compositor does not list its windows to other programs";
    if (!s.keyboards)
        return "the Wayland compositor offers no virtual keyboard";

    // One keyboard for the whole run: a seat that gains a keyboard loses its first keys, so it
    // gains it now, long before the first line.
    s.keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(s.keyboards, s.seat);
    if (!uploadKeymap(s.keyboard))
        return "the keyboard map could not be handed to the Wayland compositor";
    press(s.keyboard, kSilentKey);
    if (!s.sync())
        return "the Wayland compositor refused a virtual keyboard";
    return "";
}

} // namespace

std::unique_ptr<WlrootsDesktop> WlrootsDesktop::connect(std::string *lacking)
{
    return connectAs<WlrootsDesktop>(&kRegistryListener, reach, lacking);
}

void WlrootsDesktop::requestActivation(const WindowHandle &window)
{
    zwlr_foreign_toplevel_handle_v1_activate(window.as<Window>(), state<State>().seat);
}

Outcome WlrootsDesktop::type(WindowId window, std::span<const KeyStroke> strokes)
{
    if (auto unmappable = checkStrokes(strokes); !unmappable)
        return unmappable;
    zwp_virtual_keyboard_v1 *keyboard = state<State>().keyboard;
    return pressWhileActivated(
        window, strokes.size(), [&](std::size_t i) { press(keyboard, keyFor(strokes[i])); });
}

} // namespace quillpost::wl
