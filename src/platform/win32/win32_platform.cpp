#include "win32_platform.h"

#include "win32_boxes.h"
#include "win32_text.h"
#include "win32_ui.h"
#include "win32_windows.h"

#include <quillpost_version.h>

#include <shellapi.h>

#include <algorithm>
#include <thread>

namespace quillpost::win32 {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kTitle = "Quillpost";
// How long a line waits for the client to take the front before it is held back, and how long
// the client must have kept it: under Wine a window manager's late focus change can still take
// the front back right after it was given, and keys sent before that are lost.
constexpr auto kFocusWait = 1000ms;
constexpr auto kSteadyFront = 150ms;

// Keys not yet read by the client are lost when another window takes the front, and Windows
// offers no sign that a thread has read its input (WaitForInputIdle is about start-up). So the
// client keeps the front for a pause that grows with the line: Wine hands a GUI client about a
// key in 0.2 ms, an edit control takes 5-8 ms to draw one.
void letClientRead(std::size_t strokes)
{
    std::this_thread::sleep_for(30ms + 2ms * strokes);
}

Error launchError(std::string_view what, HINSTANCE result)
{
    return Error { ErrorKind::Launch,
        "Windows could not start " + std::string(what) + " (error "
            + std::to_string(reinterpret_cast<INT_PTR>(result)) + ")." };
}

} // namespace

Result<WindowId> Win32Platform::appActivate(std::string_view title)
{
    auto window = findWindow(title);
    if (!window)
        return window.error();
    if (auto shown = bringToFront(window.value()); !shown)
        return shown.error();
    return window.value();
}

Result<WindowId> Win32Platform::findWindow(std::string_view title)
{
    return win32::findWindow(title);
}

Result<WindowInfo> Win32Platform::describeWindow(WindowId window)
{
    return describe(window);
}

Outcome Win32Platform::activate(WindowId window)
{
    return bringToFront(window);
}

Result<PickedWindow> Win32Platform::pickWindow()
{
    return win32::pickWindow(std::chrono::minutes(1));
}

void Win32Platform::activateOwnWindow()
{
    HWND main = ownMainWindow();
    if (!main)
        return;
    if (IsIconic(main))
        ShowWindow(main, SW_RESTORE);
    // Raised first: Wine asks the window manager for the focus of a window on top, and a window
    // manager may refuse it to one in the background.
    SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(main);
    SetActiveWindow(main);
}

Outcome Win32Platform::sendKeys(WindowId target, std::span<const KeyStroke> strokes)
{
    if (auto checked = checkStrokes(strokes); !checked)
        return checked;
    if (!IsWindow(toHwnd(target)))
        return Error { ErrorKind::NoWindow, "The client's window has been closed." };
    if (!waitInFront(target, kFocusWait, kSteadyFront))
        return Error { ErrorKind::FocusLost, "The client did not come to the front.", 0 };
    auto typed = typist_.type(target, strokes);
    // Even a line stopped part way leaves keys in the client's queue.
    letClientRead(typed ? strokes.size() : typed.error().position);
    return typed;
}

bool Win32Platform::msgBox(std::string_view prompt, MsgStyle style)
{
    return MessageBoxW(ownMainWindow(), widen(prompt).c_str(), widen(kTitle).c_str(),
               MB_OK | (style == MsgStyle::Exclamation ? MB_ICONEXCLAMATION : 0))
        != 0;
}

int Win32Platform::choiceBox(
    std::string_view prompt, const std::vector<std::string> &choices, std::size_t preferred)
{
    return choiceDialog(ownMainWindow(), prompt, kTitle, choices, preferred);
}

std::string Win32Platform::inputBox(std::string_view prompt, std::string_view title)
{
    return inputDialog(ownMainWindow(), prompt, title);
}

Result<std::unique_ptr<LineReader>> Win32Platform::openInput(const std::string &path)
{
    return openLineReader(path);
}

Outcome Win32Platform::shell(
    const std::string &program, const std::vector<std::string> &args, ShellStyle style)
{
    std::string line;
    for (const std::string &a : args)
        line += (line.empty() ? "" : " ") + a;
    const HINSTANCE result = ShellExecuteW(ownMainWindow(), L"open", widen(program).c_str(),
        line.empty() ? nullptr : widen(line).c_str(), nullptr,
        style == ShellStyle::MaximizedFocus ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32)
        return launchError(program, result);
    return Ok {};
}

Outcome Win32Platform::openUrl(std::string_view url)
{
    const HINSTANCE result = ShellExecuteW(
        ownMainWindow(), L"open", widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32)
        return launchError("the web browser", result);
    return Ok {};
}

std::string Win32Platform::dir(std::string_view path)
{
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES
        || (attributes
            & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        return {};
    const std::size_t slash = path.find_last_of("\\/:");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

AppIdentity Win32Platform::identity() const
{
    return AppIdentity { std::string(kTitle), QUILLPOST_VERSION_MAJOR, QUILLPOST_VERSION_MINOR,
        QUILLPOST_VERSION_PATCH };
}

void Win32Platform::end()
{
    // Every window of ours goes, the modeless viewer and About box with the main window.
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            DestroyWindow(window);
            return TRUE;
        },
        0);
    PostQuitMessage(0);
}

} // namespace quillpost::win32
