// An entry rule called through a pointer from the loaded library, against a function of the
// benchmark's own called the same way, with the same parameters, whose only work is to take and
// release an uncontended critical section: the part of a rule's cost that no rule can avoid.
#include <string>

#include "loaded_library.h"
#include "suites.h"
#include "win32_api.h"

namespace kelpa::bench {
namespace {

using Rule7 = int(WINAPI*)(int, double, double, double, double, double, double, double);
using Rule15 = int(WINAPI*)(int, double, double, double, double, double, double, double, double, double,
                            double, double, double, double, double, double);

CRITICAL_SECTION g_baseline_lock;

// The baselines: out of line, stdcall, the rules' parameter lists.
__attribute__((noinline)) int WINAPI LockOnly7(int, double, double, double, double, double, double,
                                               double) noexcept {
    EnterCriticalSection(&g_baseline_lock);
    LeaveCriticalSection(&g_baseline_lock);
    return 1;
}

__attribute__((noinline)) int WINAPI LockOnly15(int, double, double, double, double, double, double, double,
                                                double, double, double, double, double, double, double,
                                                double) noexcept {
    EnterCriticalSection(&g_baseline_lock);
    LeaveCriticalSection(&g_baseline_lock);
    return 1;
}

// Read through volatile at every call, so that no call is inlined or hoisted out of its loop.
Rule7 volatile g_rule7;
Rule7 volatile g_lock_only7 = &LockOnly7;
Rule15 volatile g_rule15;
Rule15 volatile g_lock_only15 = &LockOnly15;

// Arguments for which each rule evaluates its whole buy test and answers 1, as the baselines do.
bool CallRule7(Rule7 volatile& pointer) {
    const Rule7 rule = pointer;
    return rule(1, 25.0, 40.0, 1.2100, 1.2000, 0.0001, 0.0, 0.0) == 1;
}

bool CallRule15(Rule15 volatile& pointer) {
    const Rule15 rule = pointer;
    return rule(1, 2.0, 2.0, 1.0, 1.0, 0.5, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0) == 1;
}

constexpr double kGoal = 1.5;
constexpr char kBaseline[] = "own stdcall function, same parameters: lock only";

}  // namespace

void MeasureRuleCalls(const Pace& pace, Table& table) {
    InitializeCriticalSection(&g_baseline_lock);

    const test::LoadedLibrary riptide("KELPA_RIPTIDE");
    g_rule7 = riptide.Export<Rule7>("RIPTIDE1");
    if (g_rule7 == nullptr) {
        table.Fail("RIPTIDE1 (int, 7 doubles)", kBaseline, "KELPA_RIPTIDE or its RIPTIDE1 did not load");
    } else {
        table.Add("RIPTIDE1 (int, 7 doubles)", kBaseline,
                  TimeSideBySide(pace, BatchOf([] { return CallRule7(g_rule7); }),
                                 BatchOf([] { return CallRule7(g_lock_only7); })),
                  kGoal);
    }

    const test::LoadedLibrary ladder("KELPA_LADDER2");
    g_rule15 = ladder.Export<Rule15>("LADDER1");
    if (g_rule15 == nullptr) {
        table.Fail("LADDER1 (int, 15 doubles)", kBaseline, "KELPA_LADDER2 or its LADDER1 did not load");
    } else {
        table.Add("LADDER1 (int, 15 doubles)", kBaseline,
                  TimeSideBySide(pace, BatchOf([] { return CallRule15(g_rule15); }),
                                 BatchOf([] { return CallRule15(g_lock_only15); })),
                  kGoal);
    }

    DeleteCriticalSection(&g_baseline_lock);
}

}  // namespace kelpa::bench
