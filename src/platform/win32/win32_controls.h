#pragma once

#include "platform/controls.h"

#include <windows.h>

#include <chrono>
#include <string>

// Win32 controls behind the interfaces the command logic uses.
namespace quillpost::win32 {

// An EDIT or STATIC control, or any window's text.
class WindowText : public TextBox
{
public:
    explicit WindowText(HWND control = nullptr) : control_(control) { }
    void setText(std::string_view text) override;

private:
    HWND control_;
};

// One command item of a menu; `bar` is the window whose menu bar holds it, redrawn when an item
// on the bar itself changes. The shortcut's text shows after the caption, past a tab.
class MenuCommand : public MenuItem
{
public:
    MenuCommand(HMENU menu, UINT id, HWND bar, std::wstring shortcut)
        : menu_(menu), id_(id), bar_(bar), shortcut_(std::move(shortcut))
    {
    }
    void setCaption(std::string_view caption) override;
    bool checked() const override;
    void setChecked(bool checked) override;
    void setEnabled(bool enabled) override;

private:
    HMENU menu_;
    UINT id_;
    HWND bar_;
    std::wstring shortcut_;
};

// Ticks on a fixed schedule from its start: SetTimer alone wakes up late by up to the system's
// timer grain (10-16 ms) and the delays add up, so each wait is armed for the time left to the
// next due tick, a grain early, and the rest is slept off.
class PacedTimer : public Timer
{
public:
    PacedTimer(HWND window, UINT_PTR id, int milliseconds);
    int interval() const override { return static_cast<int>(interval_.count()); }
    void setInterval(int milliseconds) override; // starts the schedule again from now
    // For WM_TIMER with this timer's id: whether a tick is due now. Re-arms for the next one;
    // ticks missed while the program was busy are dropped, not made up.
    bool onTimer();

private:
    void arm(std::chrono::steady_clock::time_point now);

    HWND window_;
    UINT_PTR id_;
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point next_;
};

class OpenFileDialog : public FileDialog
{
public:
    explicit OpenFileDialog(HWND owner) : owner_(owner) { }
    std::string fileName() const override { return fileName_; }
    void setFileName(std::string_view name) override { fileName_ = name; }
    void setDialogTitle(std::string_view title) override { title_ = title; }
    void showOpen() override;

private:
    HWND owner_;
    std::string fileName_;
    std::string title_ = "Open";
};

// A top-level window's outer size in twips at the system's resolution.
class TopWindow : public Window
{
public:
    explicit TopWindow(HWND window) : window_(window) { }
    int width() const override;
    int height() const override;
    void setWidth(int twips) override;
    void setHeight(int twips) override;
    WindowState windowState() const override;

private:
    RECT rect() const;

    HWND window_;
};

} // namespace quillpost::win32
