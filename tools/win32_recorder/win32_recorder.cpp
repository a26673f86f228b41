// A window that stands in for a Windows MUD client in end-to-end tests: it appends every
// character it receives (WM_CHAR, so Enter arrives as CR) to a file, as UTF-8. With --steal it
// takes the front back every 5 ms, as a window that keeps grabbing the keyboard would. With
// --keys it reads keys as PuTTY does instead: WM_CHAR is ignored, and each WM_KEYDOWN's virtual
// key and scan code go through ToUnicode with the window's keyboard state; a key that gives no
// character records nothing, a dead key waits in that state for the next key.
//
//   win32_recorder OUTPUT_FILE [TITLE [--steal | --keys]]     (TITLE defaults to "zMUD")
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HANDLE output = INVALID_HANDLE_VALUE;
bool readsKeys = false;

// One write per character, unbuffered, so a test reading the file sees every character the
// window has handled, even when it ends us right after.
void record(wchar_t c)
{
    char bytes[4];
    const int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, bytes, sizeof bytes, nullptr, nullptr);
    DWORD written = 0;
    if (n > 0)
        WriteFile(output, bytes, static_cast<DWORD>(n), &written, nullptr);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CHAR:
        if (!readsKeys)
            record(static_cast<wchar_t>(wParam));
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (readsKeys) {
            BYTE state[256] {};
            GetKeyboardState(state);
            wchar_t typed[8] {};
            const int n
                = ToUnicode(static_cast<UINT>(wParam), (lParam >> 16) & 0xff, state, typed, 8, 0);
            for (int i = 0; i < n; ++i)
                record(typed[i]);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_TIMER:
        SetForegroundWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    const bool steal = argc == 4 && lstrcmpW(argv[3], L"--steal") == 0;
    readsKeys = argc == 4 && lstrcmpW(argv[3], L"--keys") == 0;
    if (argc < 2 || argc > 4 || (argc == 4 && !steal && !readsKeys)) {
        std::fprintf(stderr, "usage: win32_recorder OUTPUT_FILE [TITLE [--steal | --keys]]\n");
        return 2;
    }
    output = CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open the output file (error %lu)\n", GetLastError());
        return 1;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"QuillpostRecorder";
    if (!RegisterClassW(&windowClass))
        return 1;
    const HWND window = CreateWindowW(windowClass.lpszClassName, argc > 2 ? argv[2] : L"zMUD",
        WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400, 200, nullptr, nullptr, instance,
        nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    if (steal)
        SetTimer(window, 1, 5, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!readsKeys)
            TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CloseHandle(output);
    return 0;
}
