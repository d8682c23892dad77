// Variable paths: which registry key and which value a caller's path names.
//
// A path such as "prod\sub\level" is split at its last backslash that is not its first character:
// the characters before it name a key below the root key, those after it the value. The split
// cuts the caller's own string at that backslash, and callers see the cut afterwards: a caller
// that passed "prod\level" holds "prod" once the call returns.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kelpa::store {

// Every variable lives in this key below HKEY_CURRENT_USER, or in a key below it.
inline constexpr std::string_view kRootKeyName = "Software\\TORVANEXIAL";

// The key path and the value name are each assembled in an area of 260 bytes, the platform's
// classic path size (MAX_PATH), terminating NUL included.
inline constexpr std::size_t kNameAreaSize = 260;
inline constexpr std::size_t kMaxKeyPathLength = kNameAreaSize - 1;
inline constexpr std::size_t kMaxValueNameLength = kNameAreaSize - 1;
// The key path is the root key name, a backslash and the key part.
inline constexpr std::size_t kMaxKeyPartLength = kMaxKeyPathLength - kRootKeyName.size() - 1;
static_assert(kMaxKeyPartLength == 238);

// Where a variable lives: both names NUL-terminated, ready for the registry calls.
struct VariableLocation {
    std::array<char, kNameAreaSize> key_path;  // below HKEY_CURRENT_USER
    std::array<char, kNameAreaSize> value_name;
};

// Splits `path` and, when it has a separator, writes a NUL over it in the caller's string.
//
// A path with a key part longer than kMaxKeyPartLength or a value name longer than
// kMaxValueNameLength is refused, and so is a null path: nothing then, and the caller's string
// stays as it was, so that a refused call changes nothing at all.
std::optional<VariableLocation> SplitVariablePath(char* path) noexcept;

}  // namespace kelpa::store
