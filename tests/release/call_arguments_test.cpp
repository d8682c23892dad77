// kelpa-call's matching of command-line arguments against an export's parameters: what is called
// with which values, and what is refused before any call.
#include "call_arguments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using kelpa::call::FindExport;
using kelpa::call::ParseArguments;

std::vector<std::string_view> Args(std::initializer_list<std::string_view> list) { return list; }

TEST(CallArguments, EveryExportOfTheTableHasAShape) {
    for (const auto& row : kelpa::test::kExpectedExports) {
        const auto shape = FindExport(row.name);
        ASSERT_TRUE(shape) << row.name;
        EXPECT_EQ(shape->parameters, row.parameters);
        EXPECT_EQ(shape->returns_double, row.returns_double);
    }
    EXPECT_FALSE(FindExport("PeltoGetFloat"));
    EXPECT_FALSE(FindExport("peltogetinteger"));
}

TEST(CallArguments, TypedValuesInParameterOrder) {
    auto set = ParseArguments(*FindExport("PeltoSetDouble"), Args({"demo\\level", "1.5"}));
    ASSERT_TRUE(set.ok) << set.error;
    EXPECT_EQ(set.arguments.strings, std::vector<std::string>{"demo\\level"});
    EXPECT_EQ(set.arguments.doubles, std::vector<double>{1.5});

    auto rule = ParseArguments(*FindExport("LADDER1"), Args({"-7", "1", "2", "3", "4", "5", "6", "7", "8",
                                                             "9", "10", "11", "12", "13", "14", "1e-300"}));
    ASSERT_TRUE(rule.ok) << rule.error;
    EXPECT_EQ(rule.arguments.ints, std::vector<int>{-7});
    ASSERT_EQ(rule.arguments.doubles.size(), 15u);
    EXPECT_EQ(rule.arguments.doubles[14], 1e-300);

    auto special = ParseArguments(*FindExport("LATTICE2"), Args({"nan", "-inf", "+2", "-0", "1E3"}));
    ASSERT_TRUE(special.ok) << special.error;
    EXPECT_TRUE(std::isnan(special.arguments.doubles[0]));
    EXPECT_EQ(special.arguments.doubles[1], -INFINITY);
    EXPECT_EQ(special.arguments.doubles[2], 2.0);
    EXPECT_TRUE(std::signbit(special.arguments.doubles[3]));
    EXPECT_EQ(special.arguments.doubles[4], 1000.0);
}

TEST(CallArguments, TheToolSuppliesCallerBuffersOfTheirSize) {
    auto web = ParseArguments(*FindExport("PeltoWebRequest"), Args({"host/path", "a=1", "1"}));
    ASSERT_TRUE(web.ok) << web.error;
    ASSERT_EQ(web.arguments.strings.size(), 3u);
    EXPECT_EQ(web.arguments.strings[0].size(), 65536u);
    EXPECT_EQ(web.arguments.strings[1], "host/path");
    EXPECT_EQ(web.arguments.ints, std::vector<int>{1});

    auto display = ParseArguments(*FindExport("LATTICE1"), Args({"JPY"}));
    ASSERT_TRUE(display.ok) << display.error;
    EXPECT_EQ(display.arguments.strings[0], "JPY");
    EXPECT_EQ(display.arguments.strings[1].size(), 16u);

    auto courier = ParseArguments(*FindExport("COURIER1"), Args({"COURIER", "news.txt"}));
    ASSERT_TRUE(courier.ok) << courier.error;
    EXPECT_EQ(courier.arguments.strings[0].size(), 65536u);
}

struct TextBufferCase {
    std::vector<std::string_view> given;
    int passed_length;
    std::size_t buffer_size;
};

class GetStringBuffer : public ::testing::TestWithParam<TextBufferCase> {};

TEST_P(GetStringBuffer, LengthIsPassedAsGivenAndTheBufferHasAtLeastOneByte) {
    auto parsed = ParseArguments(*FindExport("PeltoGetString"), GetParam().given);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.arguments.ints, std::vector<int>{GetParam().passed_length});
    ASSERT_EQ(parsed.arguments.strings.size(), 2u);
    EXPECT_EQ(parsed.arguments.strings[0], "demo\\note");
    EXPECT_EQ(parsed.arguments.strings[1].size(), GetParam().buffer_size);
}

INSTANTIATE_TEST_SUITE_P(Lengths, GetStringBuffer,
                         ::testing::Values(TextBufferCase{{"demo\\note"}, 260, 260},
                                           TextBufferCase{{"demo\\note", "6"}, 6, 6},
                                           TextBufferCase{{"demo\\note", "0"}, 0, 1},
                                           TextBufferCase{{"demo\\note", "-5"}, -5, 1}));

struct RefusedCase {
    std::string_view export_name;
    std::vector<std::string_view> given;
    std::string_view error;
};

class Refused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(Refused, WithAClearMessage) {
    auto parsed = ParseArguments(*FindExport(GetParam().export_name), GetParam().given);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Refused,
    ::testing::Values(
        RefusedCase{"PeltoSetInteger", {"demo\\count"}, "PeltoSetInteger takes 2 arguments, 1 given"},
        RefusedCase{"PeltoGetInteger", {"a", "b"}, "PeltoGetInteger takes 1 argument, 2 given"},
        RefusedCase{
            "PeltoSetInteger", {"demo\\count", "12abc"}, "argument 2 \"12abc\" is not a 32-bit whole number"},
        RefusedCase{"PeltoSetInteger",
                    {"demo\\count", "2147483648"},
                    "argument 2 \"2147483648\" is not a 32-bit whole number"},
        RefusedCase{"PeltoSetInteger", {"demo\\count", ""}, "argument 2 \"\" is not a 32-bit whole number"},
        RefusedCase{"PeltoSetDouble", {"demo\\level", "1,5"}, "argument 2 \"1,5\" is not a number"},
        RefusedCase{"PeltoGetString", {}, "PeltoGetString takes 2 arguments (the last optional), 0 given"},
        RefusedCase{"PeltoGetString",
                    {"demo\\note", "6x"},
                    "buffer length \"6x\" is not a whole number up to 1048576"},
        RefusedCase{"PeltoWebRequest", {"host/path", "a=1"}, "PeltoWebRequest takes 3 arguments, 2 given"},
        RefusedCase{
            "RIPTIDE1", {"1", "2", "3", "4", "5", "6", "7", "x"}, "argument 8 \"x\" is not a number"}));

TEST(CallArguments, UsageNamesWhatTheCommandLineTakes) {
    EXPECT_EQ(kelpa::call::UsageOf(*FindExport("PeltoGetString")), " <text> [<buffer length>]");
    EXPECT_EQ(kelpa::call::UsageOf(*FindExport("PeltoWebRequest")), " <text> <text> <int>");
    EXPECT_EQ(kelpa::call::UsageOf(*FindExport("LATTICE3")), " <number> <number> <number> <number> <number>");
}

TEST(CallArguments, PrintedTextIsOneLine) {
    EXPECT_EQ(kelpa::call::PrintableText("0.01;\xA5"), "0.01;\\xA5");
    EXPECT_EQ(kelpa::call::PrintableText("a\r\nb"), "a\\x0D\\x0Ab");
    EXPECT_EQ(kelpa::call::DoubleText(1.5), "1.5");
    EXPECT_EQ(kelpa::call::DoubleText(0.0), "0");
    EXPECT_EQ(kelpa::call::DoubleText(0.1 + 0.2), "0.30000000000000004");
}

TEST(CallArguments, BatchLinesAndTabSeparatedWords) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(kelpa::call::SplitLines("a\tb\r\n\nc"), (V{"a\tb", "", "c"}));
    EXPECT_EQ(kelpa::call::SplitLines("a\n"), (V{"a"}));
    EXPECT_EQ(kelpa::call::SplitWords("KELPA_BASE.dll\tPeltoSetString\tdemo\\note\ttwo words\t"),
              (V{"KELPA_BASE.dll", "PeltoSetString", "demo\\note", "two words", ""}));
    EXPECT_EQ(kelpa::call::SplitWords(""), V{});
}

}  // namespace
