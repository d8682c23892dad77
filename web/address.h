// The address a caller gives the web request: a host, then optionally a path beginning with "/".
#pragma once

#include <cstddef>
#include <string_view>

namespace kelpa::web {

// The host part and the path part are each kept in 260 bytes with their NUL, as addresses have
// always been split: at most 259 characters each.
inline constexpr std::size_t kAddressPartBytes = 260;

struct AddressParts {
    char host[kAddressPartBytes];
    char path[kAddressPartBytes];
};

// Splits at the first "/": the characters before it are the host part (all of them when there is
// none), the rest, that "/" included, the path part (empty when there is none). False, with
// `parts` of no use, when a part does not fit its 260 bytes.
[[nodiscard]] bool SplitAddress(std::string_view address, AddressParts& parts) noexcept;

}  // namespace kelpa::web
