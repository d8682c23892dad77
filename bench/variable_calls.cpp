// The variable exports against the registry calls that each cannot avoid, made by the benchmark
// itself on the same key: create, set, close for a set; open, query, close for a get. Natively
// both reach the stand-in's registry, under Wine the real one.
#include <cstring>
#include <string>

#include "loaded_library.h"
#include "suites.h"
#include "win32_api.h"

namespace kelpa::bench {
namespace {

using SetDoubleFn = int(WINAPI*)(char* var_path, double value);
using GetDoubleFn = double(WINAPI*)(char* var_path);
using GetStringFn = int(WINAPI*)(char* var_path, char* text_buffer, int buffer_len);
using SetStringFn = int(WINAPI*)(char* var_path, const char* text);
using DeleteKeyFn = int(WINAPI*)(const char* key_name);

// The benchmark's variables, in a key of their own below the store's root key.
constexpr char kBenchKey[] = "kelpa_bench";
constexpr char kNumberPath[] = "kelpa_bench\\level";
constexpr char kTextPath[] = "kelpa_bench\\label";
constexpr char kKeyPath[] = "Software\\TORVANEXIAL\\kelpa_bench";
constexpr char kNumberName[] = "level";
constexpr char kTextName[] = "label";

constexpr double kNumber = 1.5;
constexpr char kNumberText[] = "1.500000";  // 1.5 as the store writes it
constexpr char kText[] = "a text of the benchmark";

// The store's own read areas: 128 bytes for a number's text, 260 for a string.
constexpr DWORD kNumberReadBytes = 128;
constexpr int kTextReadBytes = 260;

constexpr double kGoal = 1.10;

// Every export call cuts its path at the separator: each call gets a fresh copy, and so does each
// baseline call, so that both loops do the same work besides their calls.
template <std::size_t N>
struct PathCopy {
    explicit PathCopy(const char (&path)[N]) { std::memcpy(text, path, N); }
    char text[N];
};

bool SetNumberBareCalls() {
    PathCopy path(kNumberPath);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool set = RegSetValueExA(key, kNumberName, 0, REG_SZ, reinterpret_cast<const BYTE*>(kNumberText),
                                    sizeof kNumberText - 1) == ERROR_SUCCESS;
    return RegCloseKey(key) == ERROR_SUCCESS && set && path.text[0] != '\0';
}

// The registry may hand a text back with or without a terminating NUL, whichever way it was set.
template <std::size_t N>
bool IsText(const char* data, DWORD size, const char (&expected)[N]) {
    constexpr DWORD kLength = N - 1;
    return (size == kLength || (size == kLength + 1 && data[kLength] == '\0')) &&
           std::memcmp(data, expected, kLength) == 0;
}

template <std::size_t N, std::size_t P>
bool QueryBareCalls(const char (&variable_path)[P], const char* value_name, const char (&expected)[N],
                    DWORD read_bytes) {
    PathCopy path(variable_path);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    char text[kTextReadBytes];
    DWORD size = read_bytes;
    const bool read = RegQueryValueExA(key, value_name, nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                                       &size) == ERROR_SUCCESS;
    return RegCloseKey(key) == ERROR_SUCCESS && read && IsText(text, size, expected) && path.text[0] != '\0';
}

}  // namespace

void MeasureVariableCalls(const Pace& pace, Table& table) {
    constexpr char kSetBaseline[] = "RegCreateKeyExA + RegSetValueExA + RegCloseKey";
    constexpr char kGetBaseline[] = "RegOpenKeyExA + RegQueryValueExA + RegCloseKey";
    const test::LoadedLibrary base("KELPA_BASE");
    const auto set_double = base.Export<SetDoubleFn>("PeltoSetDouble");
    const auto get_double = base.Export<GetDoubleFn>("PeltoGetDouble");
    const auto get_string = base.Export<GetStringFn>("PeltoGetString");
    const auto set_string = base.Export<SetStringFn>("PeltoSetString");
    const auto delete_key = base.Export<DeleteKeyFn>("PeltoDeleteKey");
    if (!set_double || !get_double || !get_string || !set_string || !delete_key) {
        const char* why = "KELPA_BASE or one of its variable exports did not load";
        table.Fail("PeltoSetDouble", kSetBaseline, why);
        table.Fail("PeltoGetDouble", kGetBaseline, why);
        table.Fail("PeltoGetString", kGetBaseline, why);
        return;
    }
    // The variables the gets read, written once through the store itself.
    PathCopy number_path(kNumberPath);
    PathCopy text_path(kTextPath);
    if (set_double(number_path.text, kNumber) != 0 || set_string(text_path.text, kText) != 0) {
        const char* why = "the benchmark's variables could not be written";
        table.Fail("PeltoSetDouble", kSetBaseline, why);
        table.Fail("PeltoGetDouble", kGetBaseline, why);
        table.Fail("PeltoGetString", kGetBaseline, why);
        return;
    }

    table.Add("PeltoSetDouble (1.5)", kSetBaseline,
              TimeSideBySide(pace, BatchOf([set_double] {
                                 PathCopy path(kNumberPath);
                                 return set_double(path.text, kNumber) == 0;
                             }),
                             BatchOf([] { return SetNumberBareCalls(); })),
              kGoal);
    table.Add(
        "PeltoGetDouble", kGetBaseline,
        TimeSideBySide(
            pace, BatchOf([get_double] {
                PathCopy path(kNumberPath);
                return get_double(path.text) == kNumber;
            }),
            BatchOf([] { return QueryBareCalls(kNumberPath, kNumberName, kNumberText, kNumberReadBytes); })),
        kGoal);
    table.Add("PeltoGetString (260-byte buffer)", kGetBaseline,
              TimeSideBySide(
                  pace, BatchOf([get_string] {
                      PathCopy path(kTextPath);
                      char text[kTextReadBytes];
                      return get_string(path.text, text, sizeof text) == static_cast<int>(sizeof kText - 1);
                  }),
                  BatchOf([] { return QueryBareCalls(kTextPath, kTextName, kText, kTextReadBytes); })),
              kGoal);

    delete_key(kBenchKey);
}

}  // namespace kelpa::bench
