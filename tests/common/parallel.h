// Runs one function on several threads at once and waits for all of them: std::thread natively,
// CreateThread in the Windows test host (whose MinGW run-time has no std::thread).
#pragma once

#include <functional>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <thread>
#endif

namespace kelpa::test {

// Calls `work(index)` for index 0 to `count` - 1, each on a thread of its own, and returns once
// every call has returned.
inline void RunOnThreads(int count, const std::function<void(int)>& work) {
#ifdef _WIN32
    struct Start {
        const std::function<void(int)>* work;
        int index;
        static DWORD WINAPI Run(void* start) {
            const auto* s = static_cast<const Start*>(start);
            (*s->work)(s->index);
            return 0;
        }
    };
    std::vector<Start> starts(static_cast<std::size_t>(count));
    std::vector<HANDLE> threads;
    for (int index = 0; index < count; ++index) {
        starts[static_cast<std::size_t>(index)] = Start{&work, index};
        threads.push_back(
            CreateThread(nullptr, 0, &Start::Run, &starts[static_cast<std::size_t>(index)], 0, nullptr));
    }
    for (HANDLE thread : threads) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
#else
    std::vector<std::thread> threads;
    for (int index = 0; index < count; ++index) {
        threads.emplace_back(work, index);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
#endif
}

}  // namespace kelpa::test
