// kernel32 stand-in: critical sections, and their test controls.
#pragma once

#include <cstddef>
#include <thread>
#include <vector>

#include "standin_types.h"

// A critical section as the product sees it: an opaque object it initialises, enters, leaves and
// deletes. Like the real one it may be entered again by the thread that holds it.
struct CRITICAL_SECTION {
    void* standin_lock;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);

namespace standin {

// Critical sections initialised and not yet deleted, in the whole process.
int LiveCriticalSectionCount();

// The critical sections the calling thread holds now, in the order it entered them.
std::vector<const CRITICAL_SECTION*> SectionsHeldByThisThread();

enum class LockEvent { Initialize, Delete, Enter, Leave };

struct LockJournalEntry {
    LockEvent event;
    const CRITICAL_SECTION* section;
    // The thread that made the call: a load test sees who held what.
    std::thread::id thread;
};

// The journal records every critical-section call while it is on, so that a test can see which
// locks an export took and in what order. An Enter is recorded once the section is held and a
// Leave before it is released, so the journal of one section never shows two holders at once. Off by default:
// load tests would only fill it.
void StartLockJournal();
std::vector<LockJournalEntry> StopLockJournal();

}  // namespace standin
