#include "win32_boxes.h"

#include "win32_text.h"
#include "win32_ui.h"

#include <algorithm>

namespace quillpost::win32 {
namespace {

constexpr int kPrompt = 100;
constexpr int kAnswer = 101;
constexpr int kFirstChoice = 200;

struct BoxState
{
    std::wstring prompt;
    std::wstring title;
    std::wstring answer;
    int preferred = 0; // the choice that has the focus, and so Enter, at first
};

INT_PTR CALLBACK inputProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto *state = reinterpret_cast<BoxState *>(lParam);
        SetWindowTextW(dialog, state->title.c_str());
        SetDlgItemTextW(dialog, kPrompt, state->prompt.c_str());
        setProgramIcon(dialog);
        SetFocus(GetDlgItem(dialog, kAnswer));
        return FALSE; // the focus is set
    }
    case WM_COMMAND: {
        auto *state = reinterpret_cast<BoxState *>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (LOWORD(wParam) == IDOK) {
            HWND edit = GetDlgItem(dialog, kAnswer);
            std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(
                GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
            state->answer = std::move(text);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    }
    return FALSE;
}

INT_PTR CALLBACK choiceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto *state = reinterpret_cast<BoxState *>(lParam);
        SetWindowTextW(dialog, state->title.c_str());
        SetDlgItemTextW(dialog, kPrompt, state->prompt.c_str());
        setProgramIcon(dialog);
        // A focused button is the one Enter presses, whatever the default says.
        SendMessageW(dialog, DM_SETDEFID, kFirstChoice + state->preferred, 0);
        SetFocus(GetDlgItem(dialog, kFirstChoice + state->preferred));
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, -1);
        else if (LOWORD(wParam) >= kFirstChoice)
            EndDialog(dialog, LOWORD(wParam) - kFirstChoice);
        return TRUE;
    }
    return FALSE;
}

} // namespace

std::string inputDialog(HWND owner, std::string_view prompt, std::string_view title)
{
    DialogTemplate box(
        DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, L"", 244, 90);
    box.add(DialogTemplate::kStatic, SS_LEFT, kPrompt, L"", 7, 7, 174, 56);
    box.add(DialogTemplate::kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, L"OK", 187, 7, 50, 14);
    box.add(
        DialogTemplate::kButton, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, L"Cancel", 187, 25, 50, 14);
    box.add(DialogTemplate::kEdit, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kAnswer, L"", 7, 69,
        230, 13);
    BoxState state { widen(prompt), widen(title), {} };
    const INT_PTR result = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), box.get(), owner, inputProc, reinterpret_cast<LPARAM>(&state));
    return result == IDOK ? narrow(state.answer) : std::string();
}

int choiceDialog(HWND owner, std::string_view prompt, std::string_view title,
    const std::vector<std::string> &choices, std::size_t preferred)
{
    // Sized for the text: about 70 characters to a line of 300 dialog units.
    const std::wstring text = widen(prompt);
    int lines = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        lines += 1 + static_cast<int>((end - start) / 70);
        start = end + 1;
    }
    const auto promptHeight = static_cast<short>(std::min(lines * 9, 300));
    const short buttonWidth = 90;
    const auto width = static_cast<short>(std::max<std::size_t>(314, choices.size() * 96 + 14));
    DialogTemplate box(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, L"", width,
        static_cast<short>(promptHeight + 36));
    box.add(DialogTemplate::kStatic, SS_LEFT, kPrompt, L"", 7, 7, static_cast<short>(width - 14),
        promptHeight);
    auto x = static_cast<short>(width - 7 - static_cast<int>(choices.size()) * 96 + 6);
    for (std::size_t i = 0; i < choices.size(); ++i, x += 96)
        box.add(DialogTemplate::kButton,
            (i == preferred ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP,
            kFirstChoice + static_cast<int>(i), widen(choices[i]), x,
            static_cast<short>(promptHeight + 14), buttonWidth, 14);
    BoxState state { text, widen(title), {}, static_cast<int>(preferred) };
    return static_cast<int>(DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), box.get(), owner, choiceProc, reinterpret_cast<LPARAM>(&state)));
}

} // namespace quillpost::win32
