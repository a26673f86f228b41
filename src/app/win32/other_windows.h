#pragma once

#include "app/application.h"
#include "platform/win32/win32_controls.h"
#include "windows/about_box.h"
#include "windows/text_viewer.h"

#include <windows.h>

#include <map>

namespace quillpost {

// The `textviewer` window: a fixed tool window with a scrolling, unwrapped text and a Close
// button. Its close button destroys it; the host makes a new one on next use.
class ViewerDialog : public ViewerWindow
{
public:
    explicit ViewerDialog(Application &app);
    ~ViewerDialog() override;
    TextBox &text1() override { return text1_; }
    void show() override;
    void hide() override { ShowWindow(dialog_, SW_HIDE); }
    bool alive() const { return IsWindow(dialog_); }

private:
    static INT_PTR CALLBACK proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    Application &app_;
    HWND dialog_ = nullptr;
    HFONT font_ = nullptr;
    win32::WindowText text1_;
};

class Win32ViewerHost : public ViewerHost
{
public:
    void attach(Application &app) { app_ = &app; }
    ViewerWindow &textviewer() override;

private:
    Application *app_ = nullptr;
    std::unique_ptr<ViewerDialog> viewer_;
};

// `frmAbout`: loading creates the dialog and its controls, unloading destroys them.
class Win32AboutWindow : public AboutWindow
{
public:
    Win32AboutWindow() = default;
    Win32AboutWindow(const Win32AboutWindow &) = delete;
    Win32AboutWindow &operator=(const Win32AboutWindow &) = delete;
    ~Win32AboutWindow() override;
    void attach(Application &app) { app_ = &app; }
    bool isLoaded() const override { return IsWindow(dialog_); }
    void load() override;
    void setCaption(std::string_view caption) override;
    TextBox &label(AboutLabel which) override { return labels_.at(which); }
    void show() override;
    void unload() override;

private:
    static INT_PTR CALLBACK proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    Application *app_ = nullptr;
    HWND dialog_ = nullptr;
    HFONT titleFont_ = nullptr;
    std::map<AboutLabel, win32::WindowText> labels_;
};

} // namespace quillpost
