#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillpost::noteserver {

// Writes `path` through `path`.tmp and a rename, so a test reading the file never sees half of
// it. Returns what went wrong, or nothing on success.
std::optional<std::string> writeFileAtomically(const std::string &path, std::string_view contents);

} // namespace quillpost::noteserver
