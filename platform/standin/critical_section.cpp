// Critical sections over a recursive mutex, with a count of live ones and an optional journal.
#include <algorithm>
#include <atomic>
#include <mutex>

#include "standin_kernel.h"

namespace {

std::atomic<int> g_live_sections{0};

std::mutex g_journal_mutex;
bool g_journal_on = false;
std::vector<standin::LockJournalEntry> g_journal;

// The sections the calling thread holds, in the order it entered them (a re-entry counts again).
thread_local std::vector<const CRITICAL_SECTION*> t_held_sections;

void Record(standin::LockEvent event, const CRITICAL_SECTION* section) {
    std::lock_guard<std::mutex> hold(g_journal_mutex);
    if (g_journal_on) {
        g_journal.push_back({event, section, std::this_thread::get_id()});
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
    t_held_sections.push_back(section);
    Record(standin::LockEvent::Enter, section);
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    Record(standin::LockEvent::Leave, section);
    auto last = std::find(t_held_sections.rbegin(), t_held_sections.rend(), section);
    if (last != t_held_sections.rend()) {
        t_held_sections.erase(std::next(last).base());
    }
    LockOf(section).unlock();
}

namespace standin {

int LiveCriticalSectionCount() { return g_live_sections.load(); }

std::vector<const CRITICAL_SECTION*> SectionsHeldByThisThread() { return t_held_sections; }

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
