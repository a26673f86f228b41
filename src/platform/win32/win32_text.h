#pragma once

#include <string>
#include <string_view>

// The logic speaks UTF-8 and writes line breaks as CR LF, which is what Windows controls show;
// the Win32 calls take UTF-16.
namespace quillpost::win32 {

std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

int twipsToPixels(int twips, int dpi);
int pixelsToTwips(int pixels, int dpi);
// The system's logical resolution, the one twips are converted through.
int systemDpi();

} // namespace quillpost::win32
