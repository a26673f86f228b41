#include "kde_layouts.h"

#include <systemd/sd-bus.h>

#include <string>

namespace quillpost::wl {

struct KdeLayouts::Bus
{
    sd_bus *bus = nullptr;
    ~Bus() { sd_bus_flush_close_unref(bus); }
};

KdeLayouts::KdeLayouts() : bus_(std::make_unique<Bus>()) { }

KdeLayouts::~KdeLayouts() = default;

Result<std::uint32_t> KdeLayouts::inEffect()
{
    if (!bus_->bus && sd_bus_open_user(&bus_->bus) < 0)
        bus_->bus = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message *reply = nullptr;
    std::uint32_t index = 0;
    const bool answered = bus_->bus
        && sd_bus_call_method(bus_->bus, "org.kde.keyboard", "/Layouts", "org.kde.KeyboardLayouts",
               "getLayout", &error, &reply, "")
            >= 0
        && sd_bus_message_read(reply, "u", &index) >= 0;
    const std::string why = error.message ? error.message : "no session bus answers";
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    if (answered)
        return index;
    return Error { ErrorKind::Typing,
        "KDE did not say which of your keyboard layouts is in use (" + why
            + "), so Quillpost cannot tell which keys type the line.",
        0 };
}

} // namespace quillpost::wl
