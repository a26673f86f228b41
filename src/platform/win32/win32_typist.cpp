#include "win32_typist.h"

#include "win32_windows.h"

#include <array>
#include <thread>

namespace quillpost::win32 {
namespace {

struct NamedVk
{
    NamedKey key;
    WORD vk;
    bool extended; // the grey keys, distinct from the keypad's
};

constexpr std::array kNamedVks = {
    NamedVk { NamedKey::Enter, VK_RETURN, false },
    NamedVk { NamedKey::Tab, VK_TAB, false },
    NamedVk { NamedKey::Backspace, VK_BACK, false },
    NamedVk { NamedKey::Delete, VK_DELETE, true },
    NamedVk { NamedKey::Escape, VK_ESCAPE, false },
    NamedVk { NamedKey::Insert, VK_INSERT, true },
    NamedVk { NamedKey::Home, VK_HOME, true },
    NamedVk { NamedKey::End, VK_END, true },
    NamedVk { NamedKey::PageUp, VK_PRIOR, true },
    NamedVk { NamedKey::PageDown, VK_NEXT, true },
    NamedVk { NamedKey::Left, VK_LEFT, true },
    NamedVk { NamedKey::Right, VK_RIGHT, true },
    NamedVk { NamedKey::Up, VK_UP, true },
    NamedVk { NamedKey::Down, VK_DOWN, true },
    NamedVk { NamedKey::CapsLock, VK_CAPITAL, false },
    NamedVk { NamedKey::NumLock, VK_NUMLOCK, true },
    NamedVk { NamedKey::ScrollLock, VK_SCROLL, false },
    NamedVk { NamedKey::Break, VK_CANCEL, true },
    NamedVk { NamedKey::PrintScreen, VK_SNAPSHOT, true },
    NamedVk { NamedKey::Help, VK_HELP, false },
    NamedVk { NamedKey::Add, VK_ADD, false },
    NamedVk { NamedKey::Subtract, VK_SUBTRACT, false },
    NamedVk { NamedKey::Multiply, VK_MULTIPLY, false },
    NamedVk { NamedKey::Divide, VK_DIVIDE, true },
};

INPUT key(WORD vk, bool up, bool extended = false)
{
    INPUT in {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

INPUT unicode(wchar_t c, bool up)
{
    INPUT in {};
    in.type = INPUT_KEYBOARD;
    in.ki.wScan = c;
    in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return in;
}

// Modifiers down, the key down and up, modifiers up in reverse.
std::vector<INPUT> held(std::uint8_t modifiers, WORD vk, bool extended)
{
    std::vector<WORD> mods;
    if (modifiers & kShift)
        mods.push_back(VK_SHIFT);
    if (modifiers & kCtrl)
        mods.push_back(VK_CONTROL);
    if (modifiers & kAlt)
        mods.push_back(VK_MENU);
    std::vector<INPUT> events;
    for (WORD m : mods)
        events.push_back(key(m, false));
    events.push_back(key(vk, false, extended));
    events.push_back(key(vk, true, extended));
    for (auto m = mods.rbegin(); m != mods.rend(); ++m)
        events.push_back(key(*m, true));
    return events;
}

} // namespace

Result<std::vector<INPUT>> strokeEvents(const KeyStroke &stroke)
{
    if (!stroke.isCharacter()) {
        for (const NamedVk &n : kNamedVks)
            if (n.key == stroke.named)
                return held(stroke.modifiers, n.vk, n.extended);
        const int f = static_cast<int>(stroke.named) - static_cast<int>(NamedKey::F1);
        return held(stroke.modifiers, static_cast<WORD>(VK_F1 + f), false);
    }
    const auto c = static_cast<wchar_t>(static_cast<unsigned char>(stroke.character));
    if (stroke.modifiers == 0)
        return std::vector<INPUT> { unicode(c, false), unicode(c, true) };
    // A shortcut is a key, not a character: the layout says which key and whether it needs Shift.
    const SHORT scan = VkKeyScanW(c);
    if (scan == -1)
        return Error { ErrorKind::Unmappable,
            std::string("The keyboard layout has no key for '") + stroke.character
                + "' to press with Ctrl or Alt." };
    const auto shift = static_cast<std::uint8_t>((scan & 0x100) ? kShift : 0);
    return held(
        static_cast<std::uint8_t>(stroke.modifiers | shift), static_cast<WORD>(scan & 0xFF), false);
}

std::optional<TypingStop> typeStrokes(WindowId target, std::span<const KeyStroke> strokes)
{
    std::vector<std::vector<INPUT>> planned;
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        auto events = strokeEvents(strokes[i]);
        if (!events)
            return TypingStop { events.error(), i };
        planned.push_back(std::move(events.value()));
    }
    for (std::size_t i = 0; i < planned.size(); ++i) {
        if (!inFront(target))
            return TypingStop {
                Error { ErrorKind::FocusLost, "Another window took the front from the client." }, i
            };
        auto &events = planned[i];
        const UINT sent = SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
        if (sent != events.size())
            return TypingStop { Error { ErrorKind::Typing,
                                    "Windows refused the keys (error "
                                        + std::to_string(GetLastError()) + ")." },
                i };
    }
    return std::nullopt;
}

} // namespace quillpost::win32
