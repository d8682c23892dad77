// Every deliverable loads and has each of its exports under its name and at its ordinal.
#include <gtest/gtest.h>

#include "export_table.h"
#include "loaded_library.h"

namespace kelpa::test {
namespace {

// Whether the deliverable's table has the name: the variable exports are in all six.
bool Exports(std::string_view deliverable, std::string_view name) {
    for (const ExpectedExport& row : kExpectedExports) {
        if (row.deliverable == deliverable && row.name == name) {
            return true;
        }
    }
    return false;
}

class DeliverableExports : public ::testing::TestWithParam<std::string_view> {};

TEST_P(DeliverableExports, EachExportResolvesByNameAndByOrdinalToOneFunction) {
    LoadedLibrary library{std::string(GetParam())};
    ASSERT_TRUE(library.IsLoaded()) << GetParam();
    for (const ExpectedExport& row : kExpectedExports) {
        if (row.deliverable != GetParam()) {
            continue;
        }
        const std::string name(row.name);
        void* by_name = library.ByName(name.c_str());
        EXPECT_NE(by_name, nullptr) << name;
        EXPECT_EQ(library.ByOrdinal(row.ordinal), by_name) << name << " @" << row.ordinal;
    }
}

TEST_P(DeliverableExports, DecoratedAndForeignNamesAreAbsent) {
    LoadedLibrary library{std::string(GetParam())};
    ASSERT_TRUE(library.IsLoaded());
    for (const ExpectedExport& row : kExpectedExports) {
        const std::string name(row.name);
        const std::string decorated = "_" + name + "@" + std::to_string(StdcallArgumentBytes(row.parameters));
        EXPECT_EQ(library.ByName(decorated.c_str()), nullptr) << decorated;
        if (!Exports(GetParam(), row.name)) {
            EXPECT_EQ(library.ByName(name.c_str()), nullptr) << name << " in " << GetParam();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllDeliverables, DeliverableExports, ::testing::ValuesIn(kDeliverables),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace kelpa::test
