// Fault injection: a test names a stand-in call (such as "RegSetValueExA") and that call fails,
// the way the real one can, so that every failure path of the product runs natively.
#pragma once

#include <string_view>

namespace standin {

// From now on, after `skip` more successful calls of `call`, the next `times` calls fail
// (times < 0: every call from then on).
void FailCall(std::string_view call, int skip = 0, int times = 1);

// Forgets every injected failure.
void ClearFailures();

// Asked by each stand-in function on entry: true when this call is to fail.
bool ShouldFail(std::string_view call);

}  // namespace standin
