#include "win32_windows.h"

#include "win32_text.h"

#include <iterator>
#include <thread>
#include <vector>

namespace quillpost::win32 {
namespace {

std::wstring titleOf(HWND window)
{
    std::wstring title(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    title.resize(static_cast<std::size_t>(
        GetWindowTextW(window, title.data(), static_cast<int>(title.size()))));
    return title;
}

bool isOwn(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid == GetCurrentProcessId();
}

struct Candidate
{
    HWND window;
    std::wstring title;
};

BOOL CALLBACK collect(HWND window, LPARAM param)
{
    auto &found = *reinterpret_cast<std::vector<Candidate> *>(param);
    if (isOwn(window) || !IsWindowVisible(window))
        return TRUE;
    std::wstring title = titleOf(window);
    if (!title.empty())
        found.push_back({ window, std::move(title) });
    return TRUE;
}

bool equalIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size()
        && CompareStringOrdinal(
               a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE)
        == CSTR_EQUAL;
}

struct Pick
{
    enum { Waiting, Clicked, Cancelled } state = Waiting;
    POINT at {};
    bool buttonUpSwallowed = false;
};

// A hook procedure has no context of its own; the pick in progress on this thread is its.
thread_local Pick *activePick = nullptr;

LRESULT CALLBACK pickMouse(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && activePick) {
        if (wParam == WM_LBUTTONDOWN && activePick->state == Pick::Waiting) {
            activePick->at = reinterpret_cast<MSLLHOOKSTRUCT *>(lParam)->pt;
            activePick->state = Pick::Clicked;
            return 1; // the click picks the window and does nothing in it
        }
        if (wParam == WM_LBUTTONUP && activePick->state == Pick::Clicked) {
            activePick->buttonUpSwallowed = true;
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK pickKeyboard(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && activePick && wParam == WM_KEYDOWN
        && reinterpret_cast<KBDLLHOOKSTRUCT *>(lParam)->vkCode == VK_ESCAPE) {
        activePick->state = Pick::Cancelled;
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Runs this thread's messages, which is where low-level hooks are called, until `done` or
// `deadline`.
template <class Done> void pumpUntil(Done done, std::chrono::steady_clock::time_point deadline)
{
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

} // namespace

Result<PickedWindow> pickWindow(std::chrono::milliseconds timeout)
{
    Pick pick;
    activePick = &pick;
    HHOOK mouse = SetWindowsHookExW(WH_MOUSE_LL, pickMouse, GetModuleHandleW(nullptr), 0);
    HHOOK keyboard = SetWindowsHookExW(WH_KEYBOARD_LL, pickKeyboard, GetModuleHandleW(nullptr), 0);
    const auto start = std::chrono::steady_clock::now();
    pumpUntil([&] { return pick.state != Pick::Waiting; }, start + timeout);
    if (pick.state == Pick::Clicked) // its button-up must not reach the window either
        pumpUntil([&] { return pick.buttonUpSwallowed; },
            std::chrono::steady_clock::now() + std::chrono::seconds(2));
    UnhookWindowsHookEx(keyboard);
    UnhookWindowsHookEx(mouse);
    activePick = nullptr;
    if (!mouse || !keyboard)
        return Error { ErrorKind::NoWindow, "Windows refused to watch the mouse for a click." };
    if (pick.state != Pick::Clicked)
        return Error { ErrorKind::Cancelled, "No window was chosen." };
    HWND window = GetAncestor(WindowFromPoint(pick.at), GA_ROOT);
    if (!window)
        return Error { ErrorKind::NoWindow, "There is no window where you clicked." };
    return PickedWindow { toId(window), narrow(titleOf(window)), isOwn(window) };
}

Result<WindowId> findWindow(std::string_view title)
{
    const std::wstring wanted = widen(title);
    std::vector<Candidate> windows;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
    for (const Candidate &c : windows)
        if (equalIgnoringCase(c.title, wanted))
            return toId(c.window);
    for (const Candidate &c : windows)
        if (c.title.size() >= wanted.size()
            && equalIgnoringCase(std::wstring_view(c.title).substr(0, wanted.size()), wanted))
            return toId(c.window);
    return Error { ErrorKind::NoWindow, "There is no window titled " + std::string(title) + "." };
}

Result<WindowInfo> describe(WindowId id)
{
    HWND window = toHwnd(id);
    if (!IsWindow(window))
        return Error { ErrorKind::NoWindow, "The client's window has been closed." };
    wchar_t name[256] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return WindowInfo { narrow(titleOf(window)), narrow(name) };
}

Outcome bringToFront(WindowId id)
{
    HWND window = toHwnd(id);
    if (!IsWindow(window))
        return Error { ErrorKind::NoWindow, "The client's window has been closed." };
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    return Ok {};
}

bool inFront(WindowId window)
{
    return GetForegroundWindow() == toHwnd(window);
}

bool waitInFront(
    WindowId window, std::chrono::milliseconds timeout, std::chrono::milliseconds steady)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    auto since = Clock::now();
    for (;;) {
        const auto now = Clock::now();
        if (!inFront(window))
            since = now;
        else if (now - since >= steady)
            return true;
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace quillpost::win32
