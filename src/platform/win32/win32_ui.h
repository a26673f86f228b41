#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Pieces every window of the program is built from.
namespace quillpost::win32 {

// The main window's class. The boxes belong to that window, so it is disabled while one is open.
inline constexpr const wchar_t *kMainWindowClass = L"QuillpostForm1";

// This thread's main window, or null before it is created and after it is gone.
HWND ownMainWindow();

// A dialog template built in memory, positions and sizes in dialog units.
class DialogTemplate
{
public:
    DialogTemplate(
        DWORD style, std::wstring_view title, short width, short height, DWORD exStyle = 0);
    void add(WORD controlClass, DWORD style, int id, std::wstring_view text, short x, short y,
        short width, short height);
    const DLGTEMPLATE *get() const { return reinterpret_cast<const DLGTEMPLATE *>(words_.data()); }

    static constexpr WORD kButton = 0x0080;
    static constexpr WORD kEdit = 0x0081;
    static constexpr WORD kStatic = 0x0082;

private:
    void text(std::wstring_view text);
    void align();

    std::vector<WORD> words_;
};

// A child control placed in twips at the system's resolution, in the parent's font.
HWND addControl(HWND parent, const wchar_t *controlClass, DWORD style, int id,
    std::wstring_view text, int left, int top, int width, int height);

// Gives a top-level window this client size in twips, and puts its client area at (left, top)
// in twips when left >= 0.
void setClientTwips(HWND window, int width, int height, int left = -1, int top = -1);

// The face at hundredths of a point, or the system's face when it is missing.
HFONT createFont(const std::wstring &face, int hundredthsOfPoint);

// The program icon from the executable's resources, at 16 or 32 pixels.
HICON programIcon(int size);
void setProgramIcon(HWND window);

} // namespace quillpost::win32
