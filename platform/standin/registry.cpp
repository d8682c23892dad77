// The registry as one in-memory tree below HKEY_CURRENT_USER, shared by every native deliverable in
// the process, with counted handles. One mutex guards the tree and the handle table.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "standin_faults.h"
#include "standin_registry.h"

namespace {

// ASCII letters compare equal whatever their case, as registry names do.
char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

struct CaseInsensitiveLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return FoldCase(x) < FoldCase(y); });
    }
};

struct Key {
    std::string name;  // as first created: enumeration gives it back in that case
    Key* parent = nullptr;
    bool deleted = false;
    std::map<std::string, std::shared_ptr<Key>, CaseInsensitiveLess> subkeys;
    std::map<std::string, standin::StoredValue, CaseInsensitiveLess> values;
};

struct OpenHandle {
    std::shared_ptr<Key> key;  // keeps a deleted key alive until its last handle is closed
    REGSAM access;
};

std::mutex g_mutex;
std::shared_ptr<Key> g_current_user = std::make_shared<Key>();
std::unordered_map<HKEY, OpenHandle> g_handles;
// Handle values are never reused, so a second close of the same handle is always noticed.
std::uintptr_t g_last_handle = 0x1000;
int g_invalid_handles = 0;

struct Resolved {
    LONG error;
    std::shared_ptr<Key> key;
    REGSAM access;
};

// The key behind a handle; the caller holds g_mutex.
Resolved Resolve(HKEY handle) {
    if (handle == HKEY_CURRENT_USER) {
        return {ERROR_SUCCESS, g_current_user, KEY_ALL_ACCESS};
    }
    auto found = g_handles.find(handle);
    if (found == g_handles.end()) {
        ++g_invalid_handles;
        return {ERROR_INVALID_HANDLE, nullptr, 0};
    }
    if (found->second.key->deleted) {
        return {ERROR_KEY_DELETED, nullptr, 0};
    }
    return {ERROR_SUCCESS, found->second.key, found->second.access};
}

// The levels of a sub-key path. A leading backslash makes it no relative path at all; empty
// levels (two backslashes in a row, a trailing one) are skipped; null and "" name the key itself.
std::optional<std::vector<std::string_view>> SplitLevels(LPCSTR sub_key) {
    std::vector<std::string_view> levels;
    if (sub_key == nullptr) {
        return levels;
    }
    const std::string_view path(sub_key);
    if (!path.empty() && path.front() == '\\') {
        return std::nullopt;
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            levels.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return levels;
}

std::shared_ptr<Key> FindBelow(std::shared_ptr<Key> key, const std::vector<std::string_view>& levels) {
    for (std::string_view level : levels) {
        auto found = key->subkeys.find(level);
        if (found == key->subkeys.end()) {
            return nullptr;
        }
        key = found->second;
    }
    return key;
}

HKEY AddHandle(std::shared_ptr<Key> key, REGSAM access) {
    g_last_handle += 4;
    const HKEY handle = reinterpret_cast<HKEY>(g_last_handle);
    g_handles.emplace(handle, OpenHandle{std::move(key), access});
    return handle;
}

bool Grants(REGSAM access, REGSAM needed) { return (access & needed) == needed; }

// The key behind a handle opened with at least `needed`; the caller holds g_mutex.
Resolved ResolveFor(HKEY handle, REGSAM needed) {
    const Resolved opened = Resolve(handle);
    if (opened.error == ERROR_SUCCESS && !Grants(opened.access, needed)) {
        return {ERROR_ACCESS_DENIED, nullptr, 0};
    }
    return opened;
}

// The existing key that `sub_key` names below the handle's key; the caller holds g_mutex.
Resolved ResolveBelow(HKEY handle, LPCSTR sub_key) {
    const Resolved parent = Resolve(handle);
    if (parent.error != ERROR_SUCCESS) {
        return parent;
    }
    const auto levels = SplitLevels(sub_key);
    if (!levels) {
        return {ERROR_BAD_PATHNAME, nullptr, 0};
    }
    std::shared_ptr<Key> found = FindBelow(parent.key, *levels);
    if (found == nullptr) {
        return {ERROR_FILE_NOT_FOUND, nullptr, 0};
    }
    return {ERROR_SUCCESS, std::move(found), parent.access};
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD /*options*/, REGSAM desired, PHKEY result) {
    if (standin::ShouldFail("RegOpenKeyExA")) {
        return ERROR_ACCESS_DENIED;
    }
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> hold(g_mutex);
    const Resolved found = ResolveBelow(key, sub_key);
    if (found.error != ERROR_SUCCESS) {
        return found.error;
    }
    *result = AddHandle(found.key, desired);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD /*reserved*/, LPSTR /*class_name*/, DWORD /*options*/,
                     REGSAM desired, LPSECURITY_ATTRIBUTES /*security*/, PHKEY result, LPDWORD disposition) {
    if (standin::ShouldFail("RegCreateKeyExA")) {
        return ERROR_ACCESS_DENIED;
    }
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> hold(g_mutex);
    const Resolved parent = Resolve(key);
    if (parent.error != ERROR_SUCCESS) {
        return parent.error;
    }
    const auto levels = SplitLevels(sub_key);
    if (!levels) {
        return ERROR_BAD_PATHNAME;
    }
    std::shared_ptr<Key> current = parent.key;
    bool created = false;
    for (std::string_view level : *levels) {
        auto found = current->subkeys.find(level);
        if (found == current->subkeys.end()) {
            if (!created && !Grants(parent.access, KEY_CREATE_SUB_KEY)) {
                return ERROR_ACCESS_DENIED;
            }
            auto child = std::make_shared<Key>();
            child->name = std::string(level);
            child->parent = current.get();
            found = current->subkeys.emplace(child->name, child).first;
            created = true;
        }
        current = found->second;
    }
    if (disposition != nullptr) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *result = AddHandle(std::move(current), desired);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                      LPDWORD data_size) {
    if (standin::ShouldFail("RegQueryValueExA")) {
        return ERROR_ACCESS_DENIED;
    }
    if (data != nullptr && data_size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> hold(g_mutex);
    const Resolved opened = ResolveFor(key, KEY_QUERY_VALUE);
    if (opened.error != ERROR_SUCCESS) {
        return opened.error;
    }
    auto found = opened.key->values.find(std::string_view(value_name != nullptr ? value_name : ""));
    if (found == opened.key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const standin::StoredValue& value = found->second;
    if (type != nullptr) {
        *type = value.type;
    }
    if (data_size == nullptr) {
        return ERROR_SUCCESS;
    }
    const DWORD needed = static_cast<DWORD>(value.bytes.size());
    if (data != nullptr) {
        if (*data_size < needed) {
            // The platform leaves the buffer's contents undefined here: scribble over them, so that
            // a caller who uses them anyway is caught.
            std::memset(data, 0xCD, *data_size);
            *data_size = needed;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, value.bytes.data(), needed);
    }
    *data_size = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR value_name, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD data_size) {
    if (standin::ShouldFail("RegSetValueExA")) {
        return ERROR_ACCESS_DENIED;
    }
    if (data == nullptr && data_size != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> hold(g_mutex);
    const Resolved opened = ResolveFor(key, KEY_SET_VALUE);
    if (opened.error != ERROR_SUCCESS) {
        return opened.error;
    }
    standin::StoredValue value{type, std::string(reinterpret_cast<const char*>(data), data_size)};
    opened.key->values.insert_or_assign(std::string(value_name != nullptr ? value_name : ""),
                                        std::move(value));
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR value_name) {
    if (standin::ShouldFail("RegDeleteValueA")) {
        return ERROR_ACCESS_DENIED;
    }
    std::lock_guard<std::mutex> hold(g_mutex);
    const Resolved opened = ResolveFor(key, KEY_SET_VALUE);
    if (opened.error != ERROR_SUCCESS) {
        return opened.error;
    }
    auto found = opened.key->values.find(std::string_view(value_name != nullptr ? value_name : ""));
    if (found == opened.key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    opened.key->values.erase(found);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD /*reserved*/,
                   LPSTR class_name, LPDWORD class_size, PFILETIME last_write) {
    if (standin::ShouldFail("RegEnumKeyExA")) {
        return ERROR_KEY_DELETED;
    }
    if (name == nullptr || name_size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> hold(g_mutex);
    const Resolved opened = ResolveFor(key, KEY_ENUMERATE_SUB_KEYS);
    if (opened.error != ERROR_SUCCESS) {
        return opened.error;
    }
    if (index >= opened.key->subkeys.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const std::string& found = std::next(opened.key->subkeys.begin(), index)->second->name;
    // The size is counted in characters, the terminating NUL included on the way in and left out on
    // the way back.
    if (found.size() + 1 > *name_size) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, found.c_str(), found.size() + 1);
    *name_size = static_cast<DWORD>(found.size());
    if (class_name != nullptr && class_size != nullptr && *class_size > 0) {
        class_name[0] = '\0';
        *class_size = 0;
    }
    if (last_write != nullptr) {
        *last_write = FILETIME{0, 0};
    }
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR sub_key) {
    if (standin::ShouldFail("RegDeleteKeyA")) {
        return ERROR_ACCESS_DENIED;
    }
    if (sub_key == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> hold(g_mutex);
    // An empty name deletes the key of the handle itself.
    const Resolved found = ResolveBelow(key, sub_key);
    if (found.error != ERROR_SUCCESS) {
        return found.error;
    }
    Key* target = found.key.get();
    if (target->parent == nullptr || !target->subkeys.empty()) {
        return ERROR_ACCESS_DENIED;
    }
    target->deleted = true;
    target->values.clear();
    target->parent->subkeys.erase(target->name);
    target->parent = nullptr;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER) {
        return ERROR_SUCCESS;
    }
    const bool fail = standin::ShouldFail("RegCloseKey");
    std::lock_guard<std::mutex> hold(g_mutex);
    auto found = g_handles.find(key);
    if (found == g_handles.end()) {
        ++g_invalid_handles;
        return ERROR_INVALID_HANDLE;
    }
    g_handles.erase(found);
    return fail ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

namespace standin {

int OpenKeyCount() {
    std::lock_guard<std::mutex> hold(g_mutex);
    return static_cast<int>(g_handles.size());
}

int InvalidHandleCount() {
    std::lock_guard<std::mutex> hold(g_mutex);
    return g_invalid_handles;
}

void ResetRegistry() {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_current_user = std::make_shared<Key>();
    g_handles.clear();
    g_invalid_handles = 0;
}

std::optional<StoredValue> ReadStoredValue(std::string_view key_path, std::string_view value_name) {
    const std::string path(key_path);
    std::lock_guard<std::mutex> hold(g_mutex);
    const auto levels = SplitLevels(path.c_str());
    if (!levels) {
        return std::nullopt;
    }
    const std::shared_ptr<Key> key = FindBelow(g_current_user, *levels);
    if (key == nullptr) {
        return std::nullopt;
    }
    auto found = key->values.find(value_name);
    if (found == key->values.end()) {
        return std::nullopt;
    }
    return found->second;
}

}  // namespace standin
