#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The system's settings store, read only, with the calls and result codes of the Windows registry,
// so the code that looks values up runs unchanged wherever the program runs.
namespace quillpost {

using RegHandle = std::uint32_t; // 0 is no key

inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorMoreData = 234;

// The access rights that write: set value, create sub-key, create link.
inline constexpr std::uint32_t kKeyWriteRights = 0x0002 | 0x0004 | 0x0020;

class Registry
{
public:
    virtual ~Registry() = default;

    virtual long RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t options,
        std::uint32_t samDesired, RegHandle *result)
        = 0;
    // `data` may be empty to ask for the size alone; *size is the data's size on return.
    virtual long RegQueryValueExA(RegHandle key, std::string_view valueName, std::uint32_t *type,
        std::span<std::uint8_t> data, std::uint32_t *size)
        = 0;
    virtual long RegCloseKey(RegHandle key) = 0;

    // Keys opened and not closed yet.
    virtual int openKeys() const = 0;
};

} // namespace quillpost
