#include "win32_ui.h"

#include "win32_resources.h"
#include "win32_text.h"

namespace quillpost::win32 {

HWND ownMainWindow()
{
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (std::wstring_view(name) != kMainWindowClass)
                return TRUE;
            *reinterpret_cast<HWND *>(param) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

DialogTemplate::DialogTemplate(
    DWORD style, std::wstring_view title, short width, short height, DWORD exStyle)
{
    style |= DS_SETFONT;
    words_ = { LOWORD(style), HIWORD(style), LOWORD(exStyle), HIWORD(exStyle), 0, 0, 0,
        static_cast<WORD>(width), static_cast<WORD>(height), 0, 0 }; // no menu, the dialog class
    text(title);
    words_.push_back(8);
    text(L"MS Shell Dlg");
}

void DialogTemplate::text(std::wstring_view text)
{
    words_.insert(words_.end(), text.begin(), text.end());
    words_.push_back(0);
}

void DialogTemplate::align()
{
    if (words_.size() % 2 != 0)
        words_.push_back(0);
}

void DialogTemplate::add(WORD controlClass, DWORD style, int id, std::wstring_view text, short x,
    short y, short width, short height)
{
    align();
    style |= WS_CHILD | WS_VISIBLE;
    words_.insert(words_.end(),
        { LOWORD(style), HIWORD(style), 0, 0, static_cast<WORD>(x), static_cast<WORD>(y),
            static_cast<WORD>(width), static_cast<WORD>(height), static_cast<WORD>(id), 0xFFFF,
            controlClass });
    this->text(text);
    words_.push_back(0); // no creation data
    ++words_[4]; // the item count
}

HWND addControl(HWND parent, const wchar_t *controlClass, DWORD style, int id,
    std::wstring_view text, int left, int top, int width, int height)
{
    const int dpi = systemDpi();
    const std::wstring caption(text);
    HWND control = CreateWindowExW(0, controlClass, caption.c_str(), style | WS_CHILD | WS_VISIBLE,
        twipsToPixels(left, dpi), twipsToPixels(top, dpi), twipsToPixels(width, dpi),
        twipsToPixels(height, dpi), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, SendMessageW(parent, WM_GETFONT, 0, 0), FALSE);
    return control;
}

void setClientTwips(HWND window, int width, int height, int left, int top)
{
    const int dpi = systemDpi();
    RECT r { 0, 0, twipsToPixels(width, dpi), twipsToPixels(height, dpi) };
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)),
        GetMenu(window) != nullptr, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (left < 0)
        flags |= SWP_NOMOVE;
    // r.left and r.top are the frame's size, negative.
    SetWindowPos(window, nullptr, left < 0 ? 0 : twipsToPixels(left, dpi) + r.left,
        top < 0 ? 0 : twipsToPixels(top, dpi) + r.top, r.right - r.left, r.bottom - r.top, flags);
}

HFONT createFont(const std::wstring &face, int hundredthsOfPoint)
{
    return CreateFontW(-MulDiv(hundredthsOfPoint, systemDpi(), 7200), 0, 0, 0, FW_NORMAL, FALSE,
        FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        DEFAULT_PITCH | FF_SWISS, face.c_str());
}

HICON programIcon(int size)
{
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
        MAKEINTRESOURCEW(QUILLPOST_ICON), IMAGE_ICON, size, size, LR_SHARED));
}

void setProgramIcon(HWND window)
{
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon(32)));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(programIcon(16)));
}

} // namespace quillpost::win32
