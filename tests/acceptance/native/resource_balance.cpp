// After every case of the native acceptance run, the shared suite's included: every registry key,
// socket, Windows Sockets start-up, heap block and critical section that the case's export calls
// took has been given back, and no key handle was closed twice. The stand-in counts each of them;
// a case that ends with a count other than the one it started with fails, whichever path of an
// export (success or injected failure) left it behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32_api.h"

namespace kelpa::test {
namespace {

struct Counter {
    const char* what;
    int (*count)();
};

const Counter kCounters[] = {
    {"open registry keys", &standin::OpenKeyCount},
    {"key handles used after closing (a double close)", &standin::InvalidHandleCount},
    {"open sockets", &standin::OpenSocketCount},
    {"Windows Sockets start-ups not cleaned up", &standin::WinsockSessionCount},
    {"live heap blocks", &standin::LiveHeapBlockCount},
    {"live critical sections", &standin::LiveCriticalSectionCount},
};

class ResourceBalance : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override {
        before_.clear();
        for (const Counter& counter : kCounters) {
            before_.push_back(counter.count());
        }
    }

    // Runs before the case's result is printed, and a failure here is the case's own.
    void OnTestEnd(const ::testing::TestInfo&) override {
        for (std::size_t at = 0; at < std::size(kCounters) && at < before_.size(); ++at) {
            EXPECT_EQ(kCounters[at].count(), before_[at]) << kCounters[at].what << " after the case";
        }
    }

private:
    std::vector<int> before_;
};

// Registered before main runs, so it sees every case.
[[maybe_unused]] const bool kRegistered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResourceBalance);
    return true;
}();

}  // namespace
}  // namespace kelpa::test
