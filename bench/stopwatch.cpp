#include "stopwatch.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#endif

namespace kelpa::bench {

#ifdef _WIN32

double NowNanoseconds() noexcept {
    // The counter's frequency is fixed at boot: read once.
    static const double nanoseconds_per_tick = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1e9 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * nanoseconds_per_tick;
}

#else

double NowNanoseconds() noexcept {
    const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(since_start).count());
}

#endif

}  // namespace kelpa::bench
