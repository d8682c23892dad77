// LADDER1: two values on the chosen side of their references, and a candidate that is strictly
// the lowest (buy) or the highest (sell) against ten peers.
#include "export.h"
#include "library_locks.h"
#include "rule_direction.h"

namespace {

// Ten separate comparisons, not one against a precomputed minimum: a NaN peer fails its own
// comparison, and so the rule. The peers are compared where the caller passed them, uncopied.
template <class... Peers>
bool IsStrictlyBelowAll(double candidate, Peers... peers) {
    return ((candidate < peers) && ...);
}

template <class... Peers>
bool IsStrictlyAboveAll(double candidate, Peers... peers) {
    return ((candidate > peers) && ...);
}

}  // namespace

KELPA_EXPORT int WINAPI LADDER1(int direction, double first_value, double second_value,
                                double first_reference, double second_reference, double candidate,
                                double peer1, double peer2, double peer3, double peer4, double peer5,
                                double peer6, double peer7, double peer8, double peer9,
                                double peer10) noexcept {
    auto hold = kelpa::frame::HoldOperationsLock();
    if (kelpa::rules::IsBuy(direction)) {
        return first_value >= first_reference && second_value >= second_reference &&
               IsStrictlyBelowAll(candidate, peer1, peer2, peer3, peer4, peer5, peer6, peer7, peer8, peer9,
                                  peer10);
    }
    return first_value <= first_reference && second_value <= second_reference &&
           IsStrictlyAboveAll(candidate, peer1, peer2, peer3, peer4, peer5, peer6, peer7, peer8, peer9,
                              peer10);
}
