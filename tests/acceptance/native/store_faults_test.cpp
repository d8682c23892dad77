// The variable exports when a registry call fails: every failure of create, set, open, query,
// delete, enumeration and close gives the export's documented answer, leaves the registry in the
// state the failure explains, and closes every key that was opened, exactly once.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <tuple>

#include "export_table.h"
#include "loaded_library.h"
#include "registry_view.h"
#include "store_exports.h"
#include "win32_api.h"

namespace kelpa::test {
namespace {

// A deliverable on a fresh stand-in registry with no failures planned. When it ends, every key
// that was opened has been closed, and none twice, whatever failed on the way.
class StandInStore {
public:
    explicit StandInStore(std::string_view deliverable)
        : library_(std::string(deliverable)), store_(library_) {
        standin::ResetRegistry();
        standin::ClearFailures();
    }
    ~StandInStore() {
        standin::ClearFailures();
        ExpectEveryKeyClosedOnce();
        standin::ResetRegistry();
    }
    StandInStore(const StandInStore&) = delete;
    StandInStore& operator=(const StandInStore&) = delete;

    static void ExpectEveryKeyClosedOnce() {
        EXPECT_EQ(standin::OpenKeyCount(), 0);
        EXPECT_EQ(standin::InvalidHandleCount(), 0);
    }

    bool IsReady() const { return library_.IsLoaded() && store_.AllResolved(); }
    const StoreExports& Exports() const { return store_; }

private:
    LoadedLibrary library_;
    StoreExports store_;
};

// The store's own code is the same in every deliverable; these run on one of them.
class StoreWithStandIn : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session_.IsReady()); }

    StandInStore session_{"KELPA_RIPTIDE"};
    const StoreExports& store_ = session_.Exports();
};

// The length handed to the registry is the text's length: no NUL is stored.
TEST_F(StoreWithStandIn, TheDataPassedAreTheTextWithoutItsNul) {
    for (const std::string& text : {std::string(), std::string("abc"), std::string(300, 'x')}) {
        SCOPED_TRACE(text.size());
        ASSERT_EQ(store_.SetString("prod\\note", text), 0);
        const auto stored = standin::ReadStoredValue("Software\\TORVANEXIAL\\prod", "note");
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(stored->bytes, text);
    }
    ASSERT_EQ(store_.SetDouble("level", 0.5), 0);
    EXPECT_EQ(standin::ReadStoredValue("Software\\TORVANEXIAL", "level")->bytes, "0.500000");
}

struct FaultCase {
    const char* name;
    const char* failing_call;
    int skip;   // successful calls of it before the failure
    int times;  // failing calls, -1 for all that follow
    std::function<double(const StoreExports&)> call;
    double expected;
    std::function<void(const StoreExports&)> expect_after;
};

void PrintTo(const FaultCase& row, std::ostream* out) { *out << row.name; }

// Before each case: the variable prod\counter holds 5, and the key tree holds values in a, in its
// subkey a\deep, and in b.
void Arrange(const StoreExports& store) {
    ASSERT_EQ(store.SetInteger("prod\\counter", 5), 0);
    ASSERT_EQ(store.SetInteger("tree\\a\\value", 1), 0);
    ASSERT_EQ(store.SetInteger("tree\\a\\deep\\value", 2), 0);
    ASSERT_EQ(store.SetInteger("tree\\b\\value", 3), 0);
}

void ExpectTreeWhole(const StoreExports&) {
    EXPECT_TRUE(KeyExists(StorePath("tree\\a\\deep")));
    EXPECT_TRUE(KeyExists(StorePath("tree\\b")));
}

void ExpectCounterUntouched(const StoreExports& store) { EXPECT_EQ(store.GetInteger("prod\\counter"), 5); }

// The string read into a buffer that held other text: the answer, or -99 when the buffer was not
// left empty on a failed read.
double ReadStringExpectingEmpty(const StoreExports& store) {
    char path[] = "prod\\counter";
    char buffer[32] = "old";
    const int result = store.get_string(path, buffer, sizeof buffer);
    return result == 0 && buffer[0] != '\0' ? -99 : result;
}

const FaultCase kFaultCases[] = {
    {"SetCreateFails", "RegCreateKeyExA", 0, 1,
     [](const StoreExports& s) { return s.SetInteger("new\\counter", 7); }, -1,
     [](const StoreExports&) { EXPECT_FALSE(KeyExists(StorePath("new"))); }},
    // The key created before the failure stays.
    {"SetValueFails", "RegSetValueExA", 0, 1,
     [](const StoreExports& s) { return s.SetDouble("new\\level", 1.5); }, -1,
     [](const StoreExports&) {
         EXPECT_TRUE(KeyExists(StorePath("new")));
         EXPECT_FALSE(QueryValue(StorePath("new"), "level").has_value());
     }},
    {"SetStringValueFails", "RegSetValueExA", 0, 1,
     [](const StoreExports& s) { return s.SetString("prod\\counter", "9"); }, -1, ExpectCounterUntouched},
    // The value went in, but a key that does not close is no stored variable to report.
    {"SetCloseFails", "RegCloseKey", 0, 1,
     [](const StoreExports& s) { return s.SetInteger("prod\\counter", 7); }, -1,
     [](const StoreExports& s) { EXPECT_EQ(s.GetInteger("prod\\counter"), 7); }},
    {"GetIntegerOpenFails", "RegOpenKeyExA", 0, 1,
     [](const StoreExports& s) { return s.GetInteger("prod\\counter"); }, 0, ExpectCounterUntouched},
    {"GetIntegerQueryFails", "RegQueryValueExA", 0, 1,
     [](const StoreExports& s) { return s.GetInteger("prod\\counter"); }, 0, ExpectCounterUntouched},
    {"GetIntegerCloseFails", "RegCloseKey", 0, 1,
     [](const StoreExports& s) { return s.GetInteger("prod\\counter"); }, 0, ExpectCounterUntouched},
    {"GetDoubleQueryFails", "RegQueryValueExA", 0, 1,
     [](const StoreExports& s) { return s.GetDouble("prod\\counter"); }, 0.0, ExpectCounterUntouched},
    {"GetDoubleCloseFails", "RegCloseKey", 0, 1,
     [](const StoreExports& s) { return s.GetDouble("prod\\counter"); }, 0.0, ExpectCounterUntouched},
    {"GetStringOpenFails", "RegOpenKeyExA", 0, 1, ReadStringExpectingEmpty, 0, ExpectCounterUntouched},
    {"GetStringQueryFails", "RegQueryValueExA", 0, 1, ReadStringExpectingEmpty, 0, ExpectCounterUntouched},
    {"GetStringCloseFails", "RegCloseKey", 0, 1, ReadStringExpectingEmpty, 0, ExpectCounterUntouched},
    {"DeleteVarOpenFails", "RegOpenKeyExA", 0, 1,
     [](const StoreExports& s) { return s.DeleteVar("prod\\counter"); }, -1, ExpectCounterUntouched},
    {"DeleteVarDeleteFails", "RegDeleteValueA", 0, 1,
     [](const StoreExports& s) { return s.DeleteVar("prod\\counter"); }, -1, ExpectCounterUntouched},
    // The answer is the deletion's: the value is gone whatever the close then said.
    {"DeleteVarCloseFails", "RegCloseKey", 0, 1,
     [](const StoreExports& s) { return s.DeleteVar("prod\\counter"); }, 0,
     [](const StoreExports& s) { EXPECT_EQ(s.DeleteVar("prod\\counter"), -1); }},
    {"DeleteKeyRootOpenFails", "RegOpenKeyExA", 0, 1,
     [](const StoreExports& s) { return s.DeleteKey("tree"); }, -1, ExpectTreeWhole},
    // Nothing below the key is enumerated, so the key, which still has subkeys, cannot go.
    {"DeleteKeyTreeOpenFails", "RegOpenKeyExA", 1, 1,
     [](const StoreExports& s) { return s.DeleteKey("tree"); }, -1, ExpectTreeWhole},
    // A leaf that cannot be opened has nothing to enumerate and is deleted all the same.
    {"DeleteKeyLeafOpenFails", "RegOpenKeyExA", 3, 1,
     [](const StoreExports& s) { return s.DeleteKey("tree"); }, 0,
     [](const StoreExports&) { EXPECT_FALSE(KeyExists(StorePath("tree"))); }},
    {"DeleteKeyFirstEnumFails", "RegEnumKeyExA", 0, 1,
     [](const StoreExports& s) { return s.DeleteKey("tree"); }, -1, ExpectTreeWhole},
    {"DeleteKeyInnerEnumFails", "RegEnumKeyExA", 1, 1,
     [](const StoreExports& s) { return s.DeleteKey("tree"); }, -1, ExpectTreeWhole},
    // The deepest key stays at index 0 of its parent: the walk stops instead of asking for it for
    // ever, and the failure reaches the caller.
    {"DeleteKeySubkeyCannotBeDeleted", "RegDeleteKeyA", 0, 1,
     [](const StoreExports& s) { return s.DeleteKey("tree"); }, -1, ExpectTreeWhole},
    {"DeleteKeyNothingCanBeDeleted", "RegDeleteKeyA", 0, -1,
     [](const StoreExports& s) { return s.DeleteKey("tree"); }, -1, ExpectTreeWhole},
    // Subkeys removed before the failure stay removed.
    {"DeleteKeySecondDeletionFails", "RegDeleteKeyA", 1, 1,
     [](const StoreExports& s) { return s.DeleteKey("tree"); }, -1,
     [](const StoreExports&) {
         EXPECT_FALSE(KeyExists(StorePath("tree\\a\\deep")));
         EXPECT_TRUE(KeyExists(StorePath("tree\\a")));
         EXPECT_TRUE(KeyExists(StorePath("tree\\b")));
     }},
    // The answer is the removal's: closes that fail change nothing about it.
    {"DeleteKeyClosesFail", "RegCloseKey", 0, -1, [](const StoreExports& s) { return s.DeleteKey("tree"); },
     0, [](const StoreExports&) { EXPECT_FALSE(KeyExists(StorePath("tree"))); }},
};

class StoreFaults : public ::testing::TestWithParam<std::tuple<std::string_view, FaultCase>> {
protected:
    void SetUp() override { ASSERT_TRUE(session_.IsReady()); }

    StandInStore session_{std::get<0>(GetParam())};
    const StoreExports& store_ = session_.Exports();
};

TEST_P(StoreFaults, AFailingRegistryCallGivesTheDocumentedAnswerAndClosesEveryKey) {
    const FaultCase& row = std::get<1>(GetParam());
    Arrange(store_);
    ASSERT_FALSE(HasFatalFailure());
    standin::FailCall(row.failing_call, row.skip, row.times);
    EXPECT_EQ(row.call(store_), row.expected);
    standin::ClearFailures();
    StandInStore::ExpectEveryKeyClosedOnce();
    row.expect_after(store_);
}

INSTANTIATE_TEST_SUITE_P(AllDeliverables, StoreFaults,
                         ::testing::Combine(::testing::ValuesIn(kDeliverables),
                                            ::testing::ValuesIn(kFaultCases)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
                         });

}  // namespace
}  // namespace kelpa::test
