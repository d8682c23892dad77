#include "number_text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>

namespace kelpa::store {
namespace {

// The "%f" form always has six decimals.
constexpr int kDoubleDecimals = 6;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view SkipLeadingWhiteSpace(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kLeadingWhiteSpace);
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

// Takes an optional sign off the front of `text`; true when it was "-".
bool TakeSign(std::string_view& text) {
    if (text.empty() || (text.front() != '+' && text.front() != '-')) {
        return false;
    }
    const bool negative = text.front() == '-';
    text.remove_prefix(1);
    return negative;
}

std::string_view Terminate(NumberArea& area, char* end) {
    *end = '\0';
    return std::string_view(area.data(), static_cast<std::size_t>(end - area.data()));
}

// from_chars leaves the value alone for a decimal number beyond the range of double. Which side of
// the range it lies on follows from the decimal exponent of its first non-zero digit: positive
// means above (an infinity), otherwise below (a zero).
double OutOfRangeMagnitude(std::string_view number) {
    const std::size_t mark = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, mark);
    long long exponent = 0;
    if (mark != std::string_view::npos) {
        std::string_view exponent_text = number.substr(mark + 1);
        const bool negative = TakeSign(exponent_text);
        int magnitude = 0;
        if (std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), magnitude)
                .ec == std::errc::result_out_of_range) {
            magnitude = INT_MAX;
        }
        exponent = negative ? -static_cast<long long>(magnitude) : magnitude;
    }
    const auto point = static_cast<long long>(std::min(mantissa.find('.'), mantissa.size()));
    const auto leading = static_cast<long long>(mantissa.find_first_not_of("0."));
    const long long scale = point - leading - (leading < point ? 1 : 0) + exponent;
    return scale > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

}  // namespace

std::string_view FormatInteger(int value, NumberArea& area) noexcept {
    // At most 11 characters: always room.
    const auto result = std::to_chars(area.data(), area.data() + kMaxNumberTextLength, value);
    return Terminate(area, result.ptr);
}

std::optional<std::string_view> FormatDouble(double value, NumberArea& area) noexcept {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const auto result = std::to_chars(area.data(), area.data() + kMaxNumberTextLength, value,
                                      std::chars_format::fixed, kDoubleDecimals);
    if (result.ec != std::errc()) {
        return std::nullopt;
    }
    return Terminate(area, result.ptr);
}

int ParseLeadingInteger(std::string_view text) noexcept {
    std::string_view digits = SkipLeadingWhiteSpace(text);
    const bool negative = TakeSign(digits);
    if (digits.empty() || !IsDigit(digits.front())) {
        return 0;
    }
    // from_chars takes a "-" but not a "+": start at the "-", or after the "+".
    const char* first = negative ? digits.data() - 1 : digits.data();
    int value = 0;
    if (std::from_chars(first, digits.data() + digits.size(), value).ec == std::errc::result_out_of_range) {
        return negative ? INT_MIN : INT_MAX;
    }
    return value;
}

double ParseLeadingDouble(std::string_view text) noexcept {
    std::string_view number = SkipLeadingWhiteSpace(text);
    const bool negative = TakeSign(number);
    // A decimal number starts with a digit or with a point and a digit; this keeps out the
    // infinity and NaN words that from_chars would take.
    const bool starts_number =
        !number.empty() &&
        (IsDigit(number.front()) || (number.front() == '.' && number.size() > 1 && IsDigit(number[1])));
    if (!starts_number) {
        return 0.0;
    }
    double value = 0.0;
    const char* last = number.data() + number.size();
    const auto result = std::from_chars(number.data(), last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value = OutOfRangeMagnitude(number.substr(0, static_cast<std::size_t>(result.ptr - number.data())));
    }
    return negative ? -value : value;
}

}  // namespace kelpa::store
