#include "library_locks.h"

namespace kelpa::frame {
namespace {

// Static objects of the image: they live from process attach to process detach.
CRITICAL_SECTION g_operations_lock;
CRITICAL_SECTION g_store_lock;

}  // namespace

CRITICAL_SECTION& OperationsLock() noexcept { return g_operations_lock; }
CRITICAL_SECTION& StoreLock() noexcept { return g_store_lock; }

void CreateLocks() noexcept {
    InitializeCriticalSection(&g_operations_lock);
    InitializeCriticalSection(&g_store_lock);
}

void DestroyLocks() noexcept {
    DeleteCriticalSection(&g_operations_lock);
    DeleteCriticalSection(&g_store_lock);
}

}  // namespace kelpa::frame
