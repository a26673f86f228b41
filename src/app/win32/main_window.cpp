#include "main_window.h"

#include "app/menu_tree.h"
#include "layout_controls.h"

#include <stdexcept>

namespace quillpost {
namespace {

constexpr UINT kFirstCommand = 1000;
constexpr int kText1Id = 1;
constexpr int kNId = 2;
constexpr UINT_PTR kTimer1Id = 1;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// "Ctrl+O", "F7": the portable text form of the menu tree's shortcuts.
ACCEL accelerator(std::string_view shortcut, UINT command)
{
    ACCEL a { FVIRTKEY, 0, static_cast<WORD>(command) };
    for (std::size_t plus; (plus = shortcut.find('+')) != std::string_view::npos;) {
        const std::string_view mod = shortcut.substr(0, plus);
        a.fVirt |= mod == "Ctrl" ? FCONTROL : mod == "Shift" ? FSHIFT : mod == "Alt" ? FALT : 0;
        shortcut.remove_prefix(plus + 1);
    }
    if (shortcut.size() == 1)
        a.key = static_cast<WORD>(shortcut[0]);
    else if (shortcut.size() > 1 && shortcut[0] == 'F')
        a.key = static_cast<WORD>(VK_F1 + std::stoi(std::string(shortcut.substr(1))) - 1);
    return a;
}

bool held(int vk)
{
    return (GetKeyState(vk) & 0x8000) != 0;
}

// Keys for a modeless dialog (Tab, Enter, Esc) go to that dialog.
bool dialogMessage(MSG &msg, HWND main)
{
    HWND active = GetActiveWindow();
    return active && active != main && IsDialogMessageW(active, &msg);
}

} // namespace

MainWindow::MainWindow()
{
    WNDCLASSEXW wc {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = win32::programIcon(32);
    wc.hIconSm = win32::programIcon(16);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = win32::kMainWindowClass;
    RegisterClassExW(&wc);

    const layout::MainWindowLayout &l = layout::kMainWindow;
    window_ = CreateWindowExW(0, win32::kMainWindowClass, win32::widen(l.caption).c_str(), kStyle,
        CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, wc.hInstance, this);
    if (!window_)
        throw std::runtime_error("the main window could not be created");
    font_ = win32::createFont(layout::kTextFont);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

    // Created first and parked below the client area: never seen, never focused.
    n_ = win32::addControl(window_, L"BUTTON", BS_PUSHBUTTON | WS_DISABLED, kNId, l.n);
    text1_ = win32::addControl(
        window_, L"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | WS_TABSTOP, kText1Id, l.text1);
    SendMessageW(text1_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

    text1Adapter_ = std::make_unique<win32::WindowText>(text1_);
    timer1_ = std::make_unique<win32::PacedTimer>(window_, kTimer1Id, 1000);
    cd_ = std::make_unique<win32::OpenFileDialog>(window_);
    windowAdapter_ = std::make_unique<win32::TopWindow>(window_);

    buildMenus();
    win32::setClientTwips(window_, l.client);
    menuHook_ = SetWindowsHookExW(WH_MSGFILTER, menuKeyHook, nullptr, GetCurrentThreadId());
}

MainWindow::~MainWindow()
{
    if (menuHook_)
        UnhookWindowsHookEx(menuHook_);
    if (accelerators_)
        DestroyAcceleratorTable(accelerators_);
    if (IsWindow(window_))
        DestroyWindow(window_);
    DeleteObject(font_);
}

void MainWindow::buildMenus()
{
    const auto rows = menuTree();
    HMENU bar = CreateMenu();
    HMENU menus[4] = { bar, nullptr, nullptr, nullptr }; // the open menu at each level
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MenuRow &row = rows[i];
        HMENU parent = menus[row.level - 1];
        if (quillpost::isSeparator(row)) {
            AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        std::wstring caption = win32::widen(row.caption);
        if (opensSubmenu(rows, i)) {
            menus[row.level] = CreatePopupMenu();
            AppendMenuW(
                parent, MF_POPUP, reinterpret_cast<UINT_PTR>(menus[row.level]), caption.c_str());
            continue;
        }
        const UINT id = kFirstCommand + static_cast<UINT>(commandNames_.size());
        commandNames_.emplace_back(row.name);
        if (!row.shortcut.empty()) {
            caption += L"\t" + win32::widen(row.shortcut);
            shortcuts_.push_back(accelerator(row.shortcut, id));
        }
        AppendMenuW(parent,
            MF_STRING | (row.checked ? MF_CHECKED : 0) | (row.enabled ? 0 : MF_GRAYED), id,
            caption.c_str());
        items_.emplace(std::string(row.name),
            std::make_unique<win32::MenuCommand>(
                parent, id, row.level == 1 ? window_ : nullptr, win32::widen(row.shortcut)));
    }
    SetMenu(window_, bar);
    accelerators_ = CreateAcceleratorTableW(shortcuts_.data(), static_cast<int>(shortcuts_.size()));
}

Form1 MainWindow::controls()
{
    return Form1 { *windowAdapter_, *text1Adapter_, *timer1_, *cd_, *this };
}

MenuItem &MainWindow::item(std::string_view name)
{
    return itemNamed(items_, name);
}

void MainWindow::attach(Application &app)
{
    app_ = &app;
    viewerHost_.attach(app);
    frmAbout_.attach(app);
}

void MainWindow::showMainWindow()
{
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    SetForegroundWindow(window_);
    SetFocus(text1_);
}

int MainWindow::exec()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(window_, accelerators_, &msg))
            continue;
        if (dialogMessage(msg, window_))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void MainWindow::command(UINT id)
{
    if (!app_ || id < kFirstCommand || id - kFirstCommand >= commandNames_.size())
        return;
    app_->click(commandNames_[id - kFirstCommand]);
}

// An open menu runs a loop of its own that never sees the accelerator table.
bool MainWindow::menuShortcut(const MSG &key)
{
    if (key.message != WM_KEYDOWN && key.message != WM_SYSKEYDOWN)
        return false;
    for (const ACCEL &a : shortcuts_) {
        if (a.key != key.wParam || held(VK_CONTROL) != ((a.fVirt & FCONTROL) != 0)
            || held(VK_SHIFT) != ((a.fVirt & FSHIFT) != 0)
            || held(VK_MENU) != ((a.fVirt & FALT) != 0))
            continue;
        // Run after the menu has closed, not inside its loop.
        EndMenu();
        PostMessageW(window_, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
        return true;
    }
    return false;
}

LRESULT CALLBACK MainWindow::menuKeyHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_MENU) {
        // A hook has no context of its own: the window is found among this thread's.
        HWND main = win32::ownMainWindow();
        auto *self = main ? reinterpret_cast<MainWindow *>(GetWindowLongPtrW(main, GWLP_USERDATA))
                          : nullptr;
        if (self && self->menuShortcut(*reinterpret_cast<MSG *>(lParam)))
            return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *self
            = static_cast<MainWindow *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<MainWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam)
                : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam != kTimer1Id || !timer1_)
            break;
        // While one of our modal boxes or dialogs is open (they disable this window, their owner)
        // or one of our menus, a line would pull the focus away from it, and what the user types
        // there would go to the client. Those loops still deliver WM_TIMER here.
        if (timer1_->onTimer() && app_ && !menuOpen_ && IsWindowEnabled(window_))
            app_->Timer1_Timer();
        return 0;
    case WM_ENTERMENULOOP:
        menuOpen_ = true;
        return 0;
    case WM_EXITMENULOOP:
        menuOpen_ = false;
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kNId && HIWORD(wParam) == BN_CLICKED) {
            if (app_)
                app_->click("N");
            return 0;
        }
        if (lParam == 0) // a menu item or an accelerator
            command(LOWORD(wParam));
        return 0;
    case WM_SIZE:
        if (app_)
            app_->Form_Resize();
        return 0;
    case WM_CLOSE:
        // The logic decides: it ends the whole program, other windows included, or keeps it going.
        if (app_)
            app_->Form_QueryUnload();
        return 0;
    case WM_DESTROY:
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace quillpost
