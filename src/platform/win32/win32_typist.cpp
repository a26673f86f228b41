#include "win32_typist.h"

#include "win32_layout_keys.h"
#include "win32_windows.h"

#include <algorithm>
#include <string>

namespace quillpost::win32 {
namespace {

constexpr BYTE kModifiers[]
    = { VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU };

INPUT keyEvent(BYTE key, bool up)
{
    INPUT in {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0)
        | (key == VK_RMENU || key == VK_RCONTROL ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

void send(std::vector<INPUT> &events)
{
    if (!events.empty())
        SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
}

// AltGr as a keyboard sends it: left Ctrl, then right Alt. PuTTY takes Ctrl with the left Alt
// for Ctrl+Alt, not AltGr.
void press(std::vector<INPUT> &events, const KeyPress &p, bool capsLock)
{
    std::vector<BYTE> modifiers;
    if (p.shift != (capsLock && p.capsFlips))
        modifiers.push_back(VK_LSHIFT);
    if (p.altGr)
        modifiers.insert(modifiers.end(), { VK_LCONTROL, VK_RMENU });
    for (BYTE m : modifiers)
        events.push_back(keyEvent(m, false));
    INPUT key {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = p.key;
    key.ki.wScan = p.scan;
    events.push_back(key);
    key.ki.dwFlags = KEYEVENTF_KEYUP;
    events.push_back(key);
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
        events.push_back(keyEvent(*m, true));
}

std::vector<INPUT> eventsFor(const KeyStroke &stroke, const LayoutKeys &keys, bool capsLock)
{
    std::vector<INPUT> events;
    if (stroke.isEnter()) {
        events = { keyEvent(VK_RETURN, false), keyEvent(VK_RETURN, true) };
        return events;
    }
    for (const KeyPress &p : keys.keysFor(stroke.character))
        press(events, p, capsLock);
    if (events.empty()) {
        INPUT in {};
        in.type = INPUT_KEYBOARD;
        in.ki.wScan = static_cast<unsigned char>(stroke.character);
        in.ki.dwFlags = KEYEVENTF_UNICODE;
        events.push_back(in);
        in.ki.dwFlags |= KEYEVENTF_KEYUP;
        events.push_back(in);
    }
    return events;
}

// Releases every Shift, Ctrl and Alt that is down. Nothing is pressed back afterwards: the user
// may have let go meanwhile, and a key pressed back then would stay down. An Alt let go with no
// key since it went down opens the client's menu, which would take the keys: a Ctrl tap comes
// first.
void releaseModifiers()
{
    std::vector<INPUT> events;
    for (BYTE m : kModifiers) {
        if (!(GetAsyncKeyState(m) & 0x8000))
            continue;
        if (m == VK_LMENU || m == VK_RMENU)
            events.insert(
                events.end(), { keyEvent(VK_LCONTROL, false), keyEvent(VK_LCONTROL, true) });
        events.push_back(keyEvent(m, true));
    }
    send(events);
}

// Caps Lock as the client's thread sees it: each thread keeps its own key state, and under Wine
// this thread's says off whatever X says.
bool capsLockOf(DWORD thread)
{
    const DWORD self = GetCurrentThreadId();
    const bool attached = thread != self && AttachThreadInput(self, thread, TRUE);
    const bool on = GetKeyState(VK_CAPITAL) & 1;
    if (attached)
        AttachThreadInput(self, thread, FALSE);
    return on;
}

} // namespace

Typist::Typist() = default;
Typist::~Typist() = default;

const LayoutKeys &Typist::keysOf(HKL layout)
{
    const auto known = std::find_if(layouts_.begin(), layouts_.end(),
        [&](const auto &keys) { return keys->layout() == layout; });
    if (known != layouts_.end())
        return **known;
    return *layouts_.emplace_back(std::make_unique<LayoutKeys>(layout));
}

Outcome Typist::type(WindowId target, std::span<const KeyStroke> strokes)
{
    const DWORD thread = GetWindowThreadProcessId(toHwnd(target), nullptr);
    const LayoutKeys &keys = keysOf(GetKeyboardLayout(thread));
    const bool capsLock = capsLockOf(thread);
    std::vector<std::vector<INPUT>> events;
    events.reserve(strokes.size());
    for (const KeyStroke &stroke : strokes)
        events.push_back(eventsFor(stroke, keys, capsLock));

    releaseModifiers();
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (!inFront(target))
            return Error { ErrorKind::FocusLost, "Another window took the front from the client.",
                i };
        const UINT sent
            = SendInput(static_cast<UINT>(events[i].size()), events[i].data(), sizeof(INPUT));
        if (sent != events[i].size()) {
            const DWORD error = GetLastError();
            releaseModifiers(); // a part of the stroke may have gone in
            return Error { ErrorKind::Typing,
                "Windows refused the keys (error " + std::to_string(error) + ").", i };
        }
    }
    return Ok {};
}

} // namespace quillpost::win32
