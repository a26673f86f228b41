#include "gnome_desktop.h"

#include "gnome_layout.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <optional>

namespace quillpost::wl {
namespace {

using namespace std::chrono_literals;

constexpr const char *kName = "org.quillpost.Shell";
constexpr const char *kPath = "/org/quillpost/Shell";
constexpr const char *kInterface = "org.quillpost.Shell1";

// The Shell sends a key once the one before has reached the window, which takes milliseconds when
// it is busy; a long line must not run out of time on the way.
constexpr std::uint64_t kCallMicroseconds = 25'000'000;
constexpr std::uint64_t kKeyMicroseconds = 20'000;

const Error kClosed { ErrorKind::NoWindow, "The window to type into is no longer open." };

std::uint64_t shellIdOf(WindowId window)
{
    return window.value & ~NativeDesktop::idFor(0).value;
}

// Frees what a call handed back, on every path.
struct Call
{
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message *reply = nullptr;
    int status = 0;

    Call() = default;
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;
    ~Call()
    {
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
    }
    bool ok() const { return status >= 0; }
    std::string why() const
    {
        return error.message ? std::string(error.message) : "the session bus did not answer";
    }
};

} // namespace

struct GnomeDesktop::Bus
{
    sd_bus *bus = nullptr;
    // The layout keys were last checked against; the Shell says when it is no longer in effect.
    std::optional<GnomeLayout> layout;
    ~Bus() { sd_bus_flush_close_unref(bus); }

    template <class... Args>
    void call(Call &c, const char *method, std::uint64_t timeout, const char *types, Args... args)
    {
        sd_bus_message *message = nullptr;
        c.status = sd_bus_message_new_method_call(bus, &message, kName, kPath, kInterface, method);
        if (c.status >= 0 && types)
            c.status = sd_bus_message_append(message, types, args...);
        if (c.status >= 0)
            c.status = sd_bus_call(bus, message, timeout, &c.error, &c.reply);
        sd_bus_message_unref(message);
    }

    bool hasOwner(const char *name)
    {
        Call c;
        c.status = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus", "NameHasOwner", &c.error, &c.reply, "s", name);
        int owned = 0;
        return c.ok() && sd_bus_message_read(c.reply, "b", &owned) >= 0 && owned;
    }
};

GnomeDesktop::GnomeDesktop(std::unique_ptr<Bus> bus) : bus_(std::move(bus)) { }

GnomeDesktop::~GnomeDesktop() = default;

std::unique_ptr<GnomeDesktop> GnomeDesktop::connect(std::string *lacking, std::string *advice)
{
    const auto missing = [&](std::string what) -> std::unique_ptr<GnomeDesktop> {
        if (lacking)
            *lacking = std::move(what);
        return nullptr;
    };
    auto bus = std::make_unique<Bus>();
    if (sd_bus_open_user(&bus->bus) < 0)
        return missing("no session bus answers");
    if (!bus->hasOwner(kName)) {
        if (!bus->hasOwner("org.gnome.Shell"))
            return missing("GNOME Shell is not running");
        if (advice)
            *advice = std::string("Quillpost reaches the windows of GNOME's own programs only "
                                  "through its GNOME Shell extension, which is not enabled. "
                                  "Enable it with this command, then try again:\n"
                                  "gnome-extensions enable ")
                + kExtension
                + "\nIf GNOME answers that there is no such extension, log out and back in "
                  "first: GNOME Shell finds new extensions when the session starts.";
        return missing("Quillpost's GNOME Shell extension is not enabled");
    }
    Call c;
    bus->call(c, "Windows", kCallMicroseconds, nullptr);
    if (!c.ok())
        return missing("Quillpost's GNOME Shell extension refused: " + c.why());
    return std::unique_ptr<GnomeDesktop>(new GnomeDesktop(std::move(bus)));
}

std::vector<Toplevel> GnomeDesktop::windows()
{
    std::vector<Toplevel> open;
    Call c;
    bus_->call(c, "Windows", kCallMicroseconds, nullptr);
    if (!c.ok() || sd_bus_message_enter_container(c.reply, 'a', "(tssb)") < 0)
        return open;
    std::uint64_t id = 0;
    const char *title = nullptr;
    const char *app = nullptr;
    int focused = 0;
    while (sd_bus_message_read(c.reply, "(tssb)", &id, &title, &app, &focused) > 0)
        open.push_back(Toplevel { idFor(id), title, app, focused != 0 });
    return open;
}

Outcome GnomeDesktop::activate(WindowId window)
{
    Call c;
    bus_->call(c, "Activate", kCallMicroseconds, "t", shellIdOf(window));
    int found = 0;
    if (!c.ok() || sd_bus_message_read(c.reply, "b", &found) < 0)
        return Error { ErrorKind::NoWindow,
            "GNOME Shell did not bring the window to the front: " + c.why() + "." };
    if (!found)
        return kClosed;
    return Ok {};
}

Outcome GnomeDesktop::type(WindowId window, std::span<const KeyStroke> strokes)
{
    std::vector<std::uint32_t> keysyms(strokes.size());
    std::transform(strokes.begin(), strokes.end(), keysyms.begin(), keysymOf);
    std::uint32_t typed = 0;
    for (bool again = true;; again = false) {
        if (!bus_->layout) {
            Call c;
            bus_->call(c, "Layout", kCallMicroseconds, nullptr);
            const char *layouts = nullptr;
            const char *variants = nullptr;
            const char *options = nullptr;
            std::uint32_t group = 0;
            if (!c.ok()
                || sd_bus_message_read(c.reply, "sssu", &layouts, &variants, &options, &group) < 0)
                return Error { ErrorKind::Typing,
                    "GNOME Shell did not say which keyboard layout is in use: " + c.why() + ".",
                    0 };
            bus_->layout = GnomeLayout { layouts, variants, options, group };
        }
        const GnomeLayout &layout = *bus_->layout;
        if (auto typable = checkLayout(layout, strokes); !typable)
            return typable;
        sd_bus_message *message = nullptr;
        Call c;
        c.status
            = sd_bus_message_new_method_call(bus_->bus, &message, kName, kPath, kInterface, "Type");
        if (c.status >= 0)
            c.status = sd_bus_message_append(message, "t(sssu)", shellIdOf(window),
                layout.layouts.c_str(), layout.variants.c_str(), layout.options.c_str(),
                layout.group);
        if (c.status >= 0)
            c.status = sd_bus_message_append_array(
                message, 'u', keysyms.data(), keysyms.size() * sizeof(std::uint32_t));
        if (c.status >= 0)
            c.status = sd_bus_call(bus_->bus, message,
                kCallMicroseconds + kKeyMicroseconds * keysyms.size(), &c.error, &c.reply);
        sd_bus_message_unref(message);
        // The player switched layouts since the last line: check against the new one.
        if (again && sd_bus_error_has_name(&c.error, "org.quillpost.Shell.LayoutChanged")) {
            bus_->layout.reset();
            continue;
        }
        if (!c.ok() || sd_bus_message_read(c.reply, "u", &typed) < 0)
            return Error { ErrorKind::Typing, "GNOME Shell did not type the keys: " + c.why() + ".",
                0 };
        break;
    }
    if (typed == strokes.size())
        return Ok {};
    // The Shell stopped where the window lost the keyboard; say to whom.
    auto focus = waitForActivated(window, 0ms);
    Error error = focus
        ? Error { ErrorKind::FocusLost, "The window to type into lost the keyboard focus." }
        : focus.error();
    error.position = typed;
    return error;
}

} // namespace quillpost::wl
