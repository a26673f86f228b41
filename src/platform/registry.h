#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A small read-only registry with the calls and result codes of the Windows one, so the code that
// looks values up runs unchanged wherever the program runs. Names compare ignoring case. On
// Windows the three calls go to the system's own registry instead.
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
    struct Value
    {
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };

    virtual ~Registry() = default;

    // `readOnly` keys refuse an open that asks for any right to write.
    void addKey(std::uint32_t root, std::string_view path, bool readOnly = false);
    void setValue(std::uint32_t root, std::string_view path, std::string_view name, Value value);

    virtual long RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t options,
        std::uint32_t samDesired, RegHandle *result);
    // `data` may be empty to ask for the size alone; *size is the data's size on return.
    virtual long RegQueryValueExA(RegHandle key, std::string_view valueName, std::uint32_t *type,
        std::span<std::uint8_t> data, std::uint32_t *size);
    virtual long RegCloseKey(RegHandle key);

    virtual int openKeys() const { return static_cast<int>(open_.size()); }

private:
    struct Key
    {
        bool readOnly = false;
        std::map<std::string, Value> values;
    };
    static std::string keyName(std::uint32_t root, std::string_view path);

    std::map<std::string, Key> keys_;
    std::map<RegHandle, std::string> open_;
    RegHandle next_ = 1;
};

// Text as registry bytes, with the terminating zero that REG_SZ values usually carry.
Registry::Value regSz(std::string_view text, bool terminated = true);

} // namespace quillpost
