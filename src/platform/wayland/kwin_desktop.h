#pragma once

#include "listed_desktop.h"

#include <memory>
#include <string>

namespace quillpost::wl {

// KDE Plasma's KWin offers its window list (org_kde_plasma_window_management) and fake input
// (org_kde_kwin_fake_input) only to a program whose installed .desktop file names them in
// X-KDE-Wayland-Interfaces and starts the very binary that runs. Fake keys are evdev codes that
// KWin reads through the player's own layout, so each character goes through the key and
// modifiers that layout gives it, and a line the layout cannot type is refused whole; Caps Lock,
// which KWin reports through org_kde_kwin_keystate (named in the same file), turns Shift around
// for letters. Nothing is read in the background: every call first asks the compositor for its
// news.
class KwinDesktop : public ListedDesktop
{
public:
    // Null when no Wayland compositor answers, or it offers this program no window list, no fake
    // input or no keyboard map; `lacking` then says which, for the user.
    static std::unique_ptr<KwinDesktop> connect(std::string *lacking = nullptr);

    // Unmappable, naming the characters, when the layout lacks any of the line: nothing is typed.
    Outcome type(WindowId window, std::span<const KeyStroke> strokes) override;

private:
    using ListedDesktop::ListedDesktop;
    void requestActivation(const WindowHandle &window) override;
};

} // namespace quillpost::wl
