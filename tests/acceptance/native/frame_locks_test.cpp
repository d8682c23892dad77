// The frame's locks as the stand-in sees them: created on load and destroyed on unload, operations
// lock first each time, and taken and released by the exports that hold them.
#include <gtest/gtest.h>

#include <algorithm>

#include "loaded_library.h"
#include "win32_api.h"

namespace kelpa::test {
namespace {

using standin::LockEvent;
using standin::LockJournalEntry;

std::vector<const CRITICAL_SECTION*> SectionsWith(const std::vector<LockJournalEntry>& journal,
                                                  LockEvent event) {
    std::vector<const CRITICAL_SECTION*> sections;
    for (const LockJournalEntry& entry : journal) {
        if (entry.event == event) {
            sections.push_back(entry.section);
        }
    }
    return sections;
}

class FrameLocks : public ::testing::TestWithParam<const char*> {};

TEST_P(FrameLocks, LoadCreatesTwoLocksAndUnloadDestroysThemInTheSameOrder) {
    const int live_before = standin::LiveCriticalSectionCount();
    standin::StartLockJournal();
    {
        LoadedLibrary library(GetParam());
        ASSERT_TRUE(library.IsLoaded());
        EXPECT_EQ(standin::LiveCriticalSectionCount(), live_before + 2);
    }
    const auto journal = standin::StopLockJournal();
    EXPECT_EQ(standin::LiveCriticalSectionCount(), live_before);

    const auto created = SectionsWith(journal, LockEvent::Initialize);
    const auto destroyed = SectionsWith(journal, LockEvent::Delete);
    ASSERT_EQ(created.size(), 2u);
    EXPECT_NE(created[0], created[1]);
    // Operations lock created first and destroyed first.
    EXPECT_EQ(destroyed, created);
}

INSTANTIATE_TEST_SUITE_P(AllDeliverables, FrameLocks,
                         ::testing::Values("KELPA_BASE", "KELPA_LATTICE", "KELPA_COURIER", "KELPA_RIPTIDE",
                                           "KELPA_UNDERTOW", "KELPA_LADDER2"));

}  // namespace
}  // namespace kelpa::test
