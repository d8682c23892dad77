// What differs between the six deliverables that share these sources. Each setting is given by
// the deliverable's build target (see kelpa_add_deliverable) and read here, in one place.
#pragma once

// Whether PeltoDeleteVar and PeltoDeleteKey hold the store lock. They do in the libraries whose
// callers mix deletes with web requests, and run unlocked in the others, as those have always
// done; callers of the unlocked ones rely on a delete never waiting for a running request.
#ifndef KELPA_DELETES_TAKE_STORE_LOCK
#error "the deliverable's build target sets KELPA_DELETES_TAKE_STORE_LOCK"
#endif

namespace kelpa::settings {
inline constexpr bool kDeletesTakeStoreLock = KELPA_DELETES_TAKE_STORE_LOCK != 0;
}  // namespace kelpa::settings
