#pragma once

#include "app/start_up.h"
#include "other_windows.h"
#include "platform/win32/win32_controls.h"

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillpost {

// The main window `Form1` in plain Win32: builds its controls and the menu bar from the menu tree
// and forwards every event to the Application. It holds the other windows.
class MainWindow : public MenuItems, public Desktop
{
public:
    MainWindow();
    ~MainWindow() override;
    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

    Form1 controls() override;
    OtherWindows otherWindows() override { return { viewerHost_, frmAbout_ }; }
    MenuItem &item(std::string_view name) override;
    void attach(Application &app) override;
    void showMainWindow() override;
    int exec() override;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK menuKeyHook(int code, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void buildMenus();
    void command(UINT id);
    bool menuShortcut(const MSG &key);

    Application *app_ = nullptr;
    HWND window_ = nullptr;
    HWND text1_ = nullptr;
    HWND n_ = nullptr;
    HFONT font_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HHOOK menuHook_ = nullptr;
    bool menuOpen_ = false;
    std::vector<ACCEL> shortcuts_;
    std::vector<std::string> commandNames_; // by command id - kFirstCommand
    std::unique_ptr<win32::WindowText> text1Adapter_;
    std::unique_ptr<win32::PacedTimer> timer1_;
    std::unique_ptr<win32::OpenFileDialog> cd_;
    std::unique_ptr<win32::TopWindow> windowAdapter_;
    std::map<std::string, std::unique_ptr<win32::MenuCommand>, std::less<>> items_;
    Win32ViewerHost viewerHost_;
    Win32AboutWindow frmAbout_;
};

} // namespace quillpost
