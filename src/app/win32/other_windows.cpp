#include "other_windows.h"

#include "app/start_up.h"
#include "layout_controls.h"

namespace quillpost {
namespace {

constexpr int kViewerText = 10;
constexpr int kViewerClose = 11;
constexpr int kSysInfo = 12;

// A modeless dialog with no controls yet: they are placed in twips once it exists.
HWND emptyDialog(DWORD style, DWORD exStyle, DLGPROC proc, void *self)
{
    const win32::DialogTemplate empty(style, L"", 10, 10, exStyle);
    HWND dialog = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), empty.get(), nullptr, proc, reinterpret_cast<LPARAM>(self));
    win32::setProgramIcon(dialog);
    return dialog;
}

template <class Self> Self *owner(HWND dialog, UINT message, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return reinterpret_cast<Self *>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void bringForward(HWND window)
{
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

} // namespace

ViewerDialog::ViewerDialog(Application &app) : app_(app)
{
    const layout::ViewerLayout &l = layout::kViewer;
    // Not a tool window: Wine leaves those to draw their own frame, outside the window manager.
    dialog_ = emptyDialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, proc, this);
    SetWindowTextW(dialog_, win32::widen(l.caption).c_str());
    win32::setClientTwips(dialog_, l.client);
    // Created in this order so Tab goes from the text to the button.
    HWND text = win32::addControl(dialog_, L"EDIT",
        ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN | WS_HSCROLL | WS_VSCROLL
            | WS_BORDER | WS_TABSTOP,
        kViewerText, l.text1);
    win32::addControl(dialog_, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, kViewerClose, l.command1);
    font_ = win32::createFont(layout::kTextFont);
    SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    // An edit control takes 30000 characters unless told otherwise; the viewer takes a megabyte.
    SendMessageW(text, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    text1_ = win32::WindowText(text);
    // Centre it now that it has its size.
    RECT r {};
    GetWindowRect(dialog_, &r);
    SetWindowPos(dialog_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2,
        (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, 0, 0,
        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

ViewerDialog::~ViewerDialog()
{
    if (IsWindow(dialog_))
        DestroyWindow(dialog_);
    DeleteObject(font_);
}

void ViewerDialog::show()
{
    bringForward(dialog_);
}

INT_PTR CALLBACK ViewerDialog::proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *self = owner<ViewerDialog>(dialog, message, lParam);
    if (!self)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        // The dialog manager selects the whole text when it gives the box the focus; a reader
        // wants the top of the file with nothing selected. Posted, so it comes after that.
        if (LOWORD(wParam) == kViewerText && HIWORD(wParam) == EN_SETFOCUS)
            PostMessageW(reinterpret_cast<HWND>(lParam), EM_SETSEL, 0, 0);
        else if (LOWORD(wParam) == kViewerClose)
            self->app_.textviewer_Command1_Click();
        else if (LOWORD(wParam) == IDCANCEL)
            DestroyWindow(dialog);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    }
    return FALSE;
}

ViewerWindow &Win32ViewerHost::textviewer()
{
    if (!viewer_ || !viewer_->alive())
        viewer_ = std::make_unique<ViewerDialog>(attached(app_));
    return *viewer_;
}

Win32AboutWindow::~Win32AboutWindow()
{
    if (IsWindow(dialog_))
        unload();
}

void Win32AboutWindow::load()
{
    const layout::AboutLayout &l = layout::kAbout;
    dialog_ = emptyDialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, proc, this);
    win32::setClientTwips(dialog_, l.client.width, l.client.height, l.origin.left, l.origin.top);
    HWND ok = win32::addControl(dialog_, L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, l.cmdOK);
    win32::addControl(dialog_, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, kSysInfo, l.cmdSysInfo);
    HWND icon = win32::addControl(dialog_, L"STATIC", SS_ICON | SS_CENTERIMAGE, -1, l.picIcon);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(win32::programIcon(32)), 0);

    for (const layout::AboutLabelPlace &place : l.labels) {
        HWND label = win32::addControl(dialog_, L"STATIC", SS_LEFT, -1, L"", place.rect);
        labels_[place.which] = win32::WindowText(label);
        if (place.which != AboutLabel::lblTitle)
            continue;
        LOGFONTW big {};
        GetObjectW(
            reinterpret_cast<HFONT>(SendMessageW(dialog_, WM_GETFONT, 0, 0)), sizeof big, &big);
        big.lfHeight = big.lfHeight * l.titleScale[0] / l.titleScale[1];
        big.lfWeight = FW_BOLD;
        titleFont_ = CreateFontIndirectW(&big);
        SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_), FALSE);
    }
    win32::addControl(dialog_, L"STATIC", SS_ETCHEDHORZ, -1, L"", l.separator);
    SetFocus(ok);
}

void Win32AboutWindow::setCaption(std::string_view caption)
{
    SetWindowTextW(dialog_, win32::widen(caption).c_str());
}

void Win32AboutWindow::show()
{
    bringForward(dialog_);
}

void Win32AboutWindow::unload()
{
    DestroyWindow(dialog_);
    dialog_ = nullptr;
    labels_.clear();
    DeleteObject(titleFont_);
    titleFont_ = nullptr;
}

INT_PTR CALLBACK Win32AboutWindow::proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *self = owner<Win32AboutWindow>(dialog, message, lParam);
    if (!self || message != WM_COMMAND || !self->app_)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL: // Esc and the title bar's close button unload, as OK does
        self->app_->frmAbout_cmdOK_Click();
        return TRUE;
    case kSysInfo:
        self->app_->frmAbout_cmdSysInfo_Click();
        return TRUE;
    }
    return FALSE;
}

} // namespace quillpost
