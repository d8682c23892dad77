// How a variable path names its key and value, and how the caller's string is cut.
#include <gtest/gtest.h>

#include <string>

#include "variable_path.h"

namespace kelpa::store {
namespace {

struct SplitCase {
    const char* path;
    const char* key_path;
    const char* value_name;
    const char* caller_string_after;
};

void PrintTo(const SplitCase& split, std::ostream* out) { *out << '"' << split.path << '"'; }

class SplitPath : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitPath, NamesKeyAndValueAndCutsTheCallersString) {
    std::string path = GetParam().path;
    const auto location = SplitVariablePath(path.data());
    ASSERT_TRUE(location.has_value());
    EXPECT_STREQ(location->key_path.data(), GetParam().key_path);
    EXPECT_STREQ(location->value_name.data(), GetParam().value_name);
    EXPECT_STREQ(path.c_str(), GetParam().caller_string_after);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitPath,
    ::testing::Values(SplitCase{"counter", "Software\\TORVANEXIAL", "counter", "counter"},
                      SplitCase{"prod\\counter", "Software\\TORVANEXIAL\\prod", "counter", "prod"},
                      SplitCase{"prod\\sub\\counter", "Software\\TORVANEXIAL\\prod\\sub", "counter",
                                "prod\\sub"},
                      // A backslash as the first character is part of the value name.
                      SplitCase{"\\counter", "Software\\TORVANEXIAL", "\\counter", "\\counter"},
                      SplitCase{"\\", "Software\\TORVANEXIAL", "\\", "\\"},
                      // Nothing after the separator: the key's unnamed default value.
                      SplitCase{"prod\\", "Software\\TORVANEXIAL\\prod", "", "prod"},
                      SplitCase{"", "Software\\TORVANEXIAL", "", ""},
                      // Only the last backslash separates; the others stay in the key part as they are.
                      SplitCase{"\\prod\\counter", "Software\\TORVANEXIAL\\\\prod", "counter", "\\prod"},
                      SplitCase{"prod\\\\counter", "Software\\TORVANEXIAL\\prod\\", "counter", "prod\\"},
                      SplitCase{"\\\\", "Software\\TORVANEXIAL\\\\", "", "\\"}));

TEST(SplitPath, ACallerReusingItsStringNamesAnotherVariableTheSecondTime) {
    char path[] = "prod\\counter";
    ASSERT_TRUE(SplitVariablePath(path).has_value());
    const auto second = SplitVariablePath(path);
    ASSERT_TRUE(second.has_value());
    EXPECT_STREQ(second->key_path.data(), "Software\\TORVANEXIAL");
    EXPECT_STREQ(second->value_name.data(), "prod");
}

TEST(SplitPath, NullIsRefused) { EXPECT_FALSE(SplitVariablePath(nullptr).has_value()); }

struct LimitCase {
    const char* name;
    std::string path;
    bool accepted;
};

void PrintTo(const LimitCase& limit, std::ostream* out) { *out << limit.name; }

class PathLimits : public ::testing::TestWithParam<LimitCase> {};

// A path beyond the two 260-byte areas is refused whole: no area overflows, and the caller's
// string is not cut.
TEST_P(PathLimits, LongestNamesFitAndOneMoreCharacterIsRefusedUntouched) {
    std::string path = GetParam().path;
    const auto location = SplitVariablePath(path.data());
    ASSERT_EQ(location.has_value(), GetParam().accepted);
    if (!GetParam().accepted) {
        EXPECT_EQ(path, GetParam().path);
        return;
    }
    const std::size_t separator = GetParam().path.find_last_of('\\');
    const std::string key_part = separator == std::string::npos ? "" : GetParam().path.substr(0, separator);
    const std::string value_name =
        separator == std::string::npos ? GetParam().path : GetParam().path.substr(separator + 1);
    EXPECT_EQ(location->key_path.data(),
              key_part.empty() ? std::string("Software\\TORVANEXIAL") : "Software\\TORVANEXIAL\\" + key_part);
    EXPECT_EQ(location->value_name.data(), value_name);
    EXPECT_LE(std::string(location->key_path.data()).size(), 259u);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, PathLimits,
    ::testing::Values(LimitCase{"KeyPart238", std::string(238, 'k') + "\\v", true},
                      LimitCase{"KeyPart239", std::string(239, 'k') + "\\v", false},
                      LimitCase{"ValueName259", std::string(259, 'v'), true},
                      LimitCase{"ValueName260", std::string(260, 'v'), false},
                      LimitCase{"KeyPartAndValueName259", "prod\\" + std::string(259, 'v'), true},
                      LimitCase{"KeyPartAndValueName260", "prod\\" + std::string(260, 'v'), false},
                      LimitCase{"BothLongest", std::string(238, 'k') + "\\" + std::string(259, 'v'), true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelpa::store
