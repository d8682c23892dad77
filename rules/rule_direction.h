// The direction flag shared by the rules that test a buy or a sell condition.
#pragma once

namespace kelpa::rules {

// Exactly 1 selects the buy test; every other value, 0, 2 and the negatives included, the sell test.
inline constexpr bool IsBuy(int direction) { return direction == 1; }

}  // namespace kelpa::rules
