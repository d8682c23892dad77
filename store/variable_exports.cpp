// The eight variable exports, in every deliverable at ordinals 1 to 8.
//
// Variables are text in the registry (registry_text.h); numbers are formatted and read back as in
// number_text.h. The set and get exports hold the store lock for their whole call; the two delete
// exports hold it only where the deliverable's setting says so.
#include <array>
#include <cstring>

#include "deliverable_settings.h"
#include "export.h"
#include "library_locks.h"
#include "number_text.h"
#include "registry_key.h"
#include "registry_text.h"
#include "variable_path.h"

namespace {

using kelpa::store::NumberArea;
using kelpa::store::UniqueKey;

// The results of the set and delete exports.
constexpr int kDone = 0;
constexpr int kNotDone = -1;

// A string is read back through 260 bytes, the platform's classic path size: a text of up to 259
// characters and its NUL.
constexpr std::size_t kStringReadBufferSize = 260;

// Subkey names are asked for with 260 characters of room, more than the 255 a key name can have.
constexpr DWORD kSubkeyNameAreaSize = 260;

int ResultOf(bool done) { return done ? kDone : kNotDone; }

// The deletes run under the store lock in some deliverables and with no lock in the others.
kelpa::frame::LockGuard HoldStoreLockForDeletes() noexcept {
    return kelpa::frame::LockGuard(kelpa::settings::kDeletesTakeStoreLock ? &kelpa::frame::StoreLock()
                                                                          : nullptr);
}

int RemoveKeyTree(HKEY parent, const char* name) noexcept;

// Removes every subkey of `key`, always asking for the one at index 0, until none is left or one
// cannot be removed. A subkey that cannot be removed would come back at index 0 for ever; it also
// keeps `key` from being deleted, so the walk stops there and the failure reaches the caller.
void RemoveSubkeys(HKEY key) noexcept {
    std::array<char, kSubkeyNameAreaSize> subkey;
    for (;;) {
        DWORD name_size = kSubkeyNameAreaSize;
        if (RegEnumKeyExA(key, 0, subkey.data(), &name_size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return;
        }
        if (RemoveKeyTree(key, subkey.data()) != kDone) {
            return;
        }
    }
}

// Removes the key `name` below `parent` and everything below it, depth first; values go with
// their key. 0 when the key itself was deleted, -1 otherwise.
int RemoveKeyTree(HKEY parent, const char* name) noexcept {
    {
        UniqueKey key;
        if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, key.put()) == ERROR_SUCCESS) {
            RemoveSubkeys(key.get());
        }
    }  // closed before it is deleted
    return ResultOf(RegDeleteKeyA(parent, name) == ERROR_SUCCESS);
}

}  // namespace

KELPA_EXPORT int WINAPI PeltoSetInteger(char* var_path, int value) noexcept {
    auto hold = kelpa::frame::HoldStoreLock();
    NumberArea area;
    return ResultOf(kelpa::store::WriteVariableText(var_path, kelpa::store::FormatInteger(value, area)));
}

KELPA_EXPORT int WINAPI PeltoGetInteger(char* var_path) noexcept {
    auto hold = kelpa::frame::HoldStoreLock();
    NumberArea buffer;
    const auto text = kelpa::store::ReadVariableText(var_path, buffer);
    return text ? kelpa::store::ParseLeadingInteger(*text) : 0;
}

KELPA_EXPORT int WINAPI PeltoSetDouble(char* var_path, double value) noexcept {
    auto hold = kelpa::frame::HoldStoreLock();
    NumberArea area;
    const auto text = kelpa::store::FormatDouble(value, area);
    return ResultOf(text && kelpa::store::WriteVariableText(var_path, *text));
}

KELPA_EXPORT double WINAPI PeltoGetDouble(char* var_path) noexcept {
    auto hold = kelpa::frame::HoldStoreLock();
    NumberArea buffer;
    const auto text = kelpa::store::ReadVariableText(var_path, buffer);
    return text ? kelpa::store::ParseLeadingDouble(*text) : 0.0;
}

KELPA_EXPORT int WINAPI PeltoSetString(char* var_path, const char* text) noexcept {
    auto hold = kelpa::frame::HoldStoreLock();
    if (text == nullptr) {
        return kNotDone;
    }
    return ResultOf(kelpa::store::WriteVariableText(var_path, text));
}

// The text's length when it was copied; the room it needs, its NUL included, when `buffer_len` is
// too small; 0 when nothing could be read. The caller's buffer holds the empty text unless the
// text was copied.
KELPA_EXPORT int WINAPI PeltoGetString(char* var_path, char* text_buffer, int buffer_len) noexcept {
    auto hold = kelpa::frame::HoldStoreLock();
    if (text_buffer == nullptr) {
        return 0;
    }
    // Emptied before the read, so that no failure leaves old text behind; a buffer said to have
    // no room at all is not written.
    if (buffer_len > 0) {
        text_buffer[0] = '\0';
    }
    std::array<char, kStringReadBufferSize> buffer;
    const auto text = kelpa::store::ReadVariableText(var_path, buffer);
    if (!text) {
        return 0;
    }
    const int length = static_cast<int>(text->size());
    if (buffer_len < length + 1) {
        return length + 1;
    }
    std::memcpy(text_buffer, text->data(), text->size() + 1);
    return length;
}

KELPA_EXPORT int WINAPI PeltoDeleteVar(char* var_path) noexcept {
    auto hold = HoldStoreLockForDeletes();
    const auto location = kelpa::store::SplitVariablePath(var_path);
    if (!location) {
        return kNotDone;
    }
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, location->key_path.data(), 0, KEY_ALL_ACCESS, key.put()) !=
        ERROR_SUCCESS) {
        return kNotDone;
    }
    // The key stays, even when its last value goes.
    return ResultOf(RegDeleteValueA(key.get(), location->value_name.data()) == ERROR_SUCCESS);
}

// `key_name` is a key path below the root key, used as it is: not split, and not cut. The empty
// name is refused: the registry would take it for the root key itself and remove every variable
// of every library and script of the user, which no caller means by an empty string.
KELPA_EXPORT int WINAPI PeltoDeleteKey(const char* key_name) noexcept {
    auto hold = HoldStoreLockForDeletes();
    if (key_name == nullptr || key_name[0] == '\0') {
        return kNotDone;
    }
    UniqueKey root;
    // The root key name is a literal, so its view ends in a NUL.
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kelpa::store::kRootKeyName.data(), 0, KEY_ALL_ACCESS, root.put()) !=
        ERROR_SUCCESS) {
        return kNotDone;
    }
    return RemoveKeyTree(root.get(), key_name);
}
