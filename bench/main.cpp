// kelpa_bench: how close each export comes to the cost of the calls it cannot avoid. One table of
// ratios, each export timed against its baseline side by side in this one process.
//
//   kelpa_bench           a full run (a minute or so natively, a few minutes under Wine)
//   kelpa_bench --smoke   a second or two: shows that every row runs, times nothing worth reading
//
// Exits 0 when every row was measured and every call gave its expected answer; the times
// themselves never fail a run.
#include <cstdio>
#include <cstring>
#include <string>

#include "suites.h"
#include "table.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using kelpa::bench::Pace;
using kelpa::bench::Paces;

constexpr double kMillisecond = 1e6;

// Batches of at least 20 ms, 15 rounds; web requests in batches of 50 ms, 11 rounds. The curl
// runs need enough fetches each that the process start-up, taken out by subtraction, is small
// beside them.
constexpr Paces kFullRun{
    Pace{20 * kMillisecond, 15, 1, 10'000'000},
    Pace{50 * kMillisecond, 11, 4, 2'000},
    Pace{50 * kMillisecond, 11, 50, 2'000},
};
constexpr Paces kSmokeRun{
    Pace{0.5 * kMillisecond, 3, 1, 1'000},
    Pace{1 * kMillisecond, 1, 2, 4},
    Pace{1 * kMillisecond, 1, 3, 4},
};

std::string PlatformDescription() {
#ifdef _WIN32
    using WineVersionFn = const char*(__cdecl*)();
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto wine_version = ntdll == nullptr ? nullptr
                                               : reinterpret_cast<WineVersionFn>(reinterpret_cast<void*>(
                                                     GetProcAddress(ntdll, "wine_get_version")));
    if (wine_version != nullptr) {
        return std::string(
                   "the 32-bit Windows DLLs as they ship (the test build: download hosts on "
                   "127.0.0.1), under Wine ") +
               wine_version() +
               " (tools/wine-env.sh runs its 32-bit x86 code through qemu-i386); Windows services are Wine's";
    }
    return "the 32-bit Windows DLLs as they ship, on Windows";
#else
    return "native stand-in: the deliverables built for Linux (x86-64) against the stand-in of the Windows "
           "services, not the shipping code";
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (argc > 2 || (argc == 2 && !smoke)) {
        std::fprintf(stderr, "usage: %s [--smoke]\n", argv[0]);
        return 2;
    }
    const Paces& paces = smoke ? kSmokeRun : kFullRun;
    kelpa::bench::Table table;
    kelpa::bench::MeasureRuleCalls(paces.calls, table);
    kelpa::bench::MeasureVariableCalls(paces.calls, table);
    kelpa::bench::MeasureWebRequests(paces, table);
    table.Print(PlatformDescription() + (smoke ? " [smoke run: the figures mean nothing]" : ""));
    std::fflush(stdout);
    return table.AllMeasured() ? 0 : 1;
}
