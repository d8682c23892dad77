// Each entry rule holds its library's operations lock for the whole call and takes no other lock:
// one enter and one leave of the operations lock, on the path that answers 1 and on the path that
// answers 0 alike, so that a rule never leaves the lock held for the next caller.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "loaded_library.h"
#include "rule_call.h"
#include "win32_api.h"

namespace kelpa::test {
namespace {

using standin::LockEvent;
using standin::LockJournalEntry;

struct LockCase {
    std::string name;
    int direction;
    std::vector<double> values;
    int expected;
};

void PrintTo(const LockCase& row, std::ostream* out) { *out << row.name << " answering " << row.expected; }

// One call answering 1 and one answering 0 for every rule, under both names of the Riptide rules.
std::vector<LockCase> LockCases() {
    std::vector<LockCase> cases = {
        {"LATTICE2", 0, {1, 1, 1, 0, 0}, 1},
        {"LATTICE2", 0, {1, 1, 1, 1, 0}, 0},
        {"LATTICE3", 0, {1, 1, 1, 1, 0}, 1},
        {"LATTICE3", 0, {0, 1, 1, 1, 0}, 0},
        {"LADDER1", 1, {5, 5, 4, 5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 1},
        {"LADDER1", 0, {5, 5, 4, 5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0},
    };
    const LockCase riptide[] = {
        {"1", 1, {29, 50, 6.5, 1.5, 0.25, 0, 0}, 1},
        {"1", 0, {29, 50, 6.5, 1.5, 0.25, 0, 0}, 0},
        {"2", 0, {150, 120, 0, 6.5, 1.5, 0.25, 20, 0, 0}, 1},
        {"2", 1, {150, 120, 0, 6.5, 1.5, 0.25, 20, 0, 0}, 0},
        {"3", 1, {100, -200, -3.5, 1.5, 0.25, 20, 0, 0}, 1},
        {"3", 2, {100, -200, -3.5, 1.5, 0.25, 20, 0, 0}, 0},
        {"4", -1, {-10, 2, 1, 6.5, 1.5, 0.25, 20, 0, 0}, 1},
        {"4", 1, {-10, 2, 1, 6.5, 1.5, 0.25, 20, 0, 0}, 0},
    };
    for (const char* word : {"RIPTIDE", "UNDERTOW"}) {
        for (const LockCase& row : riptide) {
            cases.push_back({word + row.name, row.direction, row.values, row.expected});
        }
    }
    return cases;
}

// The journal of a call as names: which of the library's two locks each event concerns.
std::vector<std::string> Describe(const std::vector<LockJournalEntry>& journal,
                                  const CRITICAL_SECTION* operations_lock,
                                  const CRITICAL_SECTION* store_lock) {
    std::vector<std::string> described;
    for (const LockJournalEntry& entry : journal) {
        std::string text = entry.event == LockEvent::Enter   ? "enter "
                           : entry.event == LockEvent::Leave ? "leave "
                                                             : "initialize or delete ";
        text += entry.section == operations_lock ? "operations lock"
                : entry.section == store_lock    ? "store lock"
                                                 : "another lock";
        described.push_back(text);
    }
    return described;
}

const std::vector<std::string> kOperationsLockOnce = {"enter operations lock", "leave operations lock"};

// A deliverable loaded with the journal on: its first critical section is the operations lock,
// its second the store lock.
class RuleLocks : public ::testing::Test {
protected:
    void Load(std::string_view export_name) {
        const ExpectedExport* row = FindExport(export_name);
        ASSERT_NE(row, nullptr);
        standin::StartLockJournal();
        library_ = std::make_unique<LoadedLibrary>(std::string(row->deliverable));
        const auto journal = standin::StopLockJournal();
        ASSERT_TRUE(library_->IsLoaded());
        ASSERT_EQ(journal.size(), 2u) << "the library did not create its two locks on this load";
        ASSERT_EQ(journal[0].event, LockEvent::Initialize);
        ASSERT_EQ(journal[1].event, LockEvent::Initialize);
        operations_lock_ = journal[0].section;
        store_lock_ = journal[1].section;
        address_ = library_->ByName(std::string(export_name).c_str());
        ASSERT_NE(address_, nullptr);
    }

    std::vector<std::string> Held(const std::vector<LockJournalEntry>& journal) const {
        return Describe(journal, operations_lock_, store_lock_);
    }

    std::unique_ptr<LoadedLibrary> library_;
    const CRITICAL_SECTION* operations_lock_ = nullptr;
    const CRITICAL_SECTION* store_lock_ = nullptr;
    void* address_ = nullptr;
};

class RuleLocksByAnswer : public RuleLocks, public ::testing::WithParamInterface<LockCase> {};

TEST_P(RuleLocksByAnswer, HoldsTheOperationsLockOnceAndNothingElse) {
    const LockCase& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(Load(row.name));
    standin::StartLockJournal();
    const int answer = CallRule(address_, row.name, row.direction, row.values);
    const auto journal = standin::StopLockJournal();
    EXPECT_EQ(answer, row.expected);
    EXPECT_EQ(Held(journal), kOperationsLockOnce);
}

INSTANTIATE_TEST_SUITE_P(EveryRule, RuleLocksByAnswer, ::testing::ValuesIn(LockCases()),
                         [](const auto& info) {
                             return info.param.name + "_Answering" + std::to_string(info.param.expected);
                         });

// LATTICE1 always answers 1: its paths are a matching code, a code matching no row, and null
// pointers returning early.
TEST_F(RuleLocks, CurrencyDisplayHoldsTheOperationsLockOnceOnEveryPath) {
    ASSERT_NO_FATAL_FAILURE(Load("LATTICE1"));
    using Lattice1 = int(WINAPI*)(const char*, char*);
    const auto lattice1 = reinterpret_cast<Lattice1>(address_);
    char buffer[8] = {};
    struct Path {
        const char* code;
        char* buffer;
    };
    for (const Path& path :
         {Path{"USD", buffer}, Path{"usd", buffer}, Path{nullptr, buffer}, Path{"USD", nullptr}}) {
        SCOPED_TRACE(path.code == nullptr ? "null code" : path.buffer == nullptr ? "null buffer" : path.code);
        standin::StartLockJournal();
        const int answer = lattice1(path.code, path.buffer);
        const auto journal = standin::StopLockJournal();
        EXPECT_EQ(answer, 1);
        EXPECT_EQ(Held(journal), kOperationsLockOnce);
    }
}

}  // namespace
}  // namespace kelpa::test
