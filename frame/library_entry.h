// What the library does when the platform attaches it to or detaches it from a process.
#pragma once

#include "win32_api.h"

namespace kelpa::frame {

// Process attach creates the locks, process detach destroys them; thread attach and detach do
// nothing. Every reason is answered TRUE, so loading never fails on the library's account.
BOOL OnLibraryEntry(DWORD reason) noexcept;

}  // namespace kelpa::frame
