#pragma once

#include "native_desktop.h"

#include <memory>
#include <string>

namespace quillpost::wl {

// GNOME Shell tells no other program which window has the keyboard; Quillpost's own Shell
// extension (data/gnome-shell) does, over the session bus, to the Quillpost program alone, and
// types through a virtual keyboard of the Shell's, which knows only the player's layout.
class GnomeDesktop : public NativeDesktop
{
public:
    static constexpr const char *kExtension = "quillpost@quillpost";

    // Null when the extension does not answer on the session bus; `lacking` then says why. When
    // GNOME Shell runs without it, `advice` tells the player how to enable it.
    static std::unique_ptr<GnomeDesktop> connect(
        std::string *lacking = nullptr, std::string *advice = nullptr);
    ~GnomeDesktop() override;

    // The bus is only read while a call waits for its answer.
    int fd() const override { return -1; }
    void readEvents() override { }
    std::vector<Toplevel> windows() override;
    Outcome activate(WindowId window) override;
    // Refuses the whole text, typing nothing, when the layout in effect lacks a character.
    Outcome type(WindowId window, std::span<const KeyStroke> strokes) override;

    struct Bus;

private:
    explicit GnomeDesktop(std::unique_ptr<Bus> bus);
    std::unique_ptr<Bus> bus_;
};

} // namespace quillpost::wl
