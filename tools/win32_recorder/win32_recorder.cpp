// Usage: quillpost_win32_recorder OUT [TITLE [--steal]]
// A window titled TITLE (default "zMUD") that appends every character it receives (WM_CHAR) to
// OUT, as the byte it is, and shows the last ones received. Flushed at once, so a reader sees
// each byte as soon as it arrived. With --steal it takes the front back every 5 ms, as a
// window that keeps grabbing the keyboard would.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Recorder
{
    std::FILE *out = nullptr;
    std::wstring tail; // what is shown
};

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *rec = reinterpret_cast<Recorder *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_CHAR: {
        const auto c = static_cast<wchar_t>(wParam);
        if (c > 0xFF) // only the bytes a client would pass on; anything else is a fault to see
            std::fprintf(rec->out, "\\u%04x", static_cast<unsigned>(c));
        else
            std::fputc(static_cast<int>(c), rec->out);
        std::fflush(rec->out);
        rec->tail += c == L'\r' ? L'\n' : c;
        if (rec->tail.size() > 2000)
            rec->tail.erase(0, rec->tail.size() - 2000);
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        InflateRect(&r, -4, -4);
        DrawTextW(dc, rec->tail.c_str(), static_cast<int>(rec->tail.size()), &r,
            DT_LEFT | DT_BOTTOM | DT_WORDBREAK | DT_NOPREFIX);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_TIMER:
        SetForegroundWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT [TITLE]\n", argv[0]);
        return 2;
    }
    Recorder rec;
    rec.out = std::fopen(argv[1], "ab");
    if (!rec.out)
        return 1;
    const std::string title = argc > 2 ? argv[2] : "zMUD";

    WNDCLASSW wc {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"QuillpostRecorder";
    RegisterClassW(&wc);
    const std::wstring wideTitle(title.begin(), title.end());
    HWND window = CreateWindowW(wc.lpszClassName, wideTitle.c_str(), WS_OVERLAPPEDWINDOW, 600, 300,
        560, 360, nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&rec));
    ShowWindow(window, SW_SHOWNORMAL);
    if (argc > 3 && std::string(argv[3]) == "--steal")
        SetTimer(window, 1, 5, nullptr);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::fclose(rec.out);
    return 0;
}
