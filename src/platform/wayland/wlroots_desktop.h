#pragma once

#include "listed_desktop.h"

#include <memory>
#include <string>

namespace quillpost::wl {

// wlroots desktops (sway, labwc, Hyprland, river, Wayfire) offer any program their window list
// (foreign toplevel management) and virtual keyboards that bring their own keymap. Nothing is read
// in the background: every call first asks the compositor for its news.
class WlrootsDesktop : public ListedDesktop
{
public:
    // Null when no Wayland compositor answers, or it offers no window list or no virtual keyboard;
    // `lacking` then says which, for the user.
    static std::unique_ptr<WlrootsDesktop> connect(std::string *lacking = nullptr);

    // Through a keyboard of the program's own, whose keymap has a key for every character it
    // types: a line arrives as written whatever layout the player uses.
    Outcome type(WindowId window, std::span<const KeyStroke> strokes) override;

private:
    using ListedDesktop::ListedDesktop;
    void requestActivation(const WindowHandle &window) override;
};

} // namespace quillpost::wl
