#include "other_windows.h"

#include "platform/win32/win32_text.h"
#include "platform/win32/win32_ui.h"

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

ViewerDialog::ViewerDialog(Application *&app) : app_(app)
{
    // Not a tool window: Wine leaves those to draw their own frame, outside the window manager.
    dialog_ = emptyDialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, proc, this);
    SetWindowTextW(dialog_, L"Text Viewer");
    win32::setClientTwips(dialog_, 6360, 4785);
    // Created in this order so Tab goes from the text to the button.
    HWND text = win32::addControl(dialog_, L"EDIT",
        ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN | WS_HSCROLL | WS_VSCROLL
            | WS_BORDER | WS_TABSTOP,
        kViewerText, L"", 0, 0, 6375, 4095);
    win32::addControl(dialog_, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, kViewerClose, L"Close", 2280,
        4200, 1815, 495);
    font_ = win32::verdanaFont(825);
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
        else if (LOWORD(wParam) == kViewerClose && self->app_)
            self->app_->textviewer_Command1_Click();
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
        viewer_ = std::make_unique<ViewerDialog>(app_);
    return *viewer_;
}

Win32AboutWindow::~Win32AboutWindow()
{
    if (IsWindow(dialog_))
        unload();
}

void Win32AboutWindow::load()
{
    dialog_ = emptyDialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, proc, this);
    win32::setClientTwips(dialog_, 5730, 3555, 2340, 1935);
    HWND ok = win32::addControl(
        dialog_, L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, L"OK", 4245, 2625, 1260, 345);
    win32::addControl(dialog_, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, kSysInfo, L"&System Info...",
        4260, 3075, 1245, 345);
    HWND icon = win32::addControl(
        dialog_, L"STATIC", SS_ICON | SS_CENTERIMAGE, -1, L"", 240, 240, 540, 540);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(win32::programIcon(32)), 0);

    auto label = [&](AboutLabel which, int left, int top, int width, int height) {
        HWND l = win32::addControl(dialog_, L"STATIC", SS_LEFT, -1, L"", left, top, width, height);
        labels_[which] = win32::WindowText(l);
        return l;
    };
    HWND title = label(AboutLabel::lblTitle, 1050, 240, 3885, 480);
    LOGFONTW big {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog_, WM_GETFONT, 0, 0)), sizeof big, &big);
    big.lfHeight = big.lfHeight * 3 / 2;
    big.lfWeight = FW_BOLD;
    titleFont_ = CreateFontIndirectW(&big);
    SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_), FALSE);
    label(AboutLabel::lblVersion, 1050, 780, 3885, 225);
    label(AboutLabel::lblDescription, 1050, 1125, 3885, 1170);
    label(AboutLabel::lblDisclaimer, 255, 2625, 3870, 825);
    win32::addControl(dialog_, L"STATIC", SS_ETCHEDHORZ, -1, L"", 90, 2445, 5654 - 90, 30);
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
