#include "variable_path.h"

#include <algorithm>

namespace kelpa::store {
namespace {

// Copies `text` into `area` and terminates it; the caller has checked that it fits.
void Place(std::string_view text, std::array<char, kNameAreaSize>& area) {
    auto end = std::copy(text.begin(), text.end(), area.begin());
    *end = '\0';
}

}  // namespace

std::optional<VariableLocation> SplitVariablePath(char* path) noexcept {
    if (path == nullptr) {
        return std::nullopt;
    }
    const std::string_view whole(path);
    // The first character is never a separator: "\counter" is a value name with its backslash.
    const std::size_t separator = whole.find_last_of('\\');

    VariableLocation location;
    if (separator == std::string_view::npos || separator == 0) {
        if (whole.size() > kMaxValueNameLength) {
            return std::nullopt;
        }
        Place(kRootKeyName, location.key_path);
        Place(whole, location.value_name);
        return location;
    }

    const std::string_view key_part = whole.substr(0, separator);
    const std::string_view value_name = whole.substr(separator + 1);
    if (key_part.size() > kMaxKeyPartLength || value_name.size() > kMaxValueNameLength) {
        return std::nullopt;
    }
    auto key_end = std::copy(kRootKeyName.begin(), kRootKeyName.end(), location.key_path.begin());
    *key_end++ = '\\';
    key_end = std::copy(key_part.begin(), key_part.end(), key_end);
    *key_end = '\0';
    Place(value_name, location.value_name);
    path[separator] = '\0';
    return location;
}

}  // namespace kelpa::store
