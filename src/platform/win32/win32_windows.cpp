#include "win32_windows.h"

#include "win32_text.h"

#include <thread>
#include <vector>

namespace quillpost::win32 {
namespace {

struct Candidate
{
    HWND window;
    std::wstring title;
};

BOOL CALLBACK collect(HWND window, LPARAM param)
{
    auto &found = *reinterpret_cast<std::vector<Candidate> *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    const int length = GetWindowTextLengthW(window);
    if (length == 0)
        return TRUE;
    std::wstring title(static_cast<std::size_t>(length) + 1, L'\0');
    title.resize(static_cast<std::size_t>(GetWindowTextW(window, title.data(), length + 1)));
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

} // namespace

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
