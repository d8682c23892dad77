// A deliverable loaded the way its callers load it: LoadLibraryA on Windows, dlopen natively.
#pragma once

#include <string>

namespace kelpa::test {

class LoadedLibrary {
public:
    explicit LoadedLibrary(std::string deliverable);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool IsLoaded() const { return handle_ != nullptr; }
    const std::string& Deliverable() const { return deliverable_; }

    // The export's address, or null when there is none of that name or ordinal.
    void* ByName(const char* name) const;
    void* ByOrdinal(int ordinal) const;

    template <class Function>
    Function Export(const char* name) const {
        return reinterpret_cast<Function>(ByName(name));
    }

private:
    std::string deliverable_;
    void* handle_ = nullptr;
};

}  // namespace kelpa::test
