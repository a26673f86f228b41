#pragma once

#include "registry.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillpost {

// A registry held in memory: what a system without one offers, and what tests fill in. Names
// compare ignoring case.
class MemoryRegistry : public Registry
{
public:
    struct Value
    {
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };

    // `readOnly` keys refuse an open that asks for any right to write.
    void addKey(std::uint32_t root, std::string_view path, bool readOnly = false);
    void setValue(std::uint32_t root, std::string_view path, std::string_view name, Value value);

    long RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t options,
        std::uint32_t samDesired, RegHandle *result) override;
    long RegQueryValueExA(RegHandle key, std::string_view valueName, std::uint32_t *type,
        std::span<std::uint8_t> data, std::uint32_t *size) override;
    long RegCloseKey(RegHandle key) override;
    int openKeys() const override { return static_cast<int>(open_.size()); }

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
MemoryRegistry::Value regSz(std::string_view text, bool terminated = true);

} // namespace quillpost
