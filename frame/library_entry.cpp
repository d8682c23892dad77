#include "library_entry.h"

#include "library_locks.h"

namespace kelpa::frame {

BOOL OnLibraryEntry(DWORD reason) noexcept {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            CreateLocks();
            break;
        case DLL_PROCESS_DETACH:
            DestroyLocks();
            break;
        default:  // thread attach and detach: the locks stay as they are
            break;
    }
    return TRUE;
}

}  // namespace kelpa::frame

#ifdef _WIN32
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    return kelpa::frame::OnLibraryEntry(reason);
}
#else
// The Linux loader has no entry point with reasons: load and unload stand for process attach
// and detach.
namespace {
[[gnu::constructor]] void AttachNative() { kelpa::frame::OnLibraryEntry(DLL_PROCESS_ATTACH); }
[[gnu::destructor]] void DetachNative() { kelpa::frame::OnLibraryEntry(DLL_PROCESS_DETACH); }
}  // namespace
#endif
