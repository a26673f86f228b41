#include "xtest_floor.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace quillpost::bench {

namespace {

std::optional<std::pair<unsigned, bool>> lookUp(Display *display, KeySym keysym)
{
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    if (keycode == 0)
        return std::nullopt;
    for (int level = 0; level < 2; ++level) {
        if (XkbKeycodeToKeysym(display, keycode, 0, level) == keysym)
            return std::pair { static_cast<unsigned>(keycode), level == 1 };
    }
    return std::nullopt;
}

} // namespace

std::optional<XTestFloor> XTestFloor::forLine(Display *display, std::string_view line)
{
    XTestFloor floor;
    floor.shift_ = XKeysymToKeycode(display, XK_Shift_L);
    // Printable ASCII characters are their own keysyms.
    for (const char c : line) {
        const auto key = lookUp(display, static_cast<KeySym>(static_cast<unsigned char>(c)));
        if (!key)
            return std::nullopt;
        floor.keys_.push_back({ key->first, key->second });
    }
    const auto enter = lookUp(display, XK_Return);
    if (!enter || floor.shift_ == 0)
        return std::nullopt;
    floor.keys_.push_back({ enter->first, false });
    return floor;
}

void XTestFloor::type(Display *display) const
{
    for (const Key &key : keys_) {
        if (key.shift)
            XTestFakeKeyEvent(display, shift_, True, CurrentTime);
        XTestFakeKeyEvent(display, key.keycode, True, CurrentTime);
        XTestFakeKeyEvent(display, key.keycode, False, CurrentTime);
        if (key.shift)
            XTestFakeKeyEvent(display, shift_, False, CurrentTime);
    }
    XSync(display, False);
}

} // namespace quillpost::bench
