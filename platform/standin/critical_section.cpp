// Critical sections over a recursive mutex, with a count of live ones and an optional journal.
#include <atomic>
#include <mutex>

#include "standin_kernel.h"

namespace {

std::atomic<int> g_live_sections{0};

std::mutex g_journal_mutex;
bool g_journal_on = false;
std::vector<standin::LockJournalEntry> g_journal;

void Record(standin::LockEvent event, const CRITICAL_SECTION* section) {
    std::lock_guard<std::mutex> hold(g_journal_mutex);
    if (g_journal_on) {
        g_journal.push_back({event, section});
    }
}

std::recursive_mutex& LockOf(LPCRITICAL_SECTION section) {
    return *static_cast<std::recursive_mutex*>(section->standin_lock);
}

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    section->standin_lock = new std::recursive_mutex;
    ++g_live_sections;
    Record(standin::LockEvent::Initialize, section);
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    Record(standin::LockEvent::Delete, section);
    delete &LockOf(section);
    section->standin_lock = nullptr;
    --g_live_sections;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    LockOf(section).lock();
    Record(standin::LockEvent::Enter, section);
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    Record(standin::LockEvent::Leave, section);
    LockOf(section).unlock();
}

namespace standin {

int LiveCriticalSectionCount() { return g_live_sections.load(); }

void StartLockJournal() {
    std::lock_guard<std::mutex> hold(g_journal_mutex);
    g_journal.clear();
    g_journal_on = true;
}

std::vector<LockJournalEntry> StopLockJournal() {
    std::lock_guard<std::mutex> hold(g_journal_mutex);
    g_journal_on = false;
    return std::move(g_journal);
}

}  // namespace standin
