#include "address.h"

#include "fixed_text.h"

namespace kelpa::web {

bool SplitAddress(std::string_view address, AddressParts& parts) noexcept {
    const std::size_t slash = address.find('/');
    const std::string_view host = address.substr(0, slash);
    const std::string_view path =
        slash == std::string_view::npos ? std::string_view() : address.substr(slash);
    return JoinInto(parts.host, {host}).has_value() && JoinInto(parts.path, {path}).has_value();
}

}  // namespace kelpa::web
