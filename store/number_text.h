// Numbers as the store keeps them: as text, integers in the "%d" form and doubles in the "%f" form
// with "." as the decimal point whatever the user's regional settings, and read back by converting
// the longest leading decimal number of a text. Pure: no registry, no locale.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kelpa::store {

// A number's text is formatted into an area of 128 bytes and read back through a buffer of the
// same size, so it has at most 127 characters and room for its terminating NUL.
inline constexpr std::size_t kNumberAreaSize = 128;
inline constexpr std::size_t kMaxNumberTextLength = kNumberAreaSize - 1;
using NumberArea = std::array<char, kNumberAreaSize>;

// The "%d" form: decimal digits, "-" before a negative number. Every int fits. The text lies in
// `area`, NUL-terminated.
std::string_view FormatInteger(int value, NumberArea& area) noexcept;

// The "%f" form: an optional "-", the integer digits, "." and six decimals, rounded as printf
// rounds (to nearest, ties to even, from the exact binary value). Nothing for an infinity or a
// NaN, and nothing when the text would be longer than kMaxNumberTextLength (from about 1e120 up,
// and from about -1e119 down): such a value could never be read back, so it is not stored.
std::optional<std::string_view> FormatDouble(double value, NumberArea& area) noexcept;

// White space that a leading number may follow: space, tab, line feed, vertical tab, form feed,
// carriage return.
inline constexpr std::string_view kLeadingWhiteSpace = " \t\n\v\f\r";

// After leading white space, an optional "+" or "-" and the longest run of decimal digits. 0
// without any digit; beyond the int range the nearest limit.
int ParseLeadingInteger(std::string_view text) noexcept;

// After leading white space, the longest prefix that forms a decimal number: an optional sign,
// digits with at most one ".", and an exponent ("e" or "E", an optional sign, digits) only when
// digits follow it. No hexadecimal form, no infinity, no NaN: 0.0 without such a prefix. Beyond
// the double range an infinity, below it a zero, each with the number's sign.
double ParseLeadingDouble(std::string_view text) noexcept;

}  // namespace kelpa::store
