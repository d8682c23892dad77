// The eight variable exports of a loaded deliverable, typed as the expert programs call them, with
// helpers that pass a path in a string of the test's own, since every call may cut it.
#pragma once

#include <string>

#include "loaded_library.h"
#include "win32_api.h"

namespace kelpa::test {

class StoreExports {
public:
    explicit StoreExports(const LoadedLibrary& library)
        : set_integer(library.Export<SetIntegerFn>("PeltoSetInteger")),
          get_integer(library.Export<GetIntegerFn>("PeltoGetInteger")),
          set_double(library.Export<SetDoubleFn>("PeltoSetDouble")),
          get_double(library.Export<GetDoubleFn>("PeltoGetDouble")),
          set_string(library.Export<SetStringFn>("PeltoSetString")),
          get_string(library.Export<GetStringFn>("PeltoGetString")),
          delete_var(library.Export<DeleteVarFn>("PeltoDeleteVar")),
          delete_key(library.Export<DeleteKeyFn>("PeltoDeleteKey")) {}

    using SetIntegerFn = int(WINAPI*)(char* var_path, int value);
    using GetIntegerFn = int(WINAPI*)(char* var_path);
    using SetDoubleFn = int(WINAPI*)(char* var_path, double value);
    using GetDoubleFn = double(WINAPI*)(char* var_path);
    using SetStringFn = int(WINAPI*)(char* var_path, const char* text);
    using GetStringFn = int(WINAPI*)(char* var_path, char* text_buffer, int buffer_len);
    using DeleteVarFn = int(WINAPI*)(char* var_path);
    using DeleteKeyFn = int(WINAPI*)(const char* key_name);

    bool AllResolved() const {
        return set_integer && get_integer && set_double && get_double && set_string && get_string &&
               delete_var && delete_key;
    }

    int SetInteger(std::string path, int value) const { return set_integer(path.data(), value); }
    int GetInteger(std::string path) const { return get_integer(path.data()); }
    int SetDouble(std::string path, double value) const { return set_double(path.data(), value); }
    double GetDouble(std::string path) const { return get_double(path.data()); }
    int SetString(std::string path, const std::string& text) const {
        return set_string(path.data(), text.c_str());
    }
    int DeleteVar(std::string path) const { return delete_var(path.data()); }
    int DeleteKey(const std::string& key_name) const { return delete_key(key_name.c_str()); }

    // The text read into a buffer of 1024 bytes, more than any text the store gives back.
    std::string GetString(std::string path) const {
        char buffer[1024] = "unchanged";
        const int length = get_string(path.data(), buffer, sizeof buffer);
        return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string(buffer);
    }

    SetIntegerFn set_integer;
    GetIntegerFn get_integer;
    SetDoubleFn set_double;
    GetDoubleFn get_double;
    SetStringFn set_string;
    GetStringFn get_string;
    DeleteVarFn delete_var;
    DeleteKeyFn delete_key;
};

}  // namespace kelpa::test
