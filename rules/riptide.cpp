// The Riptide entry rules. KELPA_RIPTIDE exports them as RIPTIDE1 to RIPTIDE4 and KELPA_UNDERTOW,
// built from this same source, as UNDERTOW1 to UNDERTOW4: the word is the deliverable's setting
// KELPA_RIPTIDE_EXPORT_WORD.
//
// Each rule is an oscillator condition and a price condition against a level shifted by
// step x multiplier. The product and the sum are plain double operations (SSE2 on Windows), so a
// price equal to the shifted level as computed passes an inclusive test.
#include "export.h"
#include "library_locks.h"
#include "rule_direction.h"

#ifndef KELPA_RIPTIDE_EXPORT_WORD
#error "the deliverable's build target sets KELPA_RIPTIDE_EXPORT_WORD (RIPTIDE or UNDERTOW)"
#endif
#define KELPA_JOIN_NAME(word, number) word##number
#define KELPA_RULE_NAME(word, number) KELPA_JOIN_NAME(word, number)
#define RIPTIDE_EXPORT(number) KELPA_RULE_NAME(KELPA_RIPTIDE_EXPORT_WORD, number)

namespace {

// RIPTIDE1 has no multiplier parameter: its offset is always 20 steps.
constexpr double kRiptide1StepMultiplier = 20.0;

double UpperLevel(double level, double step, double step_multiplier) {
    return level + step * step_multiplier;
}

double LowerLevel(double level, double step, double step_multiplier) {
    return level - step * step_multiplier;
}

}  // namespace

// Buy: an oscillator below its threshold and the price at or above the upper level; the sell
// mirrors it. The opposite price sides from the other three rules.
KELPA_EXPORT int WINAPI RIPTIDE_EXPORT(1)(int direction, double first_oscillator, double second_oscillator,
                                          double price, double level, double step, double /*spare1*/,
                                          double /*spare2*/) noexcept {
    auto hold = kelpa::frame::HoldOperationsLock();
    if (kelpa::rules::IsBuy(direction)) {
        return (first_oscillator < 30.0 || second_oscillator < 36.0) &&
               price >= UpperLevel(level, step, kRiptide1StepMultiplier);
    }
    return (first_oscillator > 70.0 || second_oscillator > 64.0) &&
           price <= LowerLevel(level, step, kRiptide1StepMultiplier);
}

KELPA_EXPORT int WINAPI RIPTIDE_EXPORT(2)(int direction, double first_oscillator, double second_oscillator,
                                          double third_oscillator, double price, double level, double step,
                                          double step_multiplier, double /*spare1*/,
                                          double /*spare2*/) noexcept {
    auto hold = kelpa::frame::HoldOperationsLock();
    if (kelpa::rules::IsBuy(direction)) {
        return (first_oscillator <= -150.0 || third_oscillator <= -150.0) && second_oscillator <= -120.0 &&
               price <= LowerLevel(level, step, step_multiplier);
    }
    return (first_oscillator >= 150.0 || third_oscillator >= 150.0) && second_oscillator >= 120.0 &&
           price >= UpperLevel(level, step, step_multiplier);
}

// The buy bounds the first oscillator from below and the sell from above, so every value from
// 99.85 to 100.15 passes condition 1 of both tests.
KELPA_EXPORT int WINAPI RIPTIDE_EXPORT(3)(int direction, double first_oscillator, double second_oscillator,
                                          double price, double level, double step, double step_multiplier,
                                          double /*spare1*/, double /*spare2*/) noexcept {
    auto hold = kelpa::frame::HoldOperationsLock();
    if (kelpa::rules::IsBuy(direction)) {
        return first_oscillator >= 99.85 && second_oscillator <= -200.0 &&
               price <= LowerLevel(level, step, step_multiplier);
    }
    return first_oscillator <= 100.15 && second_oscillator >= 200.0 &&
           price >= UpperLevel(level, step, step_multiplier);
}

KELPA_EXPORT int WINAPI RIPTIDE_EXPORT(4)(int direction, double first_oscillator, double first_line,
                                          double second_line, double price, double level, double step,
                                          double step_multiplier, double /*spare1*/,
                                          double /*spare2*/) noexcept {
    auto hold = kelpa::frame::HoldOperationsLock();
    if (kelpa::rules::IsBuy(direction)) {
        return first_oscillator <= -90.0 && second_line > first_line &&
               price <= LowerLevel(level, step, step_multiplier);
    }
    return first_oscillator >= -10.0 && second_line < first_line &&
           price >= UpperLevel(level, step, step_multiplier);
}
