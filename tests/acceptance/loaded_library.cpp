#include "loaded_library.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>

#include <fstream>
#include <regex>
#endif

namespace kelpa::test {
namespace {

// Where the deliverables are: the build's own folder, unless the environment names another (the
// test run loads the shipping DLLs of dist/ this way too).
std::string DeliverableDirectory() {
    const char* from_environment = std::getenv("KELPA_DELIVERABLE_DIR");
    return from_environment != nullptr ? from_environment : KELPA_DELIVERABLE_DIR;
}

}  // namespace

#ifdef _WIN32

LoadedLibrary::LoadedLibrary(std::string deliverable) : deliverable_(std::move(deliverable)) {
    const std::string path = DeliverableDirectory() + "\\" + deliverable_ + ".dll";
    handle_ = LoadLibraryA(path.c_str());
}

LoadedLibrary::~LoadedLibrary() {
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
    }
}

void* LoadedLibrary::ByName(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void* LoadedLibrary::ByOrdinal(int ordinal) const {
    return reinterpret_cast<void*>(
        GetProcAddress(static_cast<HMODULE>(handle_), MAKEINTRESOURCEA(static_cast<WORD>(ordinal))));
}

#else

LoadedLibrary::LoadedLibrary(std::string deliverable) : deliverable_(std::move(deliverable)) {
    const std::string path = DeliverableDirectory() + "/" + deliverable_ + ".so";
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

LoadedLibrary::~LoadedLibrary() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

void* LoadedLibrary::ByName(const char* name) const { return dlsym(handle_, name); }

// ELF has no ordinals: natively the deliverable's export definition maps the ordinal to its name,
// so that the same tests run on both platforms. Under Windows the loader resolves it for real.
void* LoadedLibrary::ByOrdinal(int ordinal) const {
    std::ifstream definition(std::string(KELPA_EXPORTS_DIR) + "/" + deliverable_ + ".def");
    const std::regex line_pattern(R"(^\s+([A-Za-z_][A-Za-z0-9_]*)\s+@([0-9]+)\s*$)");
    std::string line;
    while (std::getline(definition, line)) {
        std::smatch match;
        if (std::regex_match(line, match, line_pattern) && std::stoi(match[2]) == ordinal) {
            return ByName(match[1].str().c_str());
        }
    }
    return nullptr;
}

#endif

}  // namespace kelpa::test
