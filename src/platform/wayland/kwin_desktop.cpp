#include "kwin_desktop.h"

#include "fake-input-client.h"
#include "kde_layouts.h"
#include "keystate-client.h"
#include "kwin_layout_keys.h"
#include "plasma-window-management-client.h"
#include "wl_events.h"

#include <wayland-client.h>

#include <algorithm>
#include <list>
#include <optional>

#include <sys/mman.h>
#include <unistd.h>

namespace quillpost::wl {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kActive = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE;
// Windows come by uuid from version 13 on; 16 is the newest the listener below knows.
constexpr std::uint32_t kFirstManagement = 13, kLastManagement = 16;
constexpr std::uint32_t kKeyboardKeyVersion = 4;
constexpr std::uint32_t kReleased = 0, kPressed = 1;
constexpr std::uint32_t kLeftShift = 42, kRightShift = 54; // evdev codes
constexpr std::uint32_t kKeystateDestroyVersion = 4;

const Error kClosed { ErrorKind::NoWindow, "The window to type into is no longer open." };

struct Handle
{
    org_kde_plasma_window *proxy = nullptr;
    Toplevel window;
    bool ready = false; // all it had to say when it came has arrived
    bool closed = false;
};

} // namespace

struct KwinDesktop::State
{
    Connection wl; // first: disconnected after every proxy below is destroyed
    wl_seat *seat = nullptr;
    wl_keyboard *keyboard = nullptr;
    org_kde_plasma_window_management *manager = nullptr;
    org_kde_kwin_fake_input *fakeInput = nullptr;
    org_kde_kwin_keystate *keystate = nullptr;
    std::uint32_t managerVersion = 0, fakeInputVersion = 0, keystateVersion = 0;
    bool capsLocked = false;
    bool seatHasKeyboard = false;
    std::string keymap; // the seat's, in XKB text
    std::optional<LayoutKeys> layout; // the keys of the layout in use, as last known
    std::uint32_t group = 0;
    KdeLayouts layouts;
    std::list<Handle> handles; // stable addresses: each is its proxy's listener data
    std::uint64_t serial = 0;

    ~State()
    {
        for (Handle &h : handles)
            if (h.proxy)
                org_kde_plasma_window_destroy(h.proxy);
        if (keyboard)
            wl_keyboard_destroy(keyboard);
        if (fakeInput)
            org_kde_kwin_fake_input_destroy(fakeInput);
        if (keystate && keystateVersion >= kKeystateDestroyVersion)
            org_kde_kwin_keystate_destroy(keystate);
        else if (keystate)
            wl_proxy_destroy(reinterpret_cast<wl_proxy *>(keystate));
        if (manager)
            org_kde_plasma_window_management_destroy(manager);
        if (seat)
            wl_seat_destroy(seat);
    }

    // Everything the compositor sent up to now has been taken in, windows that just came with all
    // they say first.
    bool sync()
    {
        if (!wl.sync())
            return false;
        for (const Handle &h : handles)
            if (!h.closed && !h.ready && !wl.sync())
                return false;
        return true;
    }

    Handle *open(WindowId id)
    {
        if (!sync())
            return nullptr;
        for (Handle &h : handles)
            if (!h.closed && h.ready && h.window.id == id)
                return &h;
        return nullptr;
    }

    void key(std::uint32_t code, std::uint32_t state)
    {
        org_kde_kwin_fake_input_keyboard_key(fakeInput, code, state);
    }
};

namespace {

Handle &handleOf(void *data)
{
    return *static_cast<Handle *>(data);
}

void onTitle(void *data, org_kde_plasma_window *, const char *title)
{
    handleOf(data).window.title = title ? title : "";
}

void onAppId(void *data, org_kde_plasma_window *, const char *appId)
{
    handleOf(data).window.appId = appId ? appId : "";
}

void onState(void *data, org_kde_plasma_window *, std::uint32_t flags)
{
    handleOf(data).window.activated = (flags & kActive) != 0;
}

void onUnmapped(void *data, org_kde_plasma_window *)
{
    Handle &h = handleOf(data);
    h.closed = true;
    org_kde_plasma_window_destroy(h.proxy);
    h.proxy = nullptr;
}

void onInitialState(void *data, org_kde_plasma_window *)
{
    handleOf(data).ready = true;
}

void ignoreText(void *, org_kde_plasma_window *, const char *) { }
void ignoreNumber(void *, org_kde_plasma_window *, std::int32_t) { }
void ignoreUnsigned(void *, org_kde_plasma_window *, std::uint32_t) { }
void ignore(void *, org_kde_plasma_window *) { }
void ignoreParent(void *, org_kde_plasma_window *, org_kde_plasma_window *) { }
void ignoreGeometry(
    void *, org_kde_plasma_window *, std::int32_t, std::int32_t, std::uint32_t, std::uint32_t)
{
}
void ignoreMenu(void *, org_kde_plasma_window *, const char *, const char *) { }

const org_kde_plasma_window_listener kWindowListener { onTitle, onAppId, onState, ignoreNumber,
    ignoreText, onUnmapped, onInitialState, ignoreParent, ignoreGeometry, ignore, ignoreUnsigned,
    ignoreText, ignoreText, ignoreMenu, ignoreText, ignoreText, ignoreText };

void onWindow(
    void *data, org_kde_plasma_window_management *manager, std::uint32_t, const char *uuid)
{
    auto *s = static_cast<KwinDesktop::State *>(data);
    Handle &h = s->handles.emplace_back();
    h.proxy = org_kde_plasma_window_management_get_window_by_uuid(manager, uuid);
    h.window.id = NativeDesktop::idFor(++s->serial);
    org_kde_plasma_window_add_listener(h.proxy, &kWindowListener, &h);
}

void ignoreManager(void *, org_kde_plasma_window_management *, std::uint32_t) { }
void ignoreStacking(void *, org_kde_plasma_window_management *, wl_array *) { }
void ignoreUuids(void *, org_kde_plasma_window_management *, const char *) { }

const org_kde_plasma_window_management_listener kManagerListener { ignoreManager, ignoreManager,
    ignoreStacking, ignoreUuids, onWindow };

// The seat's keyboard map is the player's layout, which KWin reads our fake keys through.
void onKeymap(void *data, wl_keyboard *, std::uint32_t format, int fd, std::uint32_t size)
{
    auto *s = static_cast<KwinDesktop::State *>(data);
    void *map = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1
        ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0)
        : MAP_FAILED;
    close(fd);
    s->layout.reset();
    s->keymap.clear();
    if (map == MAP_FAILED)
        return;
    std::string_view text(static_cast<const char *>(map), size);
    s->keymap = text.substr(0, text.find('\0'));
    munmap(map, size);
    s->group = 0;
    if (auto keys = LayoutKeys::fromKeymap(s->keymap))
        s->layout = std::move(keys.value());
}

void onEnter(void *, wl_keyboard *, std::uint32_t, wl_surface *, wl_array *) { }
void onLeave(void *, wl_keyboard *, std::uint32_t, wl_surface *) { }
void onKey(void *, wl_keyboard *, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) { }
void onModifiers(void *, wl_keyboard *, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
    std::uint32_t)
{
}
void onRepeat(void *, wl_keyboard *, std::int32_t, std::int32_t) { }

const wl_keyboard_listener kKeyboardListener { onKeymap, onEnter, onLeave, onKey, onModifiers,
    onRepeat };

void onCapabilities(void *data, wl_seat *, std::uint32_t capabilities)
{
    static_cast<KwinDesktop::State *>(data)->seatHasKeyboard
        = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
}

void onSeatName(void *, wl_seat *, const char *) { }

const wl_seat_listener kSeatListener { onCapabilities, onSeatName };

void onKeyState(void *data, org_kde_kwin_keystate *, std::uint32_t key, std::uint32_t state)
{
    if (key == ORG_KDE_KWIN_KEYSTATE_KEY_CAPSLOCK)
        static_cast<KwinDesktop::State *>(data)->capsLocked
            = state != ORG_KDE_KWIN_KEYSTATE_STATE_UNLOCKED;
}

const org_kde_kwin_keystate_listener kKeystateListener { onKeyState };

void onGlobal(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
    std::uint32_t version)
{
    auto *s = static_cast<KwinDesktop::State *>(data);
    const std::string_view is(interface);
    if (is == wl_seat_interface.name && !s->seat) {
        s->seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        wl_seat_add_listener(s->seat, &kSeatListener, s);
    } else if (is == org_kde_plasma_window_management_interface.name && !s->manager) {
        s->managerVersion = std::min(version, kLastManagement);
        if (s->managerVersion < kFirstManagement)
            return;
        s->manager = static_cast<org_kde_plasma_window_management *>(wl_registry_bind(
            registry, name, &org_kde_plasma_window_management_interface, s->managerVersion));
        org_kde_plasma_window_management_add_listener(s->manager, &kManagerListener, s);
    } else if (is == org_kde_kwin_fake_input_interface.name && !s->fakeInput) {
        s->fakeInputVersion = version;
        if (version < kKeyboardKeyVersion)
            return;
        s->fakeInput = static_cast<org_kde_kwin_fake_input *>(wl_registry_bind(
            registry, name, &org_kde_kwin_fake_input_interface, kKeyboardKeyVersion));
    } else if (is == org_kde_kwin_keystate_interface.name && !s->keystate) {
        s->keystateVersion = std::min(version, kKeystateDestroyVersion);
        s->keystate = static_cast<org_kde_kwin_keystate *>(
            wl_registry_bind(registry, name, &org_kde_kwin_keystate_interface, s->keystateVersion));
        org_kde_kwin_keystate_add_listener(s->keystate, &kKeystateListener, s);
        org_kde_kwin_keystate_fetchStates(s->keystate);
    }
}

void onGlobalRemove(void *, wl_registry *, std::uint32_t) { }

const wl_registry_listener kRegistryListener { onGlobal, onGlobalRemove };

void flipShift(std::vector<std::uint32_t> &hold)
{
    if (std::erase_if(
            hold, [](std::uint32_t key) { return key == kLeftShift || key == kRightShift; })
        == 0)
        hold.insert(hold.begin(), kLeftShift);
}

} // namespace

KwinDesktop::KwinDesktop(std::unique_ptr<State> state) : s_(std::move(state)) { }

KwinDesktop::~KwinDesktop() = default;

std::unique_ptr<KwinDesktop> KwinDesktop::connect(std::string *lacking)
{
    const auto missing = [&](std::string what) -> std::unique_ptr<KwinDesktop> {
        if (lacking)
            *lacking = std::move(what);
        return nullptr;
    };
    auto s = std::make_unique<State>();
    if (std::string why = s->wl.open(&kRegistryListener, s.get()); !why.empty())
        return missing(std::move(why));
    if (!s->seat)
        return missing("the Wayland compositor offers no seat");
    if (!s->manager || !s->fakeInput) {
        if (s->managerVersion && s->fakeInputVersion)
            return missing("KWin is too old to list its windows and type for other programs");
        return missing("the Wayland compositor lists no windows and offers no fake input to "
                       "Quillpost (KWin offers them only to a program whose installed .desktop "
                       "file names them)");
    }

    // KWin takes fake keys only once the program has said who it is. The device it makes for
    // them is a keyboard of the seat, which also makes sure the seat has one.
    org_kde_kwin_fake_input_authenticate(
        s->fakeInput, "Quillpost", "Types the lines of a note into your MUD client's window.");
    if (!s->sync())
        return missing("the Wayland compositor refused fake input");
    if (!s->seatHasKeyboard)
        return missing("the Wayland compositor's seat has no keyboard");
    s->keyboard = wl_seat_get_keyboard(s->seat);
    wl_keyboard_add_listener(s->keyboard, &kKeyboardListener, s.get());
    if (!s->sync() || !s->layout)
        return missing("the Wayland compositor did not say which keyboard layout it uses");
    return std::unique_ptr<KwinDesktop>(new KwinDesktop(std::move(s)));
}

int KwinDesktop::fd() const
{
    return s_->wl.fd();
}

void KwinDesktop::readEvents()
{
    s_->wl.readWaiting();
    // Closed windows are of no more use to anyone.
    s_->handles.remove_if([](const Handle &h) { return h.closed; });
}

std::vector<Toplevel> KwinDesktop::windows()
{
    std::vector<Toplevel> open;
    if (s_->sync())
        for (const Handle &h : s_->handles)
            if (!h.closed && h.ready)
                open.push_back(h.window);
    return open;
}

Outcome KwinDesktop::activate(WindowId window)
{
    Handle *h = s_->open(window);
    if (!h)
        return kClosed;
    org_kde_plasma_window_set_state(h->proxy, kActive, kActive);
    wl_display_flush(s_->wl.display());
    return Ok {};
}

Outcome KwinDesktop::type(WindowId window, std::span<const KeyStroke> strokes)
{
    if (s_->keystate)
        org_kde_kwin_keystate_fetchStates(s_->keystate);
    if (!s_->sync())
        return Error { ErrorKind::Typing, "The Wayland compositor closed the connection.", 0 };
    if (!s_->layout)
        return Error { ErrorKind::Typing, "The desktop's keyboard map could not be read.", 0 };
    // With more than one layout, the keys are those of the one the player switched to.
    if (s_->layout->layouts() > 1) {
        auto group = s_->layouts.inEffect();
        if (!group)
            return group.error();
        if (group.value() != s_->group) {
            auto keys = LayoutKeys::fromKeymap(s_->keymap, group.value());
            if (!keys)
                return keys.error();
            s_->layout = std::move(keys.value());
            s_->group = group.value();
        }
    }
    auto presses = s_->layout->plan(strokes);
    if (!presses)
        return presses.error();
    for (std::size_t i = 0; i < presses->size(); ++i) {
        if (auto focus = waitForActivated(window, 0ms); !focus) {
            Error error = focus.error();
            error.position = i;
            return error;
        }
        LayoutPress press = presses.value()[i];
        // Caps Lock turns the case of letters the other way: the other Shift brings it back.
        const char c = strokes[i].character;
        if (s_->capsLocked && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            flipShift(press.hold);
        for (const std::uint32_t held : press.hold)
            s_->key(held, kPressed);
        s_->key(press.key, kPressed);
        s_->key(press.key, kReleased);
        for (auto held = press.hold.rbegin(); held != press.hold.rend(); ++held)
            s_->key(*held, kReleased);
    }
    if (!s_->sync())
        return Error { ErrorKind::Typing, "The Wayland compositor closed the connection." };
    return Ok {};
}

} // namespace quillpost::wl
