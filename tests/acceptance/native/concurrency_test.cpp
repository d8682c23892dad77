// The locks under load, as the stand-in's lock journal shows them: several threads call every
// export of one library at once, and the journal, which names the thread of each event, must
// show that no lock ever had two holders, that no thread took the operations lock while holding
// the store lock, and that each thread entered each lock exactly as often as its calls hold it:
// the deletes under the store lock in KELPA_BASE and KELPA_LATTICE and under no lock elsewhere.
// A member download whose connection fails (natively nothing listens on port 80) runs alongside,
// so that the one nesting, operations lock then store lock, happens under load too.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "export_table.h"
#include "library_load.h"
#include "loaded_library.h"
#include "parallel.h"
#include "web_calls.h"
#include "win32_api.h"

namespace kelpa::test {
namespace {

using standin::LockEvent;
using standin::LockJournalEntry;

constexpr int kThreads = 4;
constexpr int kRounds = 200;
constexpr int kMemberDownloads = 20;

bool DeletesTakeStoreLock(std::string_view deliverable) {
    return deliverable == "KELPA_BASE" || deliverable == "KELPA_LATTICE";
}

struct LockCounts {
    int store = 0;
    int operations = 0;
    int nested = 0;  // store lock entered while holding the operations lock
};

// Walks the journal: every breach of exclusion or order is added to `breaches`; gives each
// thread's count of entries into each lock.
std::map<std::thread::id, LockCounts> Examine(const std::vector<LockJournalEntry>& journal,
                                              const CRITICAL_SECTION* operations_lock,
                                              const CRITICAL_SECTION* store_lock,
                                              std::vector<std::string>& breaches) {
    struct Holding {
        std::thread::id owner;
        int depth = 0;
    };
    std::map<const CRITICAL_SECTION*, Holding> holders;
    std::map<std::thread::id, std::vector<const CRITICAL_SECTION*>> held;
    std::map<std::thread::id, LockCounts> counts;
    for (std::size_t at = 0; at < journal.size(); ++at) {
        const LockJournalEntry& entry = journal[at];
        if (entry.section != operations_lock && entry.section != store_lock) {
            continue;
        }
        const std::string where = " at event " + std::to_string(at);
        const std::string lock = entry.section == store_lock ? "the store lock" : "the operations lock";
        Holding& holding = holders[entry.section];
        std::vector<const CRITICAL_SECTION*>& stack = held[entry.thread];
        if (entry.event == LockEvent::Enter) {
            if (holding.depth > 0) {
                breaches.push_back(
                    lock + (holding.owner == entry.thread ? " entered again" : " had two holders") + where);
            }
            if (entry.section == operations_lock && !stack.empty()) {
                breaches.push_back("the operations lock taken inside the store lock" + where);
            }
            LockCounts& count = counts[entry.thread];
            if (entry.section == store_lock) {
                ++count.store;
                count.nested += stack.empty() ? 0 : 1;
            } else {
                ++count.operations;
            }
            holding.owner = entry.thread;
            ++holding.depth;
            stack.push_back(entry.section);
        } else if (entry.event == LockEvent::Leave) {
            if (holding.depth == 0 || holding.owner != entry.thread || stack.empty() ||
                stack.back() != entry.section) {
                breaches.push_back(lock + " left by a thread that did not hold it last" + where);
            } else {
                --holding.depth;
                stack.pop_back();
            }
        }
    }
    for (const auto& [section, holding] : holders) {
        if (holding.depth != 0) {
            breaches.push_back("a lock still held when the load ended");
        }
    }
    return counts;
}

class ConcurrentLocks : public ::testing::TestWithParam<std::string_view> {
protected:
    void SetUp() override {
        standin::ResetRegistry();
        standin::TakeMessageBoxes();
        standin::StartLockJournal();
        library_ = std::make_unique<LoadedLibrary>(std::string(GetParam()));
        for (const LockJournalEntry& entry : standin::StopLockJournal()) {
            if (entry.event == LockEvent::Initialize) {
                created_.push_back(entry.section);
            }
        }
        ASSERT_TRUE(library_->IsLoaded());
        ASSERT_EQ(created_.size(), 2u);  // the operations lock, then the store lock
    }
    void TearDown() override {
        standin::TakeMessageBoxes();
        standin::ResetRegistry();
    }

    std::unique_ptr<LoadedLibrary> library_;
    std::vector<const CRITICAL_SECTION*> created_;
};

TEST_P(ConcurrentLocks, ExcludeAndNestAsTheDeliverableSpecifies) {
    LibraryLoad load(*library_);
    ASSERT_TRUE(load.Ready());
    load.LearnRuleAnswers();
    const auto courier1 = library_->Export<Courier1Export>("COURIER1");

    std::vector<std::vector<std::string>> errors(kThreads);
    std::vector<LoadTally> tallies(kThreads);
    std::vector<std::thread::id> ids(kThreads + 1);
    int downloads_answered = 0;
    standin::StartLockJournal();
    RunOnThreads(kThreads + 1, [&](int thread) {
        ids[static_cast<std::size_t>(thread)] = std::this_thread::get_id();
        if (thread < kThreads) {
            tallies[thread] = load.RunThread(thread, kRounds, errors[static_cast<std::size_t>(thread)]);
            return;
        }
        for (int call = 0; courier1 != nullptr && call < kMemberDownloads; ++call) {
            CallerBuffer buffer;
            downloads_answered += courier1(buffer.Data(), "GOLD", "doc.txt") == 0 ? 1 : 0;
        }
    });
    const std::vector<LockJournalEntry> journal = standin::StopLockJournal();

    for (const std::vector<std::string>& thread_errors : errors) {
        EXPECT_TRUE(thread_errors.empty())
            << thread_errors.size() << " mismatches, first: " << thread_errors[0];
    }
    std::vector<std::string> breaches;
    std::map<std::thread::id, LockCounts> counts = Examine(journal, created_[0], created_[1], breaches);
    EXPECT_TRUE(breaches.empty()) << breaches.size() << " breaches, first: " << breaches[0];

    const bool deletes_locked = DeletesTakeStoreLock(GetParam());
    for (int thread = 0; thread < kThreads; ++thread) {
        SCOPED_TRACE("thread " + std::to_string(thread));
        const LoadTally& tally = tallies[thread];
        const LockCounts& count = counts[ids[static_cast<std::size_t>(thread)]];
        EXPECT_EQ(count.store, tally.store_lock_calls + (deletes_locked ? tally.delete_calls : 0));
        EXPECT_EQ(count.operations, tally.operations_lock_calls);
        EXPECT_EQ(count.nested, 0);
    }
    // The member downloads: each took the operations lock and the store lock inside it, and showed
    // the connection message box.
    const LockCounts& downloads = counts[ids[kThreads]];
    const int expected_downloads = courier1 != nullptr ? kMemberDownloads : 0;
    EXPECT_EQ(downloads_answered, expected_downloads);
    EXPECT_EQ(downloads.operations, expected_downloads);
    EXPECT_EQ(downloads.store, expected_downloads);
    EXPECT_EQ(downloads.nested, expected_downloads);
    EXPECT_EQ(standin::TakeMessageBoxes().size(), static_cast<std::size_t>(expected_downloads));
}

INSTANTIATE_TEST_SUITE_P(AllDeliverables, ConcurrentLocks, ::testing::ValuesIn(kDeliverables),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace kelpa::test
