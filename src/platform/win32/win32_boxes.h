#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// The program's modal boxes that MessageBox cannot show.
namespace quillpost::win32 {

// The prompt, a text field, OK and Cancel; nullopt-like "" on Cancel, as the logic wants.
std::string inputDialog(HWND owner, std::string_view prompt, std::string_view title);

// The prompt and a button per choice, Enter taking `preferred`; the index chosen, -1 when closed
// without a choice.
int choiceDialog(HWND owner, std::string_view prompt, std::string_view title,
    const std::vector<std::string> &choices, std::size_t preferred);

} // namespace quillpost::win32
