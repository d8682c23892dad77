// The store lock around the variable exports: the six set and get exports hold it in every
// deliverable; the two deletes hold it in KELPA_BASE and KELPA_LATTICE and take no lock at all in
// the other four. Each holder enters it once and leaves it once, on success and on failure alike.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "export_table.h"
#include "loaded_library.h"
#include "store_exports.h"
#include "win32_api.h"

namespace kelpa::test {
namespace {

using standin::LockEvent;
using standin::LockJournalEntry;

bool DeletesTakeStoreLock(std::string_view deliverable) {
    return deliverable == "KELPA_BASE" || deliverable == "KELPA_LATTICE";
}

class StoreLocks : public ::testing::TestWithParam<std::string_view> {
protected:
    void SetUp() override {
        standin::ResetRegistry();
        standin::StartLockJournal();
        library_ = std::make_unique<LoadedLibrary>(std::string(GetParam()));
        const auto created = standin::StopLockJournal();
        ASSERT_TRUE(library_->IsLoaded());
        // The operations lock is created first, the store lock second.
        ASSERT_EQ(created.size(), 2u);
        store_lock_ = created[1].section;
        store_ = std::make_unique<StoreExports>(*library_);
        ASSERT_TRUE(store_->AllResolved());
    }
    void TearDown() override { standin::ResetRegistry(); }

    // The lock events of one call, as "enter store lock", "leave store lock" or "other lock".
    std::vector<std::string> LocksTakenBy(const std::function<void()>& call) {
        standin::StartLockJournal();
        call();
        std::vector<std::string> taken;
        for (const LockJournalEntry& entry : standin::StopLockJournal()) {
            const std::string lock = entry.section == store_lock_ ? "store lock" : "other lock";
            taken.push_back((entry.event == LockEvent::Enter   ? "enter "
                             : entry.event == LockEvent::Leave ? "leave "
                                                               : "create or destroy ") +
                            lock);
        }
        return taken;
    }

    std::unique_ptr<LoadedLibrary> library_;
    std::unique_ptr<StoreExports> store_;
    const CRITICAL_SECTION* store_lock_ = nullptr;
};

const std::vector<std::string> kStoreLockOnce = {"enter store lock", "leave store lock"};

TEST_P(StoreLocks, SetAndGetExportsHoldTheStoreLockInEveryDeliverable) {
    const StoreExports& store = *store_;
    char buffer[64];
    const std::vector<std::pair<const char*, std::function<void(const char*)>>> exports = {
        {"PeltoSetInteger", [&](const char* path) { store.SetInteger(path, 1); }},
        {"PeltoGetInteger", [&](const char* path) { store.GetInteger(path); }},
        {"PeltoSetDouble", [&](const char* path) { store.SetDouble(path, 1.0); }},
        {"PeltoGetDouble", [&](const char* path) { store.GetDouble(path); }},
        {"PeltoSetString", [&](const char* path) { store.SetString(path, "x"); }},
        {"PeltoGetString",
         [&](const char* path) {
             std::string copy = path;
             store.get_string(copy.data(), buffer, sizeof buffer);
         }},
    };
    for (const auto& [name, call] : exports) {
        SCOPED_TRACE(name);
        // A call that succeeds, and one that fails early on an overlong path.
        EXPECT_EQ(LocksTakenBy([&] { call("prod\\counter"); }), kStoreLockOnce);
        EXPECT_EQ(LocksTakenBy([&] { call(std::string(300, 'v').c_str()); }), kStoreLockOnce);
    }
}

TEST_P(StoreLocks, DeletesHoldTheStoreLockOnlyWhereTheDeliverableSaysSo) {
    const std::vector<std::string> expected =
        DeletesTakeStoreLock(GetParam()) ? kStoreLockOnce : std::vector<std::string>{};
    ASSERT_EQ(store_->SetInteger("prod\\counter", 1), 0);
    EXPECT_EQ(LocksTakenBy([&] { EXPECT_EQ(store_->DeleteVar("prod\\counter"), 0); }), expected);
    EXPECT_EQ(LocksTakenBy([&] { EXPECT_EQ(store_->DeleteVar("prod\\counter"), -1); }), expected);
    EXPECT_EQ(LocksTakenBy([&] { EXPECT_EQ(store_->DeleteKey("prod"), 0); }), expected);
    EXPECT_EQ(LocksTakenBy([&] { EXPECT_EQ(store_->DeleteKey("prod"), -1); }), expected);
}

INSTANTIATE_TEST_SUITE_P(AllDeliverables, StoreLocks, ::testing::ValuesIn(kDeliverables),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace kelpa::test
