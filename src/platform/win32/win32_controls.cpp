#include "win32_controls.h"

#include "win32_text.h"

#include <commdlg.h>

#include <vector>

namespace quillpost::win32 {

void WindowText::setText(std::string_view text)
{
    SetWindowTextW(control_, widen(text).c_str());
}

void MenuCommand::setCaption(std::string_view caption)
{
    std::wstring text = widen(caption);
    if (!shortcut_.empty())
        text += L"\t" + shortcut_;
    MENUITEMINFOW info {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text.data();
    SetMenuItemInfoW(menu_, id_, FALSE, &info);
    if (bar_)
        DrawMenuBar(bar_);
}

bool MenuCommand::checked() const
{
    return (GetMenuState(menu_, id_, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void MenuCommand::setChecked(bool checked)
{
    CheckMenuItem(menu_, id_, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void MenuCommand::setEnabled(bool enabled)
{
    EnableMenuItem(menu_, id_, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    if (bar_)
        DrawMenuBar(bar_);
}

PacedTimer::PacedTimer(HWND window, UINT_PTR id, int milliseconds)
    : window_(window), id_(id), interval_(0)
{
    setInterval(milliseconds);
}

void PacedTimer::setInterval(int milliseconds)
{
    interval_ = std::chrono::milliseconds(milliseconds);
    const auto now = std::chrono::steady_clock::now();
    next_ = now + interval_;
    if (interval_.count() > 0)
        arm(now);
    else
        KillTimer(window_, id_);
}

namespace {

// How much earlier than a tick the timer is armed: SetTimer wakes up to a grain (10-16 ms on
// Windows) late, and the last stretch is slept off in steps of a millisecond instead.
constexpr std::chrono::milliseconds kArmEarly { 16 };

} // namespace

bool PacedTimer::onTimer()
{
    using namespace std::chrono;
    if (interval_.count() <= 0) {
        KillTimer(window_, id_);
        return false;
    }
    auto now = steady_clock::now();
    if (next_ - now > kArmEarly) {
        arm(now);
        return false;
    }
    while (now < next_) {
        Sleep(1);
        now = steady_clock::now();
    }
    while (next_ <= now)
        next_ += interval_;
    arm(now);
    return true;
}

void PacedTimer::arm(std::chrono::steady_clock::time_point now)
{
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(next_ - now - kArmEarly).count();
    SetTimer(
        window_, id_, static_cast<UINT>(std::max<long long>(left, USER_TIMER_MINIMUM)), nullptr);
}

void OpenFileDialog::showOpen()
{
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring start = widen(fileName_);
    std::copy(start.begin(), start.end(), file.begin());
    const std::wstring title = widen(title_);
    OPENFILENAMEW ofn {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner_;
    ofn.lpstrFilter = L"All Files (*.*)\0*.*\0Text Files (*.txt)\0*.txt\0";
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = title.c_str();
    ofn.Flags
        = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    fileName_.clear();
    if (GetOpenFileNameW(&ofn))
        fileName_ = narrow(file.data());
}

RECT TopWindow::rect() const
{
    RECT r {};
    GetWindowRect(window_, &r);
    return r;
}

int TopWindow::width() const
{
    const RECT r = rect();
    return pixelsToTwips(r.right - r.left, systemDpi());
}

int TopWindow::height() const
{
    const RECT r = rect();
    return pixelsToTwips(r.bottom - r.top, systemDpi());
}

void TopWindow::setWidth(int twips)
{
    const RECT r = rect();
    const int px = twipsToPixels(twips, systemDpi());
    if (px != r.right - r.left)
        SetWindowPos(window_, nullptr, 0, 0, px, r.bottom - r.top,
            SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TopWindow::setHeight(int twips)
{
    const RECT r = rect();
    const int px = twipsToPixels(twips, systemDpi());
    if (px != r.bottom - r.top)
        SetWindowPos(window_, nullptr, 0, 0, r.right - r.left, px,
            SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

WindowState TopWindow::windowState() const
{
    if (IsIconic(window_))
        return WindowState::Minimized;
    if (IsZoomed(window_))
        return WindowState::Maximized;
    return WindowState::Normal;
}

} // namespace quillpost::win32
