// The registry as the tests see it, through the platform's own registry calls: the real registry
// in the Windows test host, the stand-in natively. Paths are below HKEY_CURRENT_USER.
#pragma once

#include <optional>
#include <string>

#include "win32_api.h"

namespace kelpa::test {

inline constexpr char kStoreRootPath[] = "Software\\TORVANEXIAL";

// The store's root key joined with a key path below it; the root itself for "".
std::string StorePath(const std::string& key_part);

struct RegistryValue {
    DWORD type;
    std::string data;  // every byte the registry gives back
};

// The value as RegQueryValueExA gives it, or nothing when the key or the value is missing.
std::optional<RegistryValue> QueryValue(const std::string& key_path, const std::string& value_name);

bool KeyExists(const std::string& key_path);

// Sets a value the way another program might, creating the key path.
void SetValue(const std::string& key_path, const std::string& value_name, DWORD type,
              const std::string& data);

// Deletes the key and everything below it; nothing when it does not exist.
void DeleteKeyTree(const std::string& key_path);

}  // namespace kelpa::test
