// The benchmark's clock: QueryPerformanceCounter on Windows, std::chrono::steady_clock natively.
// Both are monotonic; only differences of two readings mean anything.
#pragma once

#include <cstdint>

namespace kelpa::bench {

// Nanoseconds since an arbitrary start, as a double: a batch is timed as the difference of two
// readings, and ratios are formed of such differences.
double NowNanoseconds() noexcept;

}  // namespace kelpa::bench
