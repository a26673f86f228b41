#pragma once

#include <string_view>

namespace quillpost {

// Shown at start-up and by the About command.
inline constexpr std::string_view kCreditLine
    = "Written by: the Quillpost developers, for the players of Hollowmere";

} // namespace quillpost
