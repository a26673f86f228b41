#include "seat_keyboard.h"

#include "virtual-keyboard-client.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include <sys/mman.h>
#include <unistd.h>

namespace quillpost::test {
namespace {

using namespace std::chrono_literals;

struct Globals
{
    wl_seat *seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *manager = nullptr;
};

void onGlobal(
    void *data, wl_registry *registry, std::uint32_t name, const char *interface, std::uint32_t)
{
    auto *g = static_cast<Globals *>(data);
    if (std::string_view(interface) == wl_seat_interface.name && !g->seat)
        g->seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    if (std::string_view(interface) == zwp_virtual_keyboard_manager_v1_interface.name)
        g->manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}

void onGlobalRemove(void *, wl_registry *, std::uint32_t) { }

const wl_registry_listener kListener { onGlobal, onGlobalRemove };

} // namespace

struct SeatKeyboard::State
{
    wl_display *display = nullptr;
    Globals globals;
    zwp_virtual_keyboard_v1 *keyboard = nullptr;
    xkb_context *context = nullptr;
    xkb_keymap *keymap = nullptr;
    xkb_state *state = nullptr;

    ~State()
    {
        if (state)
            xkb_state_unref(state);
        if (keymap)
            xkb_keymap_unref(keymap);
        if (context)
            xkb_context_unref(context);
        if (display)
            wl_display_disconnect(display);
    }

    void key(xkb_keycode_t code, bool down)
    {
        const auto now
            = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                                             .count());
        zwp_virtual_keyboard_v1_key(keyboard, now, code - 8,
            down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        // The compositor takes modifiers from us, as a keyboard's driver would report them.
        xkb_state_update_key(state, code, down ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_modifiers(keyboard,
            xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
        wl_display_roundtrip(display);
    }

    // The key and the modifier keys that give `keysym` at one of its levels.
    std::vector<xkb_keycode_t> chord(xkb_keysym_t keysym)
    {
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
             code <= xkb_keymap_max_keycode(keymap); ++code) {
            for (xkb_level_index_t level = 0;
                 level < xkb_keymap_num_levels_for_key(keymap, code, 0); ++level) {
                const xkb_keysym_t *syms = nullptr;
                if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &syms) != 1
                    || syms[0] != keysym)
                    continue;
                // Level 2 is Shift, 3 AltGr, 4 both, as every Latin layout has them.
                std::vector<xkb_keycode_t> keys;
                if (level == 1 || level == 3)
                    keys.push_back(named("Shift_L"));
                if (level >= 2)
                    keys.push_back(named("ISO_Level3_Shift"));
                keys.push_back(code);
                return keys;
            }
        }
        throw std::runtime_error("the layout has no key for keysym " + std::to_string(keysym));
    }

    xkb_keycode_t named(const std::string &keysymName)
    {
        const xkb_keysym_t keysym = xkb_keysym_from_name(keysymName.c_str(), XKB_KEYSYM_NO_FLAGS);
        if (keysym == XKB_KEY_NoSymbol)
            throw std::runtime_error("no keysym called " + keysymName);
        return chord(keysym).back();
    }

    void strike(const std::vector<xkb_keycode_t> &keys)
    {
        for (xkb_keycode_t code : keys)
            key(code, true);
        std::this_thread::sleep_for(20ms);
        for (auto code = keys.rbegin(); code != keys.rend(); ++code)
            key(*code, false);
        std::this_thread::sleep_for(20ms);
    }
};

SeatKeyboard::SeatKeyboard(const std::string &socket, const std::string &layout)
    : s_(std::make_unique<State>())
{
    s_->display = wl_display_connect(socket.c_str());
    if (!s_->display)
        throw std::runtime_error("cannot connect to " + socket);
    wl_registry_add_listener(wl_display_get_registry(s_->display), &kListener, &s_->globals);
    wl_display_roundtrip(s_->display);
    if (!s_->globals.seat || !s_->globals.manager)
        throw std::runtime_error("the compositor offers no virtual keyboard");
    s_->context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names { "evdev", "pc105", layout.c_str(), "", "" };
    s_->keymap = xkb_keymap_new_from_names(s_->context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!s_->keymap)
        throw std::runtime_error("no keymap for the layout " + layout);
    s_->state = xkb_state_new(s_->keymap);
    char *text = xkb_keymap_get_as_string(s_->keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const std::string keymap(text);
    free(text);
    const int fd = memfd_create("seat-keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, keymap.c_str(), keymap.size() + 1) <= 0)
        throw std::runtime_error("cannot hand over the keymap");
    s_->keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
        s_->globals.manager, s_->globals.seat);
    zwp_virtual_keyboard_v1_keymap(s_->keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
        static_cast<std::uint32_t>(keymap.size() + 1));
    close(fd);
    wl_display_roundtrip(s_->display);
    // A seat that has just gained a keyboard loses its first keys.
    s_->strike({ s_->named("Shift_L") });
    std::this_thread::sleep_for(1s);
}

SeatKeyboard::~SeatKeyboard() = default;

void SeatKeyboard::press(const std::vector<std::string> &keys)
{
    for (const std::string &key : keys) {
        std::vector<xkb_keycode_t> chord;
        std::size_t from = 0;
        for (std::size_t plus; (plus = key.find('+', from)) != std::string::npos; from = plus + 1) {
            const std::string modifier = key.substr(from, plus - from);
            chord.push_back(s_->named(modifier == "ctrl" ? "Control_L"
                    : modifier == "alt"                  ? "Alt_L"
                                                         : "Shift_L"));
        }
        for (xkb_keycode_t code :
            s_->chord(xkb_keysym_from_name(key.substr(from).c_str(), XKB_KEYSYM_NO_FLAGS)))
            chord.push_back(code);
        s_->strike(chord);
    }
}

void SeatKeyboard::type(const std::string &text)
{
    for (char c : text)
        s_->strike(s_->chord(xkb_utf32_to_keysym(static_cast<unsigned char>(c))));
}

} // namespace quillpost::test
