#include "library_locks.h"

namespace kelpa::frame {

CRITICAL_SECTION detail::operations_lock;
CRITICAL_SECTION detail::store_lock;

void CreateLocks() noexcept {
    InitializeCriticalSection(&detail::operations_lock);
    InitializeCriticalSection(&detail::store_lock);
}

void DestroyLocks() noexcept {
    DeleteCriticalSection(&detail::operations_lock);
    DeleteCriticalSection(&detail::store_lock);
}

}  // namespace kelpa::frame
