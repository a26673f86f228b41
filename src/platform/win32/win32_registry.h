#pragma once

#include "platform/registry.h"

#include <windows.h>

#include <map>

namespace quillpost::win32 {

// The system's registry, read through the 64-bit view whatever the program's own build: that is
// where the system information tool is registered.
class SystemRegistry : public Registry
{
public:
    ~SystemRegistry() override;
    long RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t options,
        std::uint32_t samDesired, RegHandle *result) override;
    long RegQueryValueExA(RegHandle key, std::string_view valueName, std::uint32_t *type,
        std::span<std::uint8_t> data, std::uint32_t *size) override;
    long RegCloseKey(RegHandle key) override;
    int openKeys() const override { return static_cast<int>(open_.size()); }

private:
    std::map<RegHandle, HKEY> open_;
    RegHandle next_ = 1;
};

} // namespace quillpost::win32
