#include "dump_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace quillpost::noteserver {

std::optional<std::string> writeFileAtomically(const std::string &path, std::string_view contents)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return "cannot write " + temporary + ": " + std::strerror(errno);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.close();
        if (!out)
            return "cannot write " + temporary + ": " + std::strerror(errno);
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error)
        return "cannot rename " + temporary + " to " + path + ": " + error.message();
    return std::nullopt;
}

} // namespace quillpost::noteserver
