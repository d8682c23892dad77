// The grid rules LATTICE2 and LATTICE3, and LATTICE1, the currency display text.
#include <cstring>
#include <string_view>

#include "export.h"
#include "library_locks.h"

namespace {

struct CurrencyRow {
    const char* code;
    std::string_view display;  // the bytes written, terminating NUL included
};

// Fixed text, never formatted: the number, a semicolon and the sign. The first four signs are
// single Windows-1252 bytes (dollar, pound, euro, yen).
constexpr CurrencyRow kCurrencyTable[] = {
    {"USD", std::string_view("1;\x24", 4)},   {"GBP", std::string_view("2;\xA3", 4)},
    {"EUR", std::string_view("1.5;\x80", 6)}, {"JPY", std::string_view("0.01;\xA5", 7)},
    {"CHF", std::string_view("1;CHF", 6)},    {"CAD", std::string_view("1;CAD", 6)},
    {"AUD", std::string_view("1;AUD", 6)},    {"NZD", std::string_view("1;NZD", 6)},
};

// The five tests both grid rules run, in this order; they differ only in the selector's.
bool GridRuleHolds(double required1, double required2, double required3, bool selector_passes,
                   double blocker) {
    return required1 != 0.0 && required2 != 0.0 && required3 != 0.0 && selector_passes && blocker == 0.0;
}

}  // namespace

KELPA_EXPORT int WINAPI LATTICE1(const char* currency_code, char* display_text) noexcept {
    auto hold = kelpa::frame::HoldOperationsLock();
    // A null pointer is not a currency code nor a buffer: nothing to compare, nothing written.
    if (currency_code == nullptr || display_text == nullptr) {
        return 1;
    }
    for (const CurrencyRow& row : kCurrencyTable) {
        if (std::strcmp(currency_code, row.code) == 0) {
            std::memcpy(display_text, row.display.data(), row.display.size());
        }
    }
    return 1;
}

KELPA_EXPORT int WINAPI LATTICE2(double required1, double required2, double required3, double selector,
                                 double blocker) noexcept {
    auto hold = kelpa::frame::HoldOperationsLock();
    return GridRuleHolds(required1, required2, required3, selector == 0.0, blocker);
}

KELPA_EXPORT int WINAPI LATTICE3(double required1, double required2, double required3, double selector,
                                 double blocker) noexcept {
    auto hold = kelpa::frame::HoldOperationsLock();
    return GridRuleHolds(required1, required2, required3, selector != 0.0, blocker);
}
