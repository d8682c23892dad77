#include "registry_view.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kelpa::test {
namespace {

// Closes the key when the test code leaves its scope.
class OpenedKey {
public:
    OpenedKey(HKEY parent, const std::string& path, REGSAM access) {
        if (RegOpenKeyExA(parent, path.c_str(), 0, access, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~OpenedKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    bool IsOpen() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Room for a key name and its NUL: key names have at most 255 characters.
constexpr DWORD kKeyNameRoom = 260;

void DeleteTreeBelow(HKEY parent, const std::string& name) {
    {
        OpenedKey key(parent, name, KEY_ALL_ACCESS);
        if (!key.IsOpen()) {
            return;
        }
        char subkey[kKeyNameRoom];
        DWORD size = kKeyNameRoom;
        while (RegEnumKeyExA(key.get(), 0, subkey, &size, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS) {
            DeleteTreeBelow(key.get(), subkey);
            if (::testing::Test::HasFatalFailure()) {
                return;  // the subkey stayed, and would come back at index 0 for ever
            }
            size = kKeyNameRoom;
        }
    }
    ASSERT_EQ(RegDeleteKeyA(parent, name.c_str()), ERROR_SUCCESS) << name;
}

}  // namespace

std::string StorePath(const std::string& key_part) {
    return key_part.empty() ? std::string(kStoreRootPath) : std::string(kStoreRootPath) + "\\" + key_part;
}

std::optional<RegistryValue> QueryValue(const std::string& key_path, const std::string& value_name) {
    OpenedKey key(HKEY_CURRENT_USER, key_path, KEY_READ);
    if (!key.IsOpen()) {
        return std::nullopt;
    }
    RegistryValue value{};
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), value_name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    if (size > 0 && RegQueryValueExA(key.get(), value_name.c_str(), nullptr, &value.type,
                                     reinterpret_cast<BYTE*>(value.data.data()), &size) != ERROR_SUCCESS) {
        ADD_FAILURE() << "the value " << value_name << " changed while it was read";
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

bool KeyExists(const std::string& key_path) {
    return OpenedKey(HKEY_CURRENT_USER, key_path, KEY_READ).IsOpen();
}

void SetValue(const std::string& key_path, const std::string& value_name, DWORD type,
              const std::string& data) {
    // Level by level: the platform's ANSI calls take sub-key paths of at most 259 characters, and
    // the tests build deeper trees than that.
    HKEY key = HKEY_CURRENT_USER;
    std::size_t start = 0;
    while (start <= key_path.size()) {
        const std::size_t end = std::min(key_path.find('\\', start), key_path.size());
        HKEY created = nullptr;
        const LONG result =
            RegCreateKeyExA(key, key_path.substr(start, end - start).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &created, nullptr);
        if (key != HKEY_CURRENT_USER) {
            RegCloseKey(key);
        }
        ASSERT_EQ(result, ERROR_SUCCESS) << key_path;
        key = created;
        start = end + 1;
    }
    EXPECT_EQ(RegSetValueExA(key, value_name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void DeleteKeyTree(const std::string& key_path) { DeleteTreeBelow(HKEY_CURRENT_USER, key_path); }

}  // namespace kelpa::test
