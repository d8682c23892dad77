// The library entry with its locks compiled into this test, as into every deliverable: the test
// binary is attached on load like a library, and each test leaves it attached again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library_entry.h"
#include "library_locks.h"
#include "win32_api.h"

namespace kelpa::frame {
namespace {

using standin::LockEvent;
using standin::LockJournalEntry;

std::string Describe(const LockJournalEntry& entry) {
    std::string text = entry.event == LockEvent::Initialize ? "initialize "
                       : entry.event == LockEvent::Delete   ? "delete "
                       : entry.event == LockEvent::Enter    ? "enter "
                                                            : "leave ";
    text += entry.section == &OperationsLock() ? "operations lock"
            : entry.section == &StoreLock()    ? "store lock"
                                               : "another lock";
    return text;
}

// The lock calls made by one entry into the library, by reason.
std::vector<std::string> JournalOf(DWORD reason, BOOL* answer) {
    standin::StartLockJournal();
    *answer = OnLibraryEntry(reason);
    std::vector<std::string> described;
    for (const LockJournalEntry& entry : standin::StopLockJournal()) {
        described.push_back(Describe(entry));
    }
    return described;
}

class LibraryEntry : public ::testing::TestWithParam<DWORD> {};

TEST_P(LibraryEntry, ThreadNotificationsLeaveTheLocksUntouchedAndSucceed) {
    const int live_before = standin::LiveCriticalSectionCount();
    BOOL answer = FALSE;
    EXPECT_EQ(JournalOf(GetParam(), &answer), std::vector<std::string>{});
    EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(standin::LiveCriticalSectionCount(), live_before);
}

INSTANTIATE_TEST_SUITE_P(ThreadAttachAndDetach, LibraryEntry,
                         ::testing::Values(DWORD{DLL_THREAD_ATTACH}, DWORD{DLL_THREAD_DETACH}));

TEST(LibraryEntryProcess, DetachDeletesAndAttachCreatesOperationsLockFirst) {
    const int live_before = standin::LiveCriticalSectionCount();
    BOOL answer = FALSE;

    EXPECT_EQ(JournalOf(DLL_PROCESS_DETACH, &answer),
              (std::vector<std::string>{"delete operations lock", "delete store lock"}));
    EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(standin::LiveCriticalSectionCount(), live_before - 2);

    answer = FALSE;
    EXPECT_EQ(JournalOf(DLL_PROCESS_ATTACH, &answer),
              (std::vector<std::string>{"initialize operations lock", "initialize store lock"}));
    EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(standin::LiveCriticalSectionCount(), live_before);
}

}  // namespace
}  // namespace kelpa::frame
