// Numbers as registry text: the "%d" and "%f" forms, and the leading-number conversions that read
// them back.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "number_text.h"

namespace kelpa::store {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::string PrintfFixed(double value) {
    char text[512];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

struct IntegerText {
    int value;
    const char* text;
};

class FormatIntegerText : public ::testing::TestWithParam<IntegerText> {};

TEST_P(FormatIntegerText, IsThePercentDForm) {
    NumberArea area;
    area.fill('x');
    const std::string_view text = FormatInteger(GetParam().value, area);
    EXPECT_EQ(text, GetParam().text);
    EXPECT_EQ(area[text.size()], '\0');
}

INSTANTIATE_TEST_SUITE_P(Values, FormatIntegerText,
                         ::testing::Values(IntegerText{0, "0"}, IntegerText{7, "7"}, IntegerText{-42, "-42"},
                                           IntegerText{INT_MAX, "2147483647"},
                                           IntegerText{INT_MIN, "-2147483648"}));

struct DoubleText {
    double value;
    const char* text;
};

void PrintTo(const DoubleText& row, std::ostream* out) { *out << row.text; }

class FormatDoubleText : public ::testing::TestWithParam<DoubleText> {};

TEST_P(FormatDoubleText, IsThePercentFForm) {
    NumberArea area;
    area.fill('x');
    const auto text = FormatDouble(GetParam().value, area);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, GetParam().text);
    EXPECT_EQ(area[text->size()], '\0');
}

INSTANTIATE_TEST_SUITE_P(Values, FormatDoubleText,
                         ::testing::Values(DoubleText{1.5, "1.500000"}, DoubleText{2.0 / 3.0, "0.666667"},
                                           DoubleText{4e-7, "0.000000"}, DoubleText{-0.0, "-0.000000"},
                                           DoubleText{-4e-7, "-0.000000"}, DoubleText{-2.0, "-2.000000"},
                                           // Rounded from the exact binary value: 5e-7 lies just below the
                                           // half, 1.5e-6 and 2.5e-6 just above it.
                                           DoubleText{5e-7, "0.000000"}, DoubleText{1.5e-6, "0.000002"},
                                           DoubleText{2.5e-6, "0.000003"}, DoubleText{0.1234565, "0.123456"},
                                           DoubleText{2147483648.0, "2147483648.000000"}));

// The longest text that fits is 127 characters: the double nearest 1e120 is just below it and has
// 120 integer digits; the next one up has 121. For negatives the "-" takes one of them.
TEST(FormatDoubleText, TheLongestTextsFitAndLongerOnesAreRefused) {
    NumberArea area;
    const double largest_fitting = 1e120;
    const double negative_largest_fitting = -1e119;
    ASSERT_EQ(FormatDouble(largest_fitting, area).value_or("").size(), 127u);
    ASSERT_EQ(FormatDouble(negative_largest_fitting, area).value_or("").size(), 127u);
    EXPECT_EQ(FormatDouble(largest_fitting, area).value_or(""), PrintfFixed(largest_fitting));

    for (double too_long : {std::nextafter(1e120, kInfinity), -std::nextafter(1e119, kInfinity),
                            std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()}) {
        EXPECT_EQ(PrintfFixed(too_long).size() > 127, true);
        EXPECT_FALSE(FormatDouble(too_long, area).has_value()) << PrintfFixed(too_long);
    }
}

TEST(FormatDoubleText, InfinitiesAndNanAreRefused) {
    NumberArea area;
    for (double value : {kInfinity, -kInfinity, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_FALSE(FormatDouble(value, area).has_value()) << value;
    }
}

// Against the C library's "%f" over doubles of every magnitude that fits, with random mantissas, and
// over values close to the rounding point of the sixth decimal.
TEST(FormatDoubleText, MatchesPrintfOverManyValues) {
    std::mt19937_64 random(20240611);
    NumberArea area;
    std::uniform_int_distribution<int> binary_exponent(-40, 394);  // 2^395 is above 1e119
    for (int i = 0; i < 200000; ++i) {
        const double mantissa = 1.0 + static_cast<double>(random() >> 12) * 0x1p-52;
        const double value = std::ldexp((i % 2 == 0) ? mantissa : -mantissa, binary_exponent(random));
        ASSERT_EQ(FormatDouble(value, area).value_or("refused"), PrintfFixed(value))
            << std::hexfloat << value;
    }
    std::uniform_int_distribution<std::int64_t> millionths(-4'000'000'000'000, 4'000'000'000'000);
    for (int i = 0; i < 200000; ++i) {
        const double near_half = (static_cast<double>(millionths(random)) + 0.5) / 1e6;
        for (double value :
             {near_half, std::nextafter(near_half, 0.0), std::nextafter(near_half, kInfinity)}) {
            ASSERT_EQ(FormatDouble(value, area).value_or("refused"), PrintfFixed(value))
                << std::hexfloat << value;
        }
    }
}

struct IntegerReading {
    const char* text;
    int value;
};

void PrintTo(const IntegerReading& row, std::ostream* out) { *out << '"' << row.text << '"'; }

class ParseInteger : public ::testing::TestWithParam<IntegerReading> {};

TEST_P(ParseInteger, TakesTheLongestLeadingNumber) {
    EXPECT_EQ(ParseLeadingInteger(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseInteger,
    ::testing::Values(IntegerReading{"-42", -42}, IntegerReading{"12abc", 12}, IntegerReading{" 7", 7},
                      IntegerReading{" \t\n\v\f\r7", 7}, IntegerReading{"abc", 0}, IntegerReading{"", 0},
                      IntegerReading{"   ", 0}, IntegerReading{"1.750000", 1},
                      IntegerReading{"-1.500000", -1}, IntegerReading{"+5", 5}, IntegerReading{"-0", 0},
                      IntegerReading{"007", 7}, IntegerReading{"-", 0}, IntegerReading{"+", 0},
                      IntegerReading{"+-5", 0}, IntegerReading{"-+5", 0}, IntegerReading{"- 5", 0},
                      IntegerReading{"0x1A", 0}, IntegerReading{"1e5", 1},
                      IntegerReading{"2147483647", INT_MAX}, IntegerReading{"-2147483648", INT_MIN},
                      IntegerReading{"2147483648", INT_MAX}, IntegerReading{"-2147483649", INT_MIN},
                      IntegerReading{"99999999999", INT_MAX}, IntegerReading{"+99999999999", INT_MAX},
                      IntegerReading{"-99999999999", INT_MIN},
                      IntegerReading{"000000000000000000000000042", 42},
                      IntegerReading{"123456789012345678901234567890xyz", INT_MAX}));

struct DoubleReading {
    const char* text;
    double value;
};

void PrintTo(const DoubleReading& row, std::ostream* out) { *out << '"' << row.text << '"'; }

class ParseDouble : public ::testing::TestWithParam<DoubleReading> {};

// Exact equality, the sign of a zero included: a decimal text has one nearest double.
TEST_P(ParseDouble, TakesTheLongestLeadingDecimalNumber) {
    const double value = ParseLeadingDouble(GetParam().text);
    EXPECT_EQ(value, GetParam().value);
    EXPECT_EQ(std::signbit(value), std::signbit(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseDouble,
    ::testing::Values(
        DoubleReading{"5", 5.0}, DoubleReading{"2e2", 200.0}, DoubleReading{"abc", 0.0},
        DoubleReading{"1.500000", 1.5}, DoubleReading{"-1.500000", -1.5}, DoubleReading{"0.666667", 0.666667},
        DoubleReading{"-0.000000", -0.0}, DoubleReading{" \t\n\v\f\r+.5", 0.5}, DoubleReading{"-.5", -0.5},
        DoubleReading{"5.", 5.0}, DoubleReading{".", 0.0}, DoubleReading{".e1", 0.0}, DoubleReading{"", 0.0},
        DoubleReading{"-", 0.0}, DoubleReading{"+", 0.0}, DoubleReading{"+-1", 0.0},
        DoubleReading{"- 1", 0.0}, DoubleReading{"1..2", 1.0}, DoubleReading{"1.2.3", 1.2},
        DoubleReading{"1.25e-2", 0.0125}, DoubleReading{"1E3", 1000.0}, DoubleReading{"1e+3x", 1000.0},
        // An exponent mark counts only with digits after it.
        DoubleReading{"1e", 1.0}, DoubleReading{"1e+", 1.0}, DoubleReading{"1e-", 1.0},
        DoubleReading{"1ex", 1.0},
        // No hexadecimal form, no infinity or NaN words.
        DoubleReading{"0x10", 0.0}, DoubleReading{"0x1p3", 0.0}, DoubleReading{"inf", 0.0},
        DoubleReading{"-inf", 0.0}, DoubleReading{"infinity", 0.0}, DoubleReading{"nan", 0.0},
        DoubleReading{"-nan", 0.0}, DoubleReading{"+NaN", 0.0},
        // Beyond the range of double: an infinity above it, a zero below it, with the sign.
        DoubleReading{"1e999", kInfinity}, DoubleReading{"-1e999", -kInfinity}, DoubleReading{"1e-999", 0.0},
        DoubleReading{"-1e-999", -0.0}, DoubleReading{"1e99999999999999999999", kInfinity},
        DoubleReading{"1e-99999999999999999999", 0.0}, DoubleReading{"0.0000000001e330", kInfinity},
        DoubleReading{"12345678901234567890e-999", 0.0}, DoubleReading{"1e-310", 1e-310},
        DoubleReading{"1.7976931348623157e308", std::numeric_limits<double>::max()},
        DoubleReading{"1.8e308", kInfinity}));

}  // namespace
}  // namespace kelpa::store
