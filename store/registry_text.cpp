#include "registry_text.h"

#include <algorithm>

#include "registry_key.h"
#include "variable_path.h"
#include "win32_api.h"

namespace kelpa::store {
namespace {

// The data of a value, `data_size` bytes at the start of `buffer`, as NUL-terminated text.
std::optional<std::string_view> TerminateAsText(std::span<char> buffer, DWORD data_size) {
    const std::string_view data(buffer.data(), std::min<std::size_t>(data_size, buffer.size()));
    const std::size_t length = std::min(data.find('\0'), data.size());
    if (length == buffer.size()) {
        return std::nullopt;
    }
    buffer[length] = '\0';
    return std::string_view(buffer.data(), length);
}

}  // namespace

std::optional<std::string_view> ReadVariableText(char* path, std::span<char> buffer) noexcept {
    const std::optional<VariableLocation> location = SplitVariablePath(path);
    if (!location) {
        return std::nullopt;
    }
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, location->key_path.data(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD data_size = static_cast<DWORD>(buffer.size());
    if (RegQueryValueExA(key.get(), location->value_name.data(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &data_size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::optional<std::string_view> text = TerminateAsText(buffer, data_size);
    if (!text || key.Close() != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return text;
}

bool WriteVariableText(char* path, std::string_view text) noexcept {
    const std::optional<VariableLocation> location = SplitVariablePath(path);
    if (!location) {
        return false;
    }
    UniqueKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, location->key_path.data(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (RegSetValueExA(key.get(), location->value_name.data(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.data()),
                       static_cast<DWORD>(text.size())) != ERROR_SUCCESS) {
        return false;
    }
    return key.Close() == ERROR_SUCCESS;
}

}  // namespace kelpa::store
