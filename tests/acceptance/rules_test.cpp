// The entry rules as the expert programs call them: through the loaded deliverable, stdcall, with
// every double by value. The tables hold the boundaries that decide an answer: strict and inclusive
// thresholds, a price exactly at its shifted level as double arithmetic computes it, NaN, infinities,
// negative zero and subnormals. A rule built with x87 arithmetic, with flush-to-zero, or with a
// threshold one unit off fails some row here.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "loaded_library.h"
#include "rule_call.h"
#include "win32_api.h"

namespace kelpa::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMinSubnormal = std::numeric_limits<double>::denorm_min();  // 4.9e-324

// The two RIPTIDE3 thresholds that are not exact: the doubles nearest 99.85 and 100.15.
constexpr double kRiptide3BuyFloor = std::bit_cast<double>(std::uint64_t{0x4058F66666666666});
constexpr double kRiptide3SellCeiling = std::bit_cast<double>(std::uint64_t{0x405909999999999A});

// The neighbouring doubles: one unit in the last place below and above.
double Below(double value) { return std::nextafter(value, -kInf); }
double Above(double value) { return std::nextafter(value, kInf); }

enum class Side { Buy, Sell };

// Exactly 1 selects the buy test; every other flag, whatever its sign or size, the sell test.
std::vector<int> DirectionsFor(Side side) {
    if (side == Side::Buy) {
        return {1};
    }
    return {0, 2, -1, INT_MIN, INT_MAX};
}

std::string NameOf(Side side) { return side == Side::Buy ? "Buy" : "Sell"; }

// Each suite loads its deliverables once and unloads them when it ends.
class LoadedForSuite {
public:
    void Load(std::initializer_list<const char*> deliverables) {
        for (const char* deliverable : deliverables) {
            libraries_.push_back(std::make_unique<LoadedLibrary>(deliverable));
        }
    }
    void Unload() { libraries_.clear(); }

    // The export's address in the loaded deliverable that has it.
    void* Find(std::string_view name) const {
        const ExpectedExport* row = FindExport(name);
        for (const auto& library : libraries_) {
            if (row != nullptr && library->IsLoaded() && library->Deliverable() == row->deliverable) {
                return library->ByName(std::string(name).c_str());
            }
        }
        return nullptr;
    }

private:
    std::vector<std::unique_ptr<LoadedLibrary>> libraries_;
};

// LATTICE1: the currency display text.

using Lattice1 = int(WINAPI*)(const char* currency_code, char* display_text);

// Room for the longest text (7 bytes) and bytes behind it that must keep their 'x'.
constexpr std::size_t kDisplayBufferBytes = 16;

std::string FreshDisplayBuffer() { return std::string(kDisplayBufferBytes, 'x'); }

class CurrencyDisplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() { libraries_.Load({"KELPA_LATTICE"}); }
    static void TearDownTestSuite() { libraries_.Unload(); }

    static Lattice1 Export() { return reinterpret_cast<Lattice1>(libraries_.Find("LATTICE1")); }

    inline static LoadedForSuite libraries_;
};

struct DisplayCase {
    const char* code;
    std::string_view bytes;  // what is written, terminating NUL included
};

void PrintTo(const DisplayCase& row, std::ostream* out) { *out << '"' << row.code << '"'; }

class CurrencyDisplayRow : public CurrencyDisplay, public ::testing::WithParamInterface<DisplayCase> {};

TEST_P(CurrencyDisplayRow, WritesTheRowBytesAndNothingBehindThem) {
    Lattice1 lattice1 = Export();
    ASSERT_NE(lattice1, nullptr);
    std::string buffer = FreshDisplayBuffer();
    EXPECT_EQ(lattice1(GetParam().code, buffer.data()), 1);

    std::string expected(GetParam().bytes);
    expected.append(kDisplayBufferBytes - expected.size(), 'x');
    EXPECT_EQ(buffer, expected);
}

INSTANTIATE_TEST_SUITE_P(EightCurrencies, CurrencyDisplayRow,
                         ::testing::Values(DisplayCase{"USD", {"\x31\x3B\x24\x00", 4}},
                                           DisplayCase{"GBP", {"\x32\x3B\xA3\x00", 4}},
                                           DisplayCase{"EUR", {"\x31\x2E\x35\x3B\x80\x00", 6}},
                                           DisplayCase{"JPY", {"\x30\x2E\x30\x31\x3B\xA5\x00", 7}},
                                           DisplayCase{"CHF", {"\x31\x3B\x43\x48\x46\x00", 6}},
                                           DisplayCase{"CAD", {"\x31\x3B\x43\x41\x44\x00", 6}},
                                           DisplayCase{"AUD", {"\x31\x3B\x41\x55\x44\x00", 6}},
                                           DisplayCase{"NZD", {"\x31\x3B\x4E\x5A\x44\x00", 6}}),
                         [](const auto& info) { return std::string(info.param.code); });

class CurrencyDisplayNoMatch : public CurrencyDisplay, public ::testing::WithParamInterface<const char*> {};

TEST_P(CurrencyDisplayNoMatch, LeavesTheBufferUntouchedAndAnswersOne) {
    Lattice1 lattice1 = Export();
    ASSERT_NE(lattice1, nullptr);
    std::string buffer = FreshDisplayBuffer();
    EXPECT_EQ(lattice1(GetParam(), buffer.data()), 1);
    EXPECT_EQ(buffer, FreshDisplayBuffer());
}

// Whole strings, byte for byte, case-sensitive.
INSTANTIATE_TEST_SUITE_P(Codes, CurrencyDisplayNoMatch,
                         ::testing::Values("usd", "USD ", " USD", "EURO", "", "US", "Usd", "JP", "NZDX",
                                           "\xA3"));

TEST_F(CurrencyDisplay, NullPointersWriteNothingAndAnswerOne) {
    Lattice1 lattice1 = Export();
    ASSERT_NE(lattice1, nullptr);
    std::string buffer = FreshDisplayBuffer();
    EXPECT_EQ(lattice1(nullptr, buffer.data()), 1);
    EXPECT_EQ(buffer, FreshDisplayBuffer());
    EXPECT_EQ(lattice1("USD", nullptr), 1);
    EXPECT_EQ(lattice1(nullptr, nullptr), 1);
    // Still answering afterwards: the lock was released on the early return.
    EXPECT_EQ(lattice1("JPY", buffer.data()), 1);
    EXPECT_EQ(buffer.substr(0, 7), std::string_view("0.01;\xA5\0", 7));
}

// LATTICE2 and LATTICE3: (required1, required2, required3, selector, blocker).

struct GridCase {
    const char* label;
    std::vector<double> values;
    int lattice2;
    int lattice3;
};

void PrintTo(const GridCase& row, std::ostream* out) { *out << row.label; }

const GridCase kGridCases[] = {
    {"SelectorZero", {1, 1, 1, 0, 0}, 1, 0},
    {"SelectorNotZero", {1, 1, 1, -2.5, 0}, 0, 1},
    {"SelectorNegativeZero", {1, 1, 1, -0.0, 0}, 1, 0},
    {"SelectorNaN", {1, 1, 1, kNaN, 0}, 0, 1},
    {"SelectorInfinity", {1, 1, 1, -kInf, 0}, 0, 1},
    {"SelectorSubnormal", {1, 1, 1, kMinSubnormal, 0}, 0, 1},
    {"Required1Zero", {0, 1, 1, 0, 0}, 0, 0},
    {"Required2Zero", {1, 0, 1, 5, 0}, 0, 0},
    {"Required3Zero", {1, 1, 0, 0, 0}, 0, 0},
    {"Required1NegativeZero", {-0.0, 1, 1, 0, 0}, 0, 0},
    {"Required2NegativeZero", {1, -0.0, 1, 5, 0}, 0, 0},
    {"Required3NegativeZero", {1, 1, -0.0, 0, 0}, 0, 0},
    {"RequiredTiny", {1e-300, -1e-300, 1e-300, 0, 0}, 1, 0},
    {"RequiredSubnormal", {kMinSubnormal, 1, -kMinSubnormal, 7, 0}, 0, 1},
    {"RequiredNaN", {kNaN, 1, 1, 0, 0}, 1, 0},
    {"RequiredAllNaN", {kNaN, kNaN, kNaN, 3, 0}, 0, 1},
    {"RequiredInfinities", {kInf, -kInf, kInf, 0, 0}, 1, 0},
    {"BlockerTinyWithSelectorZero", {1, 1, 1, 0, 1e-300}, 0, 0},
    {"BlockerTinyWithSelectorOne", {1, 1, 1, 1, 1e-300}, 0, 0},
    {"BlockerSubnormal", {1, 1, 1, 0, kMinSubnormal}, 0, 0},
    {"BlockerNaNWithSelectorZero", {1, 1, 1, 0, kNaN}, 0, 0},
    {"BlockerNaNWithSelectorOne", {1, 1, 1, 1, kNaN}, 0, 0},
    {"BlockerInfinity", {1, 1, 1, 1, kInf}, 0, 0},
    {"BlockerNegativeZeroWithSelectorZero", {1, 1, 1, 0, -0.0}, 1, 0},
    {"BlockerNegativeZeroWithSelectorOne", {1, 1, 1, 1, -0.0}, 0, 1},
};

class GridRules : public ::testing::TestWithParam<GridCase> {
protected:
    static void SetUpTestSuite() { libraries_.Load({"KELPA_LATTICE"}); }
    static void TearDownTestSuite() { libraries_.Unload(); }
    inline static LoadedForSuite libraries_;
};

TEST_P(GridRules, AnswerAsTheTableSays) {
    const GridCase& row = GetParam();
    EXPECT_EQ(CallRule(libraries_.Find("LATTICE2"), "LATTICE2", 0, row.values), row.lattice2);
    EXPECT_EQ(CallRule(libraries_.Find("LATTICE3"), "LATTICE3", 0, row.values), row.lattice3);
}

INSTANTIATE_TEST_SUITE_P(Lattice, GridRules, ::testing::ValuesIn(kGridCases),
                         [](const auto& info) { return std::string(info.param.label); });

// RIPTIDE1 to RIPTIDE4, and the same rules as UNDERTOW1 to UNDERTOW4.
//
// Shifted levels used below, all exact in double arithmetic:
//   level 1.5, step 0.25, 20 steps: upper 6.5, lower -3.5; level 6.5: lower 1.5.
//   level 1 + 20 x 0.1 is 3 and 3 - 20 x 0.1 is 1: the product 2.000000000000000111 rounds to 2, so a
//   price of 3 (of 1) is exactly at the level. Carried at x87 extended precision the level would lie
//   just above 3 (just below 1) and the inclusive price test would fail.
//   1e-200 x 1e-200 underflows to 0 in double, and a price of 0 is exactly at the level 0; with the
//   x87 exponent range the offset would stay 1e-400 and the price would miss the level.

struct RiptideCase {
    const char* label;
    int rule;  // 1 to 4
    Side side;
    std::vector<double> values;  // every double before the two spares
    int expected;
};

void PrintTo(const RiptideCase& row, std::ostream* out) {
    *out << row.rule << ' ' << NameOf(row.side) << ' ' << row.label;
}

// Doubles before the spares, and where the price condition's operands start among them: price,
// level, step and (rules 2 to 4) the multiplier are consecutive.
struct RiptideLayout {
    std::size_t doubles_before_spares;
    std::size_t price_index;
    std::size_t price_operands;
};

constexpr RiptideLayout kRiptideLayouts[] = {
    {},         // rules are numbered from 1
    {5, 2, 3},  // first_oscillator, second_oscillator, price, level, step
    {7, 3, 4},  // first, second, third oscillator, price, level, step, step_multiplier
    {6, 2, 4},  // first, second oscillator, price, level, step, step_multiplier
    {7, 3, 4},  // first_oscillator, first_line, second_line, price, level, step, step_multiplier
};

const RiptideCase kRiptideCases[] = {
    // RIPTIDE1 (first_oscillator, second_oscillator, price, level, step); 20 steps.
    {"Example", 1, Side::Buy, {29, 50, 6.5, 1.5, 0.25}, 1},
    {"BuyExampleDoubles", 1, Side::Sell, {29, 50, 6.5, 1.5, 0.25}, 0},
    {"Example", 1, Side::Sell, {71, 50, 1.5, 6.5, 0.25}, 1},
    {"SellExampleDoubles", 1, Side::Buy, {71, 50, 1.5, 6.5, 0.25}, 0},
    {"OscillatorsAtThresholds", 1, Side::Buy, {30, 36, 6.5, 1.5, 0.25}, 0},
    {"FirstJustBelow", 1, Side::Buy, {29.99, 1000, 6.5, 1.5, 0.25}, 1},
    {"SecondJustBelow", 1, Side::Buy, {1000, 35.99, 6.5, 1.5, 0.25}, 1},
    {"FirstOneUlpBelow", 1, Side::Buy, {Below(30), 36, 6.5, 1.5, 0.25}, 1},
    {"FirstNaNSecondPasses", 1, Side::Buy, {kNaN, 35, 6.5, 1.5, 0.25}, 1},
    {"FirstNaNSecondAtThreshold", 1, Side::Buy, {kNaN, 36, 6.5, 1.5, 0.25}, 0},
    {"SecondNaNFirstPasses", 1, Side::Buy, {29, kNaN, 6.5, 1.5, 0.25}, 1},
    {"FirstMinusInfinity", 1, Side::Buy, {-kInf, 50, 6.5, 1.5, 0.25}, 1},
    {"OscillatorsAtThresholds", 1, Side::Sell, {70, 64, 1.5, 6.5, 0.25}, 0},
    {"FirstJustAbove", 1, Side::Sell, {70.01, -1000, 1.5, 6.5, 0.25}, 1},
    {"SecondJustAbove", 1, Side::Sell, {-1000, 64.01, 1.5, 6.5, 0.25}, 1},
    {"SecondOneUlpAbove", 1, Side::Sell, {70, Above(64), 1.5, 6.5, 0.25}, 1},
    {"FirstNaNSecondPasses", 1, Side::Sell, {kNaN, 65, 1.5, 6.5, 0.25}, 1},
    {"SecondNaNFirstAtThreshold", 1, Side::Sell, {70, kNaN, 1.5, 6.5, 0.25}, 0},
    {"PriceBelowUpperLevel", 1, Side::Buy, {29, 50, 6.4, 1.5, 0.25}, 0},
    {"PriceOneUlpBelowUpperLevel", 1, Side::Buy, {29, 50, Below(6.5), 1.5, 0.25}, 0},
    {"PriceOneUlpAboveLowerLevel", 1, Side::Sell, {71, 50, Above(1.5), 6.5, 0.25}, 0},
    {"PriceAtInexactUpperLevel", 1, Side::Buy, {29, 50, 3, 1, 0.1}, 1},
    {"PriceOneUlpBelowInexactUpperLevel", 1, Side::Buy, {29, 50, Below(3), 1, 0.1}, 0},
    {"PriceAtInexactLowerLevel", 1, Side::Sell, {71, 50, 1, 3, 0.1}, 1},
    {"StepZeroPriceAtLevel", 1, Side::Buy, {29, 50, 1.5, 1.5, 0}, 1},
    {"StepZeroPriceAtLevel", 1, Side::Sell, {71, 50, 1.5, 1.5, 0}, 1},
    {"NegativeZeroPriceAtLevelZero", 1, Side::Buy, {29, 50, -0.0, 0, 0}, 1},
    {"NegativeZeroPriceAtLevelZero", 1, Side::Sell, {71, 50, 0, -0.0, -0.0}, 1},
    {"SubnormalStepAboveZeroPrice", 1, Side::Buy, {29, 50, 0, 0, kMinSubnormal}, 0},
    {"PriceAtSubnormalUpperLevel", 1, Side::Buy, {29, 50, 20 * kMinSubnormal, 0, kMinSubnormal}, 1},
    {"SubnormalStepBelowZeroPrice", 1, Side::Sell, {71, 50, 0, 0, kMinSubnormal}, 0},
    // 20 x 1e307 overflows to infinity: no finite price reaches the level.
    {"OffsetOverflows", 1, Side::Buy, {29, 50, 1.5e308, -1e308, 1e307}, 0},
    {"OffsetOverflowsPriceInfinite", 1, Side::Buy, {29, 50, kInf, -1e308, 1e307}, 1},
    {"OffsetOverflows", 1, Side::Sell, {71, 50, -1.5e308, 1e308, 1e307}, 0},
    {"OffsetOverflowsPriceInfinite", 1, Side::Sell, {71, 50, -kInf, 1e308, 1e307}, 1},
    {"LevelInfinite", 1, Side::Buy, {29, 50, 1e308, kInf, 0.25}, 0},
    {"LevelInfinite", 1, Side::Sell, {71, 50, 1e308, kInf, 0.25}, 1},

    // RIPTIDE2 (first, second, third oscillator, price, level, step, step_multiplier).
    {"AllInclusive", 2, Side::Buy, {-150, -120, 0, -3.5, 1.5, 0.25, 20}, 1},
    {"AllInclusive", 2, Side::Sell, {150, 120, 0, 6.5, 1.5, 0.25, 20}, 1},
    {"BuyDoubles", 2, Side::Sell, {-150, -120, 0, -3.5, 1.5, 0.25, 20}, 0},
    {"ThirdOscillatorPasses", 2, Side::Buy, {-100, -120, -150, -3.5, 1.5, 0.25, 20}, 1},
    {"FirstAndThirdJustAbove", 2, Side::Buy, {-149.99, -120, -149.99, -3.5, 1.5, 0.25, 20}, 0},
    {"FirstNaNThirdPasses", 2, Side::Buy, {kNaN, -120, -150, -3.5, 1.5, 0.25, 20}, 1},
    {"FirstAndThirdNaN", 2, Side::Buy, {kNaN, -120, kNaN, -3.5, 1.5, 0.25, 20}, 0},
    {"SecondJustAbove", 2, Side::Buy, {-150, -119.99, 0, -3.5, 1.5, 0.25, 20}, 0},
    {"SecondNaN", 2, Side::Buy, {-150, kNaN, 0, -3.5, 1.5, 0.25, 20}, 0},
    {"ThirdOscillatorPasses", 2, Side::Sell, {100, 120, 150, 6.5, 1.5, 0.25, 20}, 1},
    {"FirstAndThirdJustBelow", 2, Side::Sell, {149.99, 120, 149.99, 6.5, 1.5, 0.25, 20}, 0},
    {"SecondJustBelow", 2, Side::Sell, {150, 119.99, 0, 6.5, 1.5, 0.25, 20}, 0},
    {"FirstInfinite", 2, Side::Sell, {kInf, 120, kNaN, 6.5, 1.5, 0.25, 20}, 1},
    {"PriceOneUlpAboveLowerLevel", 2, Side::Buy, {-150, -120, 0, Above(-3.5), 1.5, 0.25, 20}, 0},
    {"PriceOneUlpBelowUpperLevel", 2, Side::Sell, {150, 120, 0, Below(6.5), 1.5, 0.25, 20}, 0},
    {"PriceAtInexactLowerLevel", 2, Side::Buy, {-150, -120, 0, 1, 3, 0.1, 20}, 1},
    {"PriceAtInexactUpperLevel", 2, Side::Sell, {150, 120, 0, 3, 1, 0.1, 20}, 1},
    {"OffsetUnderflowsToZero", 2, Side::Buy, {-150, -120, 0, 0, 0, 1e-200, 1e-200}, 1},
    {"OffsetUnderflowsToZero", 2, Side::Sell, {150, 120, 0, 0, 0, 1e-200, 1e-200}, 1},
    {"TinyOffsetBelowZeroPrice", 2, Side::Buy, {-150, -120, 0, 0, 0, 1e-300, 1}, 0},
    {"PriceAtTinyLowerLevel", 2, Side::Buy, {-150, -120, 0, -1e-300, 0, 1e-300, 1}, 1},
    {"NegativeOffset", 2, Side::Buy, {-150, -120, 0, 6.5, 1.5, -0.25, 20}, 1},
    {"NegativeOffsetPriceAboveLowerLevel", 2, Side::Buy, {-150, -120, 0, 6.6, 1.5, -0.25, 20}, 0},
    {"NegativeMultiplier", 2, Side::Sell, {150, 120, 0, -3.5, 1.5, 0.25, -20}, 1},
    {"StepZeroPriceAtLevel", 2, Side::Buy, {-150, -120, 0, 1.5, 1.5, 0, 1e300}, 1},
    {"StepZeroPriceAtLevel", 2, Side::Sell, {150, 120, 0, 1.5, 1.5, 0, -7}, 1},
    {"InfinityTimesZero", 2, Side::Buy, {-150, -120, 0, -3.5, 1.5, kInf, 0}, 0},
    {"InfinityTimesZero", 2, Side::Sell, {150, 120, 0, 6.5, 1.5, 0, kInf}, 0},
    {"LevelInfinite", 2, Side::Buy, {-150, -120, 0, 1e308, kInf, 0.25, 20}, 1},
    {"LevelInfinite", 2, Side::Sell, {150, 120, 0, 1e308, kInf, 0.25, 20}, 0},

    // RIPTIDE3 (first_oscillator, second_oscillator, price, level, step, step_multiplier).
    {"AtThresholds", 3, Side::Buy, {kRiptide3BuyFloor, -200, -3.5, 1.5, 0.25, 20}, 1},
    {"AtThresholds", 3, Side::Sell, {kRiptide3SellCeiling, 200, 6.5, 1.5, 0.25, 20}, 1},
    {"BuyDoubles", 3, Side::Sell, {kRiptide3BuyFloor, -200, -3.5, 1.5, 0.25, 20}, 0},
    {"FirstOneUlpBelowFloor", 3, Side::Buy, {Below(kRiptide3BuyFloor), -200, -3.5, 1.5, 0.25, 20}, 0},
    {"First99_84", 3, Side::Buy, {99.84, -200, -3.5, 1.5, 0.25, 20}, 0},
    {"First100", 3, Side::Buy, {100, -200, -3.5, 1.5, 0.25, 20}, 1},
    {"FirstAtSellCeiling", 3, Side::Buy, {kRiptide3SellCeiling, -200, -3.5, 1.5, 0.25, 20}, 1},
    {"FirstInfinite", 3, Side::Buy, {kInf, -200, -3.5, 1.5, 0.25, 20}, 1},
    {"FirstNaN", 3, Side::Buy, {kNaN, -200, -3.5, 1.5, 0.25, 20}, 0},
    {"FirstOneUlpAboveCeiling", 3, Side::Sell, {Above(kRiptide3SellCeiling), 200, 6.5, 1.5, 0.25, 20}, 0},
    {"First100_16", 3, Side::Sell, {100.16, 200, 6.5, 1.5, 0.25, 20}, 0},
    {"First100", 3, Side::Sell, {100, 200, 6.5, 1.5, 0.25, 20}, 1},
    {"FirstAtBuyFloor", 3, Side::Sell, {kRiptide3BuyFloor, 200, 6.5, 1.5, 0.25, 20}, 1},
    {"FirstMinusInfinity", 3, Side::Sell, {-kInf, 200, 6.5, 1.5, 0.25, 20}, 1},
    {"FirstNaN", 3, Side::Sell, {kNaN, 200, 6.5, 1.5, 0.25, 20}, 0},
    {"SecondJustAbove", 3, Side::Buy, {100, -199.99, -3.5, 1.5, 0.25, 20}, 0},
    {"SecondMinusInfinity", 3, Side::Buy, {100, -kInf, -3.5, 1.5, 0.25, 20}, 1},
    {"SecondJustBelow", 3, Side::Sell, {100, 199.99, 6.5, 1.5, 0.25, 20}, 0},
    {"PriceAtInexactLowerLevel", 3, Side::Buy, {100, -200, 1, 3, 0.1, 20}, 1},
    {"PriceAtInexactUpperLevel", 3, Side::Sell, {100, 200, 3, 1, 0.1, 20}, 1},
    {"PriceOneUlpBelowInexactUpperLevel", 3, Side::Sell, {100, 200, Below(3), 1, 0.1, 20}, 0},
    {"OffsetUnderflowsToZero", 3, Side::Buy, {100, -200, 0, 0, 1e-200, 1e-200}, 1},
    {"OffsetUnderflowsToZero", 3, Side::Sell, {100, 200, -0.0, 0, 1e-200, 1e-200}, 1},
    {"StepZeroPriceAtLevel", 3, Side::Buy, {100, -200, 1.5, 1.5, 0, 20}, 1},
    {"StepZeroPriceAtLevel", 3, Side::Sell, {100, 200, 1.5, 1.5, 0, 20}, 1},
    {"ZeroTimesInfinity", 3, Side::Buy, {100, -200, -3.5, 1.5, 0, -kInf}, 0},

    // RIPTIDE4 (first_oscillator, first_line, second_line, price, level, step, step_multiplier).
    {"AtThreshold", 4, Side::Buy, {-90, 1, 2, -3.5, 1.5, 0.25, 20}, 1},
    {"AtThreshold", 4, Side::Sell, {-10, 2, 1, 6.5, 1.5, 0.25, 20}, 1},
    {"BuyDoubles", 4, Side::Sell, {-90, 1, 2, -3.5, 1.5, 0.25, 20}, 0},
    {"FirstJustAbove", 4, Side::Buy, {-89.99, 1, 2, -3.5, 1.5, 0.25, 20}, 0},
    {"FirstJustBelow", 4, Side::Sell, {-10.01, 2, 1, 6.5, 1.5, 0.25, 20}, 0},
    {"FirstMinusInfinity", 4, Side::Buy, {-kInf, 1, 2, -3.5, 1.5, 0.25, 20}, 1},
    {"LinesEqual", 4, Side::Buy, {-90, 1, 1, -3.5, 1.5, 0.25, 20}, 0},
    {"LinesEqual", 4, Side::Sell, {-10, 1, 1, 6.5, 1.5, 0.25, 20}, 0},
    {"LinesZeroAndNegativeZero", 4, Side::Buy, {-90, -0.0, 0, -3.5, 1.5, 0.25, 20}, 0},
    {"SecondLineBelow", 4, Side::Buy, {-90, 2, 1, -3.5, 1.5, 0.25, 20}, 0},
    {"SecondLineAbove", 4, Side::Sell, {-10, 1, 2, 6.5, 1.5, 0.25, 20}, 0},
    {"SecondLineOneUlpAbove", 4, Side::Buy, {-90, 1, Above(1), -3.5, 1.5, 0.25, 20}, 1},
    {"SecondLineNaN", 4, Side::Buy, {-90, 1, kNaN, -3.5, 1.5, 0.25, 20}, 0},
    {"FirstLineNaN", 4, Side::Sell, {-10, kNaN, 1, 6.5, 1.5, 0.25, 20}, 0},
    {"LinesInfinite", 4, Side::Sell, {-10, kInf, -kInf, 6.5, 1.5, 0.25, 20}, 1},
    {"PriceAtInexactLowerLevel", 4, Side::Buy, {-90, 1, 2, 1, 3, 0.1, 20}, 1},
    {"PriceOneUlpAboveInexactLowerLevel", 4, Side::Buy, {-90, 1, 2, Above(1), 3, 0.1, 20}, 0},
    {"PriceAtInexactUpperLevel", 4, Side::Sell, {-10, 2, 1, 3, 1, 0.1, 20}, 1},
    {"OffsetUnderflowsToZero", 4, Side::Buy, {-90, 1, 2, 0, 0, 1e-200, 1e-200}, 1},
    {"OffsetUnderflowsToZero", 4, Side::Sell, {-10, 2, 1, 0, 0, 1e-200, 1e-200}, 1},
    {"LevelInfinite", 4, Side::Buy, {-90, 1, 2, 1e308, kInf, 0.25, 20}, 1},
    {"LevelInfinite", 4, Side::Sell, {-10, 2, 1, 1e308, kInf, 0.25, 20}, 0},
};

// The spares: accepted, never read.
constexpr double kSpareValues[] = {0, kNaN, -kNaN, kInf, -kInf, -0.0, kMinSubnormal, 1e308};

class RiptideRules : public ::testing::TestWithParam<std::tuple<const char*, RiptideCase>> {
protected:
    static void SetUpTestSuite() { libraries_.Load({"KELPA_RIPTIDE", "KELPA_UNDERTOW"}); }
    static void TearDownTestSuite() { libraries_.Unload(); }

    const RiptideCase& Row() const { return std::get<1>(GetParam()); }
    std::string ExportName() const { return std::get<0>(GetParam()) + std::to_string(Row().rule); }
    const RiptideLayout& Layout() const { return kRiptideLayouts[Row().rule]; }

    // The row's doubles followed by the two spares.
    std::vector<double> WithSpares(std::vector<double> values, double spare1, double spare2) const {
        values.push_back(spare1);
        values.push_back(spare2);
        return values;
    }

    // The rule's answer for every direction flag that selects the row's test.
    void ExpectAnswer(const std::vector<double>& values, int expected) const {
        const std::string name = ExportName();
        for (int direction : DirectionsFor(Row().side)) {
            EXPECT_EQ(CallRule(libraries_.Find(name), name, direction, values), expected)
                << name << " direction " << direction;
        }
    }

    inline static LoadedForSuite libraries_;
};

TEST_P(RiptideRules, AnswerAsTheTableSays) {
    ASSERT_EQ(Row().values.size(), Layout().doubles_before_spares) << "the row does not fit its rule";
    ExpectAnswer(WithSpares(Row().values, 0, 0), Row().expected);
}

TEST_P(RiptideRules, SparesNeverChangeTheAnswer) {
    for (double spare1 : kSpareValues) {
        for (double spare2 : kSpareValues) {
            SCOPED_TRACE(testing::Message() << "spares " << spare1 << ", " << spare2);
            ExpectAnswer(WithSpares(Row().values, spare1, spare2), Row().expected);
        }
    }
}

TEST_P(RiptideRules, NaNAmongThePriceOperandsAnswersZero) {
    for (std::size_t i = 0; i < Layout().price_operands; ++i) {
        std::vector<double> values = Row().values;
        values[Layout().price_index + i] = kNaN;
        SCOPED_TRACE(testing::Message() << "NaN at double " << Layout().price_index + i + 1);
        ExpectAnswer(WithSpares(values, 0, 0), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(BothNames, RiptideRules,
                         ::testing::Combine(::testing::Values("RIPTIDE", "UNDERTOW"),
                                            ::testing::ValuesIn(kRiptideCases)),
                         [](const auto& info) {
                             const RiptideCase& row = std::get<1>(info.param);
                             return std::get<0>(info.param) + std::to_string(row.rule) + "_" +
                                    NameOf(row.side) + "_" + row.label;
                         });

// LADDER1 (first_value, second_value, first_reference, second_reference, candidate, ten peers).

struct LadderCase {
    const char* label;
    Side side;
    std::vector<double> values;
    int expected;
};

void PrintTo(const LadderCase& row, std::ostream* out) { *out << NameOf(row.side) << ' ' << row.label; }

constexpr std::size_t kLadderCandidateIndex = 4;
constexpr std::size_t kLadderDoubles = 15;

const LadderCase kLadderCases[] = {
    {"Example", Side::Buy, {5, 5, 4, 5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 1},
    {"BuyExampleDoubles", Side::Sell, {5, 5, 4, 5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0},
    {"Example", Side::Sell, {4, 5, 4, 6, 12, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 1},
    {"SellExampleDoubles", Side::Buy, {4, 5, 4, 6, 12, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0},
    // Each value is paired with the reference two places after it, not with its neighbour.
    {"PairsAreSecondAndFourthThirdAndFifth", Side::Buy, {1, 9, 0, 8, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 1},
    {"PairsAreSecondAndFourthThirdAndFifth",
     Side::Sell,
     {9, 1, 10, 2, 12, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
     1},
    {"FirstValueBelowReference", Side::Buy, {3, 5, 4, 5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0},
    {"SecondValueOneUlpBelowReference", Side::Buy, {5, Below(5), 4, 5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0},
    {"FirstValueAboveReference", Side::Sell, {5, 5, 4, 6, 12, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0},
    {"SecondValueAboveReference", Side::Sell, {4, 7, 4, 6, 12, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0},
    {"ValuesEqualReferences", Side::Sell, {4, 6, 4, 6, 12, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 1},
    {"AllFifteenEqual", Side::Buy, {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}, 0},
    {"AllFifteenEqual", Side::Sell, {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}, 0},
    {"CandidateMinusInfinity", Side::Buy, {5, 5, 4, 5, -kInf, 2, 3, 4, 5, 6, 7, 8, 9, 10, -1e308}, 1},
    {"CandidateInfinity", Side::Sell, {4, 5, 4, 6, kInf, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1e308}, 1},
    {"CandidateAndPeerMinusInfinity", Side::Buy, {5, 5, 4, 5, -kInf, 2, 3, 4, -kInf, 6, 7, 8, 9, 10, 11}, 0},
    {"ValuesAndReferencesInfinite",
     Side::Buy,
     {kInf, -kInf, kInf, -kInf, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
     1},
    {"ZeroCandidateSubnormalPeers",
     Side::Buy,
     {0, 0, 0, 0, 0, kMinSubnormal, kMinSubnormal, kMinSubnormal, kMinSubnormal, kMinSubnormal, kMinSubnormal,
      kMinSubnormal, kMinSubnormal, kMinSubnormal, kMinSubnormal},
     1},
    {"SubnormalCandidateZeroPeers",
     Side::Sell,
     {0, 0, 0, 0, kMinSubnormal, 0, 0, 0, 0, 0, 0, 0, 0, 0, -0.0},
     1},
    {"ZeroCandidateNegativeZeroPeer", Side::Buy, {5, 5, 4, 5, 0, 2, 3, 4, 5, 6, 7, -0.0, 9, 10, 11}, 0},
    {"ZeroCandidateNegativeZeroPeer",
     Side::Sell,
     {4, 5, 4, 6, 0, -2, -3, -4, -5, -6, -7, -0.0, -9, -10, -11},
     0},
    {"NegativeZeroValueZeroReference", Side::Buy, {-0.0, 5, 0, 5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 1},
};

class LadderRule : public ::testing::TestWithParam<LadderCase> {
protected:
    static void SetUpTestSuite() { libraries_.Load({"KELPA_LADDER2"}); }
    static void TearDownTestSuite() { libraries_.Unload(); }

    void ExpectAnswer(const std::vector<double>& values, int expected) const {
        for (int direction : DirectionsFor(GetParam().side)) {
            EXPECT_EQ(CallRule(libraries_.Find("LADDER1"), "LADDER1", direction, values), expected)
                << "direction " << direction;
        }
    }

    inline static LoadedForSuite libraries_;
};

TEST_P(LadderRule, AnswersAsTheTableSays) {
    ASSERT_EQ(GetParam().values.size(), kLadderDoubles);
    ExpectAnswer(GetParam().values, GetParam().expected);
}

// Every one of the fifteen doubles takes part in a comparison, a peer's NaN failing its own.
TEST_P(LadderRule, NaNInAnyPositionAnswersZero) {
    for (std::size_t i = 0; i < kLadderDoubles; ++i) {
        std::vector<double> values = GetParam().values;
        values[i] = kNaN;
        SCOPED_TRACE(testing::Message() << "NaN at double " << i + 1);
        ExpectAnswer(values, 0);
    }
}

// Ten separate strict comparisons: a tie with any one peer fails the candidate.
TEST_P(LadderRule, CandidateTiedWithAnyOnePeerAnswersZero) {
    for (std::size_t i = kLadderCandidateIndex + 1; i < kLadderDoubles; ++i) {
        std::vector<double> values = GetParam().values;
        values[i] = values[kLadderCandidateIndex];
        SCOPED_TRACE(testing::Message() << "peer " << i - kLadderCandidateIndex << " tied");
        ExpectAnswer(values, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Ladder, LadderRule, ::testing::ValuesIn(kLadderCases),
                         [](const auto& info) { return NameOf(info.param.side) + "_" + info.param.label; });

}  // namespace
}  // namespace kelpa::test
