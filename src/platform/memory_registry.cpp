#include "memory_registry.h"

#include <algorithm>

namespace quillpost {
namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

std::string MemoryRegistry::keyName(std::uint32_t root, std::string_view path)
{
    return std::to_string(root) + "\\" + lower(path);
}

void MemoryRegistry::addKey(std::uint32_t root, std::string_view path, bool readOnly)
{
    keys_[keyName(root, path)].readOnly = readOnly;
}

void MemoryRegistry::setValue(
    std::uint32_t root, std::string_view path, std::string_view name, Value value)
{
    keys_[keyName(root, path)].values[lower(name)] = std::move(value);
}

long MemoryRegistry::RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t,
    std::uint32_t samDesired, RegHandle *result)
{
    auto key = keys_.find(keyName(root, subKey));
    if (key == keys_.end())
        return kErrorFileNotFound;
    if (key->second.readOnly && (samDesired & kKeyWriteRights) != 0)
        return kErrorAccessDenied;
    *result = next_++;
    open_[*result] = key->first;
    return kErrorSuccess;
}

long MemoryRegistry::RegQueryValueExA(RegHandle handle, std::string_view valueName,
    std::uint32_t *type, std::span<std::uint8_t> data, std::uint32_t *size)
{
    auto open = open_.find(handle);
    if (open == open_.end())
        return kErrorInvalidHandle;
    const Key &key = keys_.at(open->second);
    auto value = key.values.find(lower(valueName));
    if (value == key.values.end())
        return kErrorFileNotFound;
    const auto &bytes = value->second.data;
    if (type)
        *type = value->second.type;
    const std::uint32_t room = *size;
    *size = static_cast<std::uint32_t>(bytes.size());
    if (data.empty())
        return kErrorSuccess;
    if (bytes.size() > room || bytes.size() > data.size())
        return kErrorMoreData;
    std::copy(bytes.begin(), bytes.end(), data.begin());
    return kErrorSuccess;
}

long MemoryRegistry::RegCloseKey(RegHandle handle)
{
    return open_.erase(handle) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

MemoryRegistry::Value regSz(std::string_view text, bool terminated)
{
    MemoryRegistry::Value v { kRegSz, std::vector<std::uint8_t>(text.begin(), text.end()) };
    if (terminated)
        v.data.push_back(0);
    return v;
}

} // namespace quillpost
