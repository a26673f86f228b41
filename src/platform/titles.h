#pragma once

#include <string_view>

namespace quillpost {

// Window titles are matched ignoring the case of ASCII letters only, as the title rule always has.
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);

} // namespace quillpost
