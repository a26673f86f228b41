#include "win32_typist.h"

#include "win32_windows.h"

#include <windows.h>

#include <array>
#include <string>

namespace quillpost::win32 {
namespace {

INPUT event(const KeyStroke &stroke, bool up)
{
    INPUT in {};
    in.type = INPUT_KEYBOARD;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (stroke.isEnter()) {
        in.ki.wVk = VK_RETURN;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC));
    } else {
        in.ki.wScan = static_cast<unsigned char>(stroke.character);
        in.ki.dwFlags |= KEYEVENTF_UNICODE;
    }
    return in;
}

} // namespace

Outcome typeStrokes(WindowId target, std::span<const KeyStroke> strokes)
{
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        if (!inFront(target))
            return Error { ErrorKind::FocusLost, "Another window took the front from the client.",
                i };
        std::array<INPUT, 2> events { event(strokes[i], false), event(strokes[i], true) };
        const UINT sent = SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
        if (sent != events.size())
            return Error { ErrorKind::Typing,
                "Windows refused the keys (error " + std::to_string(GetLastError()) + ").", i };
    }
    return Ok {};
}

} // namespace quillpost::win32
