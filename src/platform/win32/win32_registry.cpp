#include "win32_registry.h"

#include <string>

namespace quillpost::win32 {

SystemRegistry::~SystemRegistry()
{
    for (auto &[handle, key] : open_)
        ::RegCloseKey(key);
}

long SystemRegistry::RegOpenKeyExA(std::uint32_t root, std::string_view subKey,
    std::uint32_t options, std::uint32_t samDesired, RegHandle *result)
{
    HKEY key = nullptr;
    const std::string path(subKey);
    const long status = ::RegOpenKeyExA(reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(root)),
        path.c_str(), options, samDesired | KEY_WOW64_64KEY, &key);
    if (status != ERROR_SUCCESS)
        return status;
    *result = next_++;
    open_[*result] = key;
    return ERROR_SUCCESS;
}

long SystemRegistry::RegQueryValueExA(RegHandle handle, std::string_view valueName,
    std::uint32_t *type, std::span<std::uint8_t> data, std::uint32_t *size)
{
    auto open = open_.find(handle);
    if (open == open_.end())
        return ERROR_INVALID_HANDLE;
    const std::string name(valueName);
    DWORD valueType = 0;
    DWORD bytes = data.empty() ? 0 : static_cast<DWORD>(std::min<std::size_t>(*size, data.size()));
    const long status = ::RegQueryValueExA(open->second, name.c_str(), nullptr, &valueType,
        data.empty() ? nullptr : data.data(), &bytes);
    if (type)
        *type = valueType;
    *size = bytes;
    return status;
}

long SystemRegistry::RegCloseKey(RegHandle handle)
{
    auto open = open_.find(handle);
    if (open == open_.end())
        return ERROR_INVALID_HANDLE;
    const long status = ::RegCloseKey(open->second);
    open_.erase(open);
    return status;
}

} // namespace quillpost::win32
