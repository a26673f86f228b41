#pragma once

#include "app/window_layout.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_ui.h"

#include <windows.h>

// The layout table's controls and fonts as Win32 windows and fonts.
namespace quillpost::win32 {

inline HWND addControl(HWND parent, const wchar_t *controlClass, DWORD style, int id,
    std::wstring_view text, const layout::Rect &r)
{
    return addControl(parent, controlClass, style, id, text, r.left, r.top, r.width, r.height);
}

inline HWND addControl(
    HWND parent, const wchar_t *controlClass, DWORD style, int id, const layout::Control &control)
{
    return addControl(parent, controlClass, style, id, widen(control.caption), control.rect);
}

inline void setClientTwips(HWND window, layout::Size size)
{
    setClientTwips(window, size.width, size.height);
}

inline HFONT createFont(const layout::Font &font)
{
    return createFont(widen(font.face), font.hundredthsOfPoint);
}

} // namespace quillpost::win32
