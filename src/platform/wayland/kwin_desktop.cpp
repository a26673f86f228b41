#include "kwin_desktop.h"

#include "fake-input-client.h"
#include "kde_layouts.h"
#include "keystate-client.h"
#include "kwin_layout_keys.h"
#include "plasma-window-management-client.h"

#include <wayland-client.h>

#include <algorithm>
#include <optional>

#include <sys/mman.h>
#include <unistd.h>

namespace quillpost::wl {
namespace {

constexpr std::uint32_t kActive = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE;
// Windows come by uuid from version 13 on; 16 is the newest the listener below knows.
constexpr std::uint32_t kFirstManagement = 13, kLastManagement = 16;
constexpr std::uint32_t kKeyboardKeyVersion = 4;
constexpr std::uint32_t kReleased = 0, kPressed = 1;
constexpr std::uint32_t kLeftShift = 42, kRightShift = 54; // evdev codes
constexpr std::uint32_t kKeystateDestroyVersion = 4;

using Window = org_kde_plasma_window;

// What the compositor said, kept where its callbacks can reach it.
struct State : WindowList
{
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

    State() : WindowList(destroyAs<Window, org_kde_plasma_window_destroy>) { }
    ~State()
    {
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
    }

    void key(std::uint32_t code, std::uint32_t state)
    {
        org_kde_kwin_fake_input_keyboard_key(fakeInput, code, state);
    }
};

void onState(void *data, Window *, std::uint32_t flags)
{
    WindowList::of(data).window.activated = (flags & kActive) != 0;
}

void onInitialState(void *data, Window *)
{
    WindowList::of(data).ready = true;
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

const org_kde_plasma_window_listener kWindowListener { onWindowTitle<Window>, onWindowAppId<Window>,
    onState, ignoreNumber, ignoreText, onWindowClosed<Window, org_kde_plasma_window_destroy>,
    onInitialState, ignoreParent, ignoreGeometry, ignore, ignoreUnsigned, ignoreText, ignoreText,
    ignoreMenu, ignoreText, ignoreText, ignoreText };

void onWindow(
    void *data, org_kde_plasma_window_management *manager, std::uint32_t, const char *uuid)
{
    Window *proxy = org_kde_plasma_window_management_get_window_by_uuid(manager, uuid);
    // Listed once its initial state has come.
    WindowHandle &h = static_cast<State *>(data)->add(proxy, false);
    org_kde_plasma_window_add_listener(proxy, &kWindowListener, &h);
}

void ignoreManager(void *, org_kde_plasma_window_management *, std::uint32_t) { }
void ignoreStacking(void *, org_kde_plasma_window_management *, wl_array *) { }
void ignoreUuids(void *, org_kde_plasma_window_management *, const char *) { }

const org_kde_plasma_window_management_listener kManagerListener { ignoreManager, ignoreManager,
    ignoreStacking, ignoreUuids, onWindow };

// The seat's keyboard map is the player's layout, which KWin reads our fake keys through.
void onKeymap(void *data, wl_keyboard *, std::uint32_t format, int fd, std::uint32_t size)
{
    auto *s = static_cast<State *>(data);
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
    static_cast<State *>(data)->seatHasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
}

void onSeatName(void *, wl_seat *, const char *) { }

const wl_seat_listener kSeatListener { onCapabilities, onSeatName };

void onKeyState(void *data, org_kde_kwin_keystate *, std::uint32_t key, std::uint32_t state)
{
    if (key == ORG_KDE_KWIN_KEYSTATE_KEY_CAPSLOCK)
        static_cast<State *>(data)->capsLocked = state != ORG_KDE_KWIN_KEYSTATE_STATE_UNLOCKED;
}

const org_kde_kwin_keystate_listener kKeystateListener { onKeyState };

void onGlobal(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
    std::uint32_t version)
{
    auto *s = static_cast<State *>(data);
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

// "" once KWin offers all else it takes and has said which layout it uses; else what it lacks.
std::string reach(State &s)
{
    if (!s.manager || !s.fakeInput) {
        if (s.managerVersion && s.fakeInputVersion)
            return "KWin is too old to list its windows and type for other programs";
        return "the Wayland compositor lists no windows and offers no fake input to "
               "Quillpost (KWin offers them only to a program whose installed .desktop "
               "file names them)";
    }

    // KWin takes fake keys only once the program has said who it is. The device it makes for
    // them is a keyboard of the seat, which also makes sure the seat has one.
    org_kde_kwin_fake_input_authenticate(
        s.fakeInput, "Quillpost", "Types the lines of a note into your MUD client's window.");
    if (!s.sync())
        return "the Wayland compositor refused fake input";
    if (!s.seatHasKeyboard)
        return "the Wayland compositor's seat has no keyboard";
    s.keyboard = wl_seat_get_keyboard(s.seat);
    wl_keyboard_add_listener(s.keyboard, &kKeyboardListener, &s);
    if (!s.sync() || !s.layout)
        return "the Wayland compositor did not say which keyboard layout it uses";
    return "";
}

} // namespace

std::unique_ptr<KwinDesktop> KwinDesktop::connect(std::string *lacking)
{
    return connectAs<KwinDesktop>(&kRegistryListener, reach, lacking);
}

void KwinDesktop::requestActivation(const WindowHandle &window)
{
    org_kde_plasma_window_set_state(window.as<Window>(), kActive, kActive);
}

Outcome KwinDesktop::type(WindowId window, std::span<const KeyStroke> strokes)
{
    State &s = state<State>();
    if (s.keystate)
        org_kde_kwin_keystate_fetchStates(s.keystate);
    if (!s.sync())
        return Error { ErrorKind::Typing, "The Wayland compositor closed the connection.", 0 };
    if (!s.layout)
        return Error { ErrorKind::Typing, "The desktop's keyboard map could not be read.", 0 };
    // With more than one layout, the keys are those of the one the player switched to.
    if (s.layout->layouts() > 1) {
        auto group = s.layouts.inEffect();
        if (!group)
            return group.error();
        if (group.value() != s.group) {
            auto keys = LayoutKeys::fromKeymap(s.keymap, group.value());
            if (!keys)
                return keys.error();
            s.layout = std::move(keys.value());
            s.group = group.value();
        }
    }
    auto presses = s.layout->plan(strokes);
    if (!presses)
        return presses.error();
    return pressWhileActivated(window, presses->size(), [&](std::size_t i) {
        LayoutPress press = presses.value()[i];
        // Caps Lock turns the case of letters the other way: the other Shift brings it back.
        const char c = strokes[i].character;
        if (s.capsLocked && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            flipShift(press.hold);
        for (const std::uint32_t held : press.hold)
            s.key(held, kPressed);
        s.key(press.key, kPressed);
        s.key(press.key, kReleased);
        for (auto held = press.hold.rbegin(); held != press.hold.rend(); ++held)
            s.key(*held, kReleased);
    });
}

} // namespace quillpost::wl
