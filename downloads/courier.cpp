// COURIER1: a named document of a product, from the member area on the member-area host.
#include <string_view>

#include "download_hosts.h"
#include "export.h"
#include "fixed_text.h"
#include "library_locks.h"
#include "request_writer.h"
#include "web_request.h"

#ifndef KELPA_MEMBER_AREA_HOST
#error "the build sets KELPA_MEMBER_AREA_HOST (the CMake cache variable of that name)"
#endif

namespace {

constexpr std::string_view kMemberAreaPrefix = KELPA_MEMBER_AREA_HOST "/memberarea/KELPA_";
constexpr char kMemberQuery[] = "ok=1";

// The member document address has always been built in 256 bytes with its NUL: at most 255
// characters, the host included.
constexpr std::size_t kMemberAddressBytes = 256;

static_assert(kelpa::downloads::IsHostName(KELPA_MEMBER_AREA_HOST),
              "KELPA_MEMBER_AREA_HOST must be a host name without \"/\"");
static_assert(std::string_view(KELPA_MEMBER_AREA_HOST).size() <= kelpa::web::kMaxGetHostLength,
              "KELPA_MEMBER_AREA_HOST is too long for the Host line of a GET");
static_assert(kMemberAreaPrefix.size() < kMemberAddressBytes, "KELPA_MEMBER_AREA_HOST is too long");

}  // namespace

// Returns 1 when a non-empty document was copied into `body_buffer` (room for 65,536 bytes), else
// 0: a failed download and an empty document look the same.
KELPA_EXPORT int WINAPI COURIER1(char* body_buffer, const char* product_folder,
                                 const char* document) noexcept {
    // The operations lock first; the web request takes the store lock inside it.
    auto hold = kelpa::frame::HoldOperationsLock();
    if (body_buffer == nullptr || product_folder == nullptr || document == nullptr) {
        return 0;
    }
    char address[kMemberAddressBytes];
    // An address that does not fit is not cut into another document's address: nothing is sent.
    if (!kelpa::web::JoinInto(address, {kMemberAreaPrefix, product_folder, "/", document})) {
        return 0;
    }
    return PeltoWebRequest(body_buffer, address, kMemberQuery, kelpa::web::kMethodGet) != 0 ? 1 : 0;
}
