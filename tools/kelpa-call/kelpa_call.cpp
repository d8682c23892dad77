// kelpa-call: loads one of the libraries, calls one export by name with the arguments given on the
// command line, and prints the result and any text the export wrote.
//
//   kelpa-call KELPA_BASE.dll PeltoSetInteger "prod\level" 42
//   kelpa-call KELPA_BASE.dll PeltoGetString "prod\level" [buffer length]
//
// Exit codes: 0 the export was called; 1 the library or the export could not be found; 2 the
// command line does not fit the export (nothing is loaded or called).
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "call_arguments.h"

namespace {

using kelpa::call::CallArguments;
using kelpa::call::ExportShape;

constexpr int kExitCalled = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitUsage = 2;

// Frees the library on every path out of main.
class UniqueLibrary {
public:
    explicit UniqueLibrary(HMODULE module) : module_(module) {}
    UniqueLibrary(const UniqueLibrary&) = delete;
    UniqueLibrary& operator=(const UniqueLibrary&) = delete;
    ~UniqueLibrary() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

// An export as a function of its own type. Through void(*)() so that the compiler accepts the
// cast between unrelated function types.
template <typename Result, typename... Parameters>
Result Invoke(FARPROC proc, Parameters... values) {
    using Function = Result(WINAPI*)(Parameters...);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc))(values...);
}

template <std::size_t... Index>
int InvokeRule(FARPROC proc, int direction, const std::vector<double>& d, std::index_sequence<Index...>) {
    return Invoke<int>(proc, direction, d[Index]...);
}

template <std::size_t... Index>
int InvokeDoubles(FARPROC proc, const std::vector<double>& d, std::index_sequence<Index...>) {
    return Invoke<int>(proc, d[Index]...);
}

struct Outcome {
    bool known_shape = true;
    std::string result;
};

// Calls the export through a pointer of exactly its parameter list, so that the stdcall callee
// removes what the caller pushed.
Outcome Call(FARPROC proc, const ExportShape& shape, CallArguments& a) {
    const std::string_view p = shape.parameters;
    auto s = [&a](int index) { return a.strings[index].data(); };
    const auto& i = a.ints;
    const auto& d = a.doubles;
    if (shape.returns_double && p == "s") {
        return {true, kelpa::call::DoubleText(Invoke<double>(proc, s(0)))};
    }
    int result = 0;
    if (p == "s") {
        result = Invoke<int>(proc, s(0));
    } else if (p == "sd") {
        result = Invoke<int>(proc, s(0), d[0]);
    } else if (p == "si") {
        result = Invoke<int>(proc, s(0), i[0]);
    } else if (p == "ss") {
        result = Invoke<int>(proc, s(0), s(1));
    } else if (p == "ssi") {
        result = Invoke<int>(proc, s(0), s(1), i[0]);
    } else if (p == "sss") {
        result = Invoke<int>(proc, s(0), s(1), s(2));
    } else if (p == "sssi") {
        result = Invoke<int>(proc, s(0), s(1), s(2), i[0]);
    } else if (p == "ddddd") {
        result = InvokeDoubles(proc, d, std::make_index_sequence<5>{});
    } else if (p == "iddddddd") {
        result = InvokeRule(proc, i[0], d, std::make_index_sequence<7>{});
    } else if (p == "idddddddd") {
        result = InvokeRule(proc, i[0], d, std::make_index_sequence<8>{});
    } else if (p == "iddddddddd") {
        result = InvokeRule(proc, i[0], d, std::make_index_sequence<9>{});
    } else if (p == "iddddddddddddddd") {
        result = InvokeRule(proc, i[0], d, std::make_index_sequence<15>{});
    } else {
        return {false, {}};
    }
    return {true, std::to_string(result)};
}

int Usage(const char* message) {
    std::fflush(stdout);
    std::fprintf(stderr,
                 "kelpa-call: %s\n"
                 "usage: kelpa-call <library.dll> <export> <arguments...>\n"
                 "       kelpa-call --batch <file>   (one call a line, its words separated by tabs)\n"
                 "  for example: kelpa-call KELPA_BASE.dll PeltoGetString \"prod\\level\"\n",
                 message);
    return kExitUsage;
}

// One call: words[0] the library, words[1] the export, then its arguments.
int RunOne(const std::vector<std::string>& words) {
    if (words.size() < 2) {
        return Usage("a library and an export are needed");
    }
    const std::string& library = words[0];
    const std::string& name = words[1];
    const auto shape = kelpa::call::FindExport(name);
    if (!shape) {
        return Usage(("no library exports \"" + name + "\"").c_str());
    }
    std::vector<std::string_view> given(words.begin() + 2, words.end());
    auto parsed = kelpa::call::ParseArguments(*shape, given);
    if (!parsed.ok) {
        std::fflush(stdout);
        std::fprintf(stderr, "kelpa-call: %s\nusage: kelpa-call <library.dll> %s%s\n", parsed.error.c_str(),
                     name.c_str(), kelpa::call::UsageOf(*shape).c_str());
        return kExitUsage;
    }

    UniqueLibrary module(LoadLibraryA(library.c_str()));
    if (module.get() == nullptr) {
        std::fflush(stdout);
        std::fprintf(stderr, "kelpa-call: cannot load %s (error %lu)\n", library.c_str(), GetLastError());
        return kExitNotFound;
    }
    FARPROC proc = GetProcAddress(module.get(), name.c_str());
    if (proc == nullptr) {
        std::fflush(stdout);
        std::fprintf(stderr, "kelpa-call: %s does not export %s\n", library.c_str(), name.c_str());
        return kExitNotFound;
    }

    const Outcome outcome = Call(proc, *shape, parsed.arguments);
    if (!outcome.known_shape) {
        std::fflush(stdout);
        std::fprintf(stderr, "kelpa-call: no call shape for %s\n", name.c_str());
        return kExitNotFound;
    }
    std::printf("result: %s\n", outcome.result.c_str());
    if (shape->buffer_index >= 0) {
        int string_index = 0;
        for (int index = 0; index < shape->buffer_index; ++index) {
            string_index += shape->parameters[index] == 's' ? 1 : 0;
        }
        const std::string& buffer = parsed.arguments.strings[string_index];
        std::printf("text: \"%s\"\n", kelpa::call::PrintableText(buffer.c_str()).c_str());
    }
    std::fflush(stdout);
    return kExitCalled;
}

// Several calls from a file, one a line, the words of a line separated by tabs (so that a word
// may hold blanks). Before each call "--- call N" (N the line number), after it "--- exit C" (the
// exit code the call would have had on its own). The batch's own exit code is the highest of them.
int RunBatch(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return Usage((std::string("cannot read ") + path).c_str());
    }
    std::string text;
    char chunk[4096];
    for (std::size_t read; (read = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        text.append(chunk, read);
    }
    std::fclose(file);

    int worst = kExitCalled;
    int number = 0;
    for (const auto line_text : kelpa::call::SplitLines(text)) {
        ++number;
        const auto words = kelpa::call::SplitWords(line_text);
        if (words.empty()) {
            continue;
        }
        std::printf("--- call %d\n", number);
        std::fflush(stdout);
        const int code = RunOne(std::vector<std::string>(words.begin(), words.end()));
        std::printf("--- exit %d\n", code);
        std::fflush(stdout);
        worst = code > worst ? code : worst;
    }
    return worst;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--batch") {
        return RunBatch(argv[2]);
    }
    return RunOne(std::vector<std::string>(argv + 1, argv + argc));
}
