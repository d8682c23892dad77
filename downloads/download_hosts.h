// The two fixed hosts of the document downloads, build settings of the deliverables that carry
// them (the CMake cache variables KELPA_GRID_SETTINGS_HOST and KELPA_MEMBER_AREA_HOST).
#pragma once

#include <string_view>

namespace kelpa::downloads {

// The web request splits its address at the first "/": a host name can hold none.
constexpr bool IsHostName(std::string_view host) {
    return !host.empty() && host.find('/') == std::string_view::npos;
}

}  // namespace kelpa::downloads
