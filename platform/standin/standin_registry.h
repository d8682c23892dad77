// advapi32 stand-in: the registry calls of the variable store, over an in-memory tree, and their
// test controls.
//
// It keeps what the store relies on: key and value names compared without regard to ASCII case;
// every missing level created by RegCreateKeyExA; values of any type kept exactly as given (REG_SZ
// data included: no NUL is added); ERROR_MORE_DATA with the size needed when a buffer is too
// small; RegDeleteKeyA refusing a key that still has subkeys; handles of a deleted key failing with
// ERROR_KEY_DELETED; a key opened with KEY_READ refusing writes. Path forms follow the platform: a
// sub-key path that begins with a backslash is refused with ERROR_BAD_PATHNAME, empty levels
// ("a\\b" with two backslashes, a trailing backslash) are skipped, and an empty sub-key names the
// key itself (RegDeleteKeyA then deletes that key). All eight calls are thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "standin_types.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;

// Only ever passed as null by the product: no security descriptor of its own.
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// The predefined key, a reserved handle value as on Windows: never counted, and closing it succeeds.
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000001))))

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0x0000
#define REG_CREATED_NEW_KEY 0x0001
#define REG_OPENED_EXISTING_KEY 0x0002

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_OUTOFMEMORY 14
#define ERROR_INVALID_PARAMETER 87
#define ERROR_BAD_PATHNAME 161
#define ERROR_MORE_DATA 234
#define ERROR_NO_MORE_ITEMS 259
#define ERROR_KEY_DELETED 1018

LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM desired, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR class_name, DWORD options,
                     REGSAM desired, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD data_size);
LONG RegSetValueExA(HKEY key, LPCSTR value_name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD data_size);
LONG RegDeleteValueA(HKEY key, LPCSTR value_name);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved, LPSTR class_name,
                   LPDWORD class_size, PFILETIME last_write);
LONG RegDeleteKeyA(HKEY key, LPCSTR sub_key);
LONG RegCloseKey(HKEY key);

// Each of the eight calls can be made to fail through standin::FailCall under its own name. The
// failure comes before the call has any effect, with the code the platform gives for a refused
// access (ERROR_ACCESS_DENIED); RegEnumKeyExA fails with ERROR_KEY_DELETED, as on a key that
// another thread has just deleted. An injected RegCloseKey failure (ERROR_INVALID_HANDLE) still
// releases the handle: a key can be closed only once, whatever the close reported.

namespace standin {

// Keys opened or created and not yet closed, in the whole process.
int OpenKeyCount();

// Calls given a handle that is not open (closed already, or never opened): a double close shows
// here, as the platform's ERROR_INVALID_HANDLE answers cannot be seen from the outside.
int InvalidHandleCount();

// Empties the whole registry and forgets every open handle and both counts, so that each test
// starts from nothing.
void ResetRegistry();

// A value as stored: its type and the bytes of the data exactly as passed to RegSetValueExA, so
// that bytes.size() is the length given.
struct StoredValue {
    DWORD type;
    std::string bytes;
};

// The value `value_name` of the key `key_path` below HKEY_CURRENT_USER, read without any handle,
// or nothing when the key or the value does not exist.
std::optional<StoredValue> ReadStoredValue(std::string_view key_path, std::string_view value_name);

}  // namespace standin
