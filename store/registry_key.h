// The owner of one open registry key: it closes the key in its destructor, so no return path of
// an export can leave a key open.
#pragma once

#include "win32_api.h"

namespace kelpa::store {

class [[nodiscard]] UniqueKey {
public:
    UniqueKey() = default;
    ~UniqueKey() { Close(); }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;

    HKEY get() const noexcept { return key_; }

    // For the registry call that opens or creates the key: it writes the new key here. A key held
    // before is closed first, so no open key is ever overwritten.
    HKEY* put() noexcept {
        Close();
        return &key_;
    }

    // Closes the key now and gives the platform's answer, for the callers whose result depends
    // on it. The key counts as closed whatever the answer: it is never closed a second time.
    LONG Close() noexcept {
        if (key_ == nullptr) {
            return ERROR_SUCCESS;
        }
        const HKEY key = key_;
        key_ = nullptr;
        return RegCloseKey(key);
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace kelpa::store
