// One variable's text in the registry: a REG_SZ value in the key its path names, below
// HKEY_CURRENT_USER. Each call opens the key afresh and closes it before returning; nothing is
// cached. The callers hold the store lock around these calls.
//
// Both calls split the caller's path (see variable_path.h): the caller's string is cut at its
// separator.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace kelpa::store {

// Reads the variable's data into `buffer` and gives its text: the data up to their first NUL or
// their end, whatever the value's type, NUL-terminated in `buffer`. Nothing when the key or the
// value is missing, when the data do not fit, when they fill the whole buffer with no NUL among
// them (no room would be left for the terminating one), or when the key does not close.
std::optional<std::string_view> ReadVariableText(char* path, std::span<char> buffer) noexcept;

// Stores `text` as the variable's value: type REG_SZ, the text's characters without a terminating
// NUL, replacing any value of that name. Creates every missing key of the path, the root key
// included; keys created stay even when setting the value then fails. True when the value was
// set and the key closed.
bool WriteVariableText(char* path, std::string_view text) noexcept;

}  // namespace kelpa::store
