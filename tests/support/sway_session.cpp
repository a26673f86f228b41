#include "wayland_session.h"

#include "platform/wayland/kwin_layout_keys.h"
#include "platform/wayland/wl_events.h"
#include "virtual-keyboard-client.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <thread>

#include <pwd.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quillpost::test {
namespace {

constexpr const char *kSwayUser = "quillpost-test";
constexpr std::uint32_t kShift = 42, kCtrl = 29, kAlt = 56; // evdev

// A player's keyboard on the seat: a full keyboard of the layout, made through the virtual keyboard
// protocol, whose keys go to whichever window holds the seat's keyboard.
class SeatKeyboard
{
public:
    SeatKeyboard(const std::string &socket, const std::string &layout)
    {
        setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
        static const wl_registry_listener listener { onGlobal,
            [](void *, wl_registry *, std::uint32_t) {} };
        if (const std::string why = connection_.open(&listener, this); !why.empty())
            throw std::runtime_error(why);
        if (!seat_ || !manager_)
            throw std::runtime_error("sway offers no virtual keyboard");
        const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
            xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
        const xkb_rule_names names { "evdev", "pc105", layout.c_str(), "", "" };
        xkb_keymap *map
            = xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (!map)
            throw std::runtime_error("no keymap for the layout " + layout);
        state_.reset(xkb_state_new(map)); // which holds the map from here on
        xkb_keymap_unref(map);
        const std::unique_ptr<char, decltype(&std::free)> text(
            xkb_keymap_get_as_string(xkb_state_get_keymap(state_.get()), XKB_KEYMAP_FORMAT_TEXT_V1),
            std::free);
        const std::string keymap(text.get());
        auto keys = wl::LayoutKeys::fromKeymap(keymap);
        const int fd = memfd_create("seat-keymap", MFD_CLOEXEC);
        if (!keys || fd < 0 || write(fd, keymap.c_str(), keymap.size() + 1) <= 0)
            throw std::runtime_error("cannot hand over the keymap");
        keys_ = std::move(keys.value());
        keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_, seat_);
        zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
            static_cast<std::uint32_t>(keymap.size() + 1));
        close(fd);
        // A seat that has just gained a keyboard loses its first keys.
        strike({ kShift });
        std::this_thread::sleep_for(1s);
    }
    ~SeatKeyboard()
    {
        if (keyboard_)
            zwp_virtual_keyboard_v1_destroy(keyboard_);
        if (manager_)
            zwp_virtual_keyboard_manager_v1_destroy(manager_);
        if (seat_)
            wl_seat_destroy(seat_);
    }

    // Each character of `text` as the layout types it, the evdev keys `held` held besides.
    void type(const std::vector<std::uint32_t> &held, const std::string &text)
    {
        const auto presses = keys_->plan(strokesOf(text));
        if (!presses)
            throw std::runtime_error(presses.error().message);
        for (wl::LayoutPress press : presses.value()) {
            press.hold.insert(press.hold.begin(), held.begin(), held.end());
            press.hold.push_back(press.key);
            strike(press.hold);
        }
    }

private:
    static void onGlobal(
        void *data, wl_registry *registry, std::uint32_t name, const char *interface, std::uint32_t)
    {
        auto *self = static_cast<SeatKeyboard *>(data);
        if (std::string_view(interface) == wl_seat_interface.name && !self->seat_)
            self->seat_
                = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        if (std::string_view(interface) == zwp_virtual_keyboard_manager_v1_interface.name)
            self->manager_ = static_cast<zwp_virtual_keyboard_manager_v1 *>(
                wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }

    void key(std::uint32_t code, bool down)
    {
        const auto now = std::chrono::steady_clock::now().time_since_epoch() / 1ms;
        zwp_virtual_keyboard_v1_key(keyboard_, static_cast<std::uint32_t>(now), code,
            down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        // The compositor takes modifiers from us, as a keyboard's driver would report them.
        xkb_state_update_key(state_.get(), code + 8, down ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_modifiers(keyboard_,
            xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(state_.get(), XKB_STATE_LAYOUT_EFFECTIVE));
        connection_.sync();
    }

    void strike(const std::vector<std::uint32_t> &codes)
    {
        for (const std::uint32_t code : codes)
            key(code, true);
        std::this_thread::sleep_for(20ms);
        for (auto code = codes.rbegin(); code != codes.rend(); ++code)
            key(*code, false);
        std::this_thread::sleep_for(20ms);
    }

    wl::Connection connection_; // first, so that the proxies made on it go before it
    wl_seat *seat_ = nullptr;
    zwp_virtual_keyboard_manager_v1 *manager_ = nullptr;
    zwp_virtual_keyboard_v1 *keyboard_ = nullptr;
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state_ { nullptr, xkb_state_unref };
    std::optional<wl::LayoutKeys> keys_;
};

// A headless sway, which refuses root: under root it and every program in it run as kSwayUser.
// Windows are asked about through swaymsg; the keyboard is one on the seat, as XWayland under sway
// ignores XTest's modifiers.
class SwaySession : public WaylandSession
{
public:
    explicit SwaySession(const DesktopOptions &options)
        : WaylandSession(options, { "sway", "swaymsg", "foot", "Xwayland" })
    {
        if (geteuid() == 0) {
            const passwd *user = getpwnam(kSwayUser);
            if (!user)
                throw std::runtime_error(std::string("sway refuses root, and there is no user ")
                    + kSwayUser + " (scripts/install-deps test makes one)");
            if (chown(dir_.path().c_str(), user->pw_uid, user->pw_gid) != 0)
                throw std::runtime_error("cannot give " + dir_.path() + " to " + kSwayUser);
            asUser_ = { "runuser", "-u", kSwayUser, "--" };
        }
        std::ofstream(file("sway.conf"))
            << "output HEADLESS-1 resolution 1280x800\nxwayland force\n"
            << "input type:keyboard xkb_layout " << layout_ << "\nexec " << ready() << "\n";
        launch("sway",
            { "env", "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                "sway", "-c", file("sway.conf") },
            true);
        keyboard_.emplace(socket(), layout_);
    }

    bool focus(const std::string &title, bool dialog) const override // dialogs float
    {
        return swaymsg(criteria(title, dialog ? "floating" : "tiling") + " focus");
    }
    bool focused(const std::string &title) const override
    {
        return swaymsg(criteria(title, "con_id=__focused__") + " nop");
    }
    int windowsTitled(const std::string &title) const override
    {
        swaymsg(
            "-t get_tree | grep -c " + shellQuoted("\"name\": \"" + title + "\","), file("count"));
        return std::atoi(readFile(file("count")).c_str());
    }
    void press(const std::vector<std::string> &keys) override
    {
        for (const std::string &key : keys) { // one modifier at most
            const std::size_t plus = key.find('+');
            keyboard_->type(plus == std::string::npos
                    ? std::vector<std::uint32_t> {}
                    : std::vector { key.starts_with("ctrl") ? kCtrl : kAlt },
                key == "Return" ? "\r" : key.substr(plus + 1));
        }
    }
    void type(const std::string &text) override { keyboard_->type({}, text); }
    std::string untypable() const override { return ""; } // the program's own keymap

private:
    static std::string criteria(const std::string &title, const std::string &more)
    {
        return shellQuoted("[title=\"^" + title + "$\" " + more + "]");
    }
    bool swaymsg(const std::string &arguments, const std::string &output = "/dev/null") const
    {
        // swaymsg finds sway's socket through SWAYSOCK, which only sway's children inherit.
        return run({ "sh", "-c",
            "SWAYSOCK=$(ls \"$XDG_RUNTIME_DIR\"/sway-ipc.*.sock) exec swaymsg " + arguments + " >"
                + shellQuoted(output) });
    }

    std::optional<SeatKeyboard> keyboard_;
};

} // namespace

const WaylandDesktop kSway { "Sway", startSession<SwaySession> };

} // namespace quillpost::test
