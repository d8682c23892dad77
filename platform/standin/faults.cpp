#include <mutex>
#include <string>
#include <unordered_map>

#include "standin_faults.h"

namespace standin {
namespace {

struct Plan {
    int skip = 0;
    int times = 0;
};

std::mutex g_mutex;
std::unordered_map<std::string, Plan> g_plans;

}  // namespace

void FailCall(std::string_view call, int skip, int times) {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_plans[std::string(call)] = Plan{skip, times};
}

void ClearFailures() {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_plans.clear();
}

bool ShouldFail(std::string_view call) {
    std::lock_guard<std::mutex> hold(g_mutex);
    if (g_plans.empty()) {
        return false;
    }
    auto found = g_plans.find(std::string(call));
    if (found == g_plans.end()) {
        return false;
    }
    Plan& plan = found->second;
    if (plan.skip > 0) {
        --plan.skip;
        return false;
    }
    if (plan.times == 0) {
        return false;
    }
    if (plan.times > 0) {
        --plan.times;
    }
    return true;
}

}  // namespace standin
