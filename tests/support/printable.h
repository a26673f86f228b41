#pragma once

#include <string>

namespace quillpost::test {

// The 95 printable ASCII characters, from the space to "~".
inline std::string printableAscii()
{
    std::string text;
    for (char c = ' '; c <= '~'; ++c)
        text += c;
    return text;
}

} // namespace quillpost::test
