// The variable path split and the eight variable exports against the stand-in registry, with
// paths, texts and numbers of the fuzzer's choosing: any length, any bytes.
//
// Each input is a sequence of export calls on a fresh registry. After every call: no key is left
// open and none was closed twice; the caller's path was cut exactly at its separator, or left as
// it was when the path is refused, and no byte past its NUL was touched; PeltoGetString wrote
// nothing at or past `buffer_len`. Where a round trip must hold it is checked: a variable that was
// set reads back as written, as text and as a number, and one that was deleted reads as missing.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "export.h"
#include "number_text.h"
#include "variable_path.h"
#include "win32_api.h"

KELPA_EXPORT int WINAPI PeltoSetInteger(char* var_path, int value) noexcept;
KELPA_EXPORT int WINAPI PeltoGetInteger(char* var_path) noexcept;
KELPA_EXPORT int WINAPI PeltoSetDouble(char* var_path, double value) noexcept;
KELPA_EXPORT double WINAPI PeltoGetDouble(char* var_path) noexcept;
KELPA_EXPORT int WINAPI PeltoSetString(char* var_path, const char* text) noexcept;
KELPA_EXPORT int WINAPI PeltoGetString(char* var_path, char* text_buffer, int buffer_len) noexcept;
KELPA_EXPORT int WINAPI PeltoDeleteVar(char* var_path) noexcept;
KELPA_EXPORT int WINAPI PeltoDeleteKey(const char* key_name) noexcept;

namespace {

using kelpa::store::kMaxKeyPartLength;
using kelpa::store::kMaxValueNameLength;

constexpr std::size_t kGuardBytes = 64;
constexpr char kGuardPattern = '\xA5';
// PeltoGetString reads through 260 bytes: a text of up to 259 characters comes back.
constexpr std::size_t kMaxStringRead = 259;
// A caller buffer larger than any text the store gives back.
constexpr int kRoomyBuffer = 1024;
constexpr std::size_t kMaxCallsPerInput = 64;

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// A caller's string: the fuzzer's bytes (NUL bytes included, so the text ends at the first one),
// a NUL, then guard bytes that no export may touch.
class CallerString {
public:
    explicit CallerString(const std::string& bytes) : bytes_(bytes) {
        bytes_.push_back('\0');
        bytes_.append(kGuardBytes, kGuardPattern);
        original_ = bytes_;
    }
    char* Data() { return bytes_.data(); }
    // The text as the export sees it: up to the first NUL.
    std::string Text() const { return std::string(original_.c_str()); }

    // The path must be cut at its separator when the export accepts it, and be left whole when it
    // refuses it; nothing else may change.
    void ExpectCut(bool accepted) const {
        std::string expected = original_;
        if (accepted) {
            if (const std::size_t separator = Separator(Text()); separator != std::string::npos) {
                expected[separator] = '\0';
            }
        }
        Check(bytes_ == expected);
    }
    void ExpectUnchanged() const { Check(bytes_ == original_); }

    // The last backslash that is not the first character, or npos.
    static std::size_t Separator(const std::string& path) {
        const std::size_t at = path.find_last_of('\\');
        return at == 0 ? std::string::npos : at;
    }

    // Whether the store takes the path: a key part and a value name within their areas.
    static bool Fits(const std::string& path) {
        const std::size_t separator = Separator(path);
        if (separator == std::string::npos) {
            return path.size() <= kMaxValueNameLength;
        }
        return separator <= kMaxKeyPartLength && path.size() - separator - 1 <= kMaxValueNameLength;
    }

private:
    std::string bytes_;
    std::string original_;
};

void ExpectNoKeyLeftOpen() {
    Check(standin::OpenKeyCount() == 0);
    Check(standin::InvalidHandleCount() == 0);
}

// Reads the variable as text into a caller buffer said to hold `buffer_len` bytes, and checks
// that nothing at or past that length was written. Gives the result and the text, if any.
int ReadString(const std::string& path, int buffer_len, std::string* text) {
    const std::size_t room = static_cast<std::size_t>(std::clamp(buffer_len, 0, kRoomyBuffer));
    std::string buffer(room + kGuardBytes, kGuardPattern);
    CallerString caller(path);
    const int result = PeltoGetString(caller.Data(), buffer.data(), buffer_len);
    Check(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(room), buffer.end(),
                      [](char byte) { return byte == kGuardPattern; }));
    if (room > 0) {
        // Emptied whatever the outcome; the text only when it was copied.
        const bool copied = result > 0 && result < buffer_len;
        Check(copied || buffer[0] == '\0');
        if (copied) {
            Check(buffer[static_cast<std::size_t>(result)] == '\0');
            *text = std::string(buffer.data(), static_cast<std::size_t>(result));
        }
    }
    caller.ExpectCut(CallerString::Fits(caller.Text()));
    ExpectNoKeyLeftOpen();
    return result;
}

// The text a stored variable reads back as, through a buffer with room for all of it: the text,
// or empty when nothing could be read.
std::string ReadBack(const std::string& path) {
    std::string text;
    const int result = ReadString(path, kRoomyBuffer, &text);
    Check(result == static_cast<int>(text.size()));
    return text;
}

// The text the store keeps for `text`: it comes back whole when it fits the 260-byte read buffer.
std::string Readable(const std::string& text) { return text.size() <= kMaxStringRead ? text : std::string(); }

std::string Formatted(const char* format, auto value) {
    char area[512];
    std::snprintf(area, sizeof area, format, value);
    return area;
}

void SetString(const std::string& path, const std::string& text_bytes) {
    CallerString caller(path);
    CallerString text(text_bytes);
    const int result = PeltoSetString(caller.Data(), text.Data());
    ExpectNoKeyLeftOpen();
    text.ExpectUnchanged();
    const bool fits = CallerString::Fits(caller.Text());
    caller.ExpectCut(fits);
    Check(result == (fits ? 0 : -1));
    if (result == 0) {
        Check(ReadBack(path) == Readable(text.Text()));
    }
}

void SetInteger(const std::string& path, int value) {
    CallerString caller(path);
    const int result = PeltoSetInteger(caller.Data(), value);
    ExpectNoKeyLeftOpen();
    const bool fits = CallerString::Fits(caller.Text());
    caller.ExpectCut(fits);
    Check(result == (fits ? 0 : -1));
    if (result == 0) {
        Check(ReadBack(path) == Formatted("%d", value));
        CallerString again(path);
        Check(PeltoGetInteger(again.Data()) == value);
    }
}

void SetDouble(const std::string& path, double value) {
    CallerString caller(path);
    const int result = PeltoSetDouble(caller.Data(), value);
    ExpectNoKeyLeftOpen();
    const std::string text = Formatted("%f", value);
    const bool stored_form_fits = std::isfinite(value) && text.size() <= kelpa::store::kMaxNumberTextLength;
    const bool fits = CallerString::Fits(caller.Text()) && stored_form_fits;
    // A value without a stored form is refused before the path is split.
    caller.ExpectCut(fits);
    Check(result == (fits ? 0 : -1));
    if (result == 0) {
        Check(ReadBack(path) == text);
        CallerString again(path);
        Check(PeltoGetDouble(again.Data()) == std::strtod(text.c_str(), nullptr));
    }
}

void DeleteVar(const std::string& path) {
    CallerString caller(path);
    const int result = PeltoDeleteVar(caller.Data());
    ExpectNoKeyLeftOpen();
    Check(result == 0 || result == -1);
    caller.ExpectCut(CallerString::Fits(caller.Text()));
    if (result == 0) {
        Check(ReadBack(path).empty());
        CallerString again(path);
        Check(PeltoDeleteVar(again.Data()) == -1);
    }
}

void DeleteKey(const std::string& name) {
    CallerString caller(name);
    const int result = PeltoDeleteKey(caller.Data());
    ExpectNoKeyLeftOpen();
    Check(result == 0 || result == -1);
    caller.ExpectUnchanged();
    // The empty name would be the root key itself: refused.
    if (caller.Text().empty()) {
        Check(result == -1);
    }
}

// One call: the letter of the export, the path (or key name), and after a TAB the argument.
struct Call {
    char letter;
    std::string path;
    std::string argument;
};

// The input is one call per line, so that corpus entries read as what they do:
//   s<path>TAB<text>   PeltoSetString, then the text read back
//   i<path>TAB<int>    PeltoSetInteger, then the text and the number read back
//   d<path>TAB<double> PeltoSetDouble (strtod's forms, "inf" and "nan" included), likewise
//   g<path>TAB<len>    PeltoGetString with buffer_len <len>
//   n<path>            PeltoGetInteger and PeltoGetDouble
//   v<path>            PeltoDeleteVar, then the variable read back as missing
//   k<name>            PeltoDeleteKey
// Paths and texts hold any bytes but LF and TAB, NUL included (the export sees the part before it).
std::vector<Call> ParseCalls(std::string_view input) {
    std::vector<Call> calls;
    while (!input.empty() && calls.size() < kMaxCallsPerInput) {
        const std::size_t line_end = std::min(input.find('\n'), input.size());
        const std::string_view line = input.substr(0, line_end);
        input.remove_prefix(std::min(line_end + 1, input.size()));
        if (line.empty()) {
            continue;
        }
        const std::string_view rest = line.substr(1);
        const std::size_t tab = std::min(rest.find('\t'), rest.size());
        calls.push_back(Call{line[0], std::string(rest.substr(0, tab)),
                             std::string(rest.substr(std::min(tab + 1, rest.size())))});
    }
    return calls;
}

int IntegerArgument(const std::string& text) {
    return static_cast<int>(std::strtoll(text.c_str(), nullptr, 10));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    standin::ResetRegistry();
    for (const Call& call : ParseCalls(std::string_view(reinterpret_cast<const char*>(data), size))) {
        switch (call.letter) {
            case 's':
                SetString(call.path, call.argument);
                break;
            case 'i':
                SetInteger(call.path, IntegerArgument(call.argument));
                break;
            case 'd':
                SetDouble(call.path, std::strtod(call.argument.c_str(), nullptr));
                break;
            case 'g': {
                std::string text;
                const int result = ReadString(call.path, IntegerArgument(call.argument), &text);
                Check(result >= 0 && result <= static_cast<int>(kMaxStringRead) + 1);
                break;
            }
            case 'n': {
                CallerString integer_path(call.path);
                PeltoGetInteger(integer_path.Data());
                integer_path.ExpectCut(CallerString::Fits(integer_path.Text()));
                CallerString double_path(call.path);
                PeltoGetDouble(double_path.Data());
                double_path.ExpectCut(CallerString::Fits(double_path.Text()));
                ExpectNoKeyLeftOpen();
                break;
            }
            case 'v':
                DeleteVar(call.path);
                break;
            case 'k':
                DeleteKey(call.path);
                break;
            default:
                break;
        }
    }
    standin::ResetRegistry();
    return 0;
}
