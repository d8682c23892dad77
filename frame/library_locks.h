// The two locks of one library image, and the guard that holds one for a scope.
//
// The operations lock serialises the product exports; the store lock serialises the variable
// exports and the web request. When both are needed (a member download), the operations lock is
// taken first and the store lock inside it, always in that order, so the two cannot deadlock.
// Each loaded deliverable has its own pair: two deliverables in one process never wait for
// each other.
#pragma once

#include "win32_api.h"

namespace kelpa::frame {

namespace detail {
// Static objects of the image: they live from process attach to process detach. Reached through
// the accessors below, which inline to the address itself, so that taking a lock costs no more
// than the critical section call.
extern CRITICAL_SECTION operations_lock;
extern CRITICAL_SECTION store_lock;
}  // namespace detail

inline CRITICAL_SECTION& OperationsLock() noexcept { return detail::operations_lock; }
inline CRITICAL_SECTION& StoreLock() noexcept { return detail::store_lock; }

// Holds a critical section from construction to destruction, so every return path releases it.
// A guard made with no lock holds nothing: for the exports whose locking is a deliverable setting.
class [[nodiscard]] LockGuard {
public:
    explicit LockGuard(CRITICAL_SECTION* lock) noexcept : lock_(lock) {
        if (lock_ != nullptr) {
            EnterCriticalSection(lock_);
        }
    }
    ~LockGuard() {
        if (lock_ != nullptr) {
            LeaveCriticalSection(lock_);
        }
    }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    CRITICAL_SECTION* lock_;
};

inline LockGuard HoldOperationsLock() noexcept { return LockGuard(&OperationsLock()); }
inline LockGuard HoldStoreLock() noexcept { return LockGuard(&StoreLock()); }

// Creates both locks (process attach) and destroys both (process detach), each time operations
// lock first.
void CreateLocks() noexcept;
void DestroyLocks() noexcept;

}  // namespace kelpa::frame
