// grabWeb: the grid settings document, from the grid settings host.
#include <string_view>

#include "download_hosts.h"
#include "export.h"
#include "request_writer.h"
#include "web_request.h"

#ifndef KELPA_GRID_SETTINGS_HOST
#error "the build sets KELPA_GRID_SETTINGS_HOST (the CMake cache variable of that name)"
#endif

namespace {

constexpr char kGridSettingsAddress[] =
    KELPA_GRID_SETTINGS_HOST "/tidewell09_member/KELPA_LATTICE/GRID_SETTING.txt";

static_assert(kelpa::downloads::IsHostName(KELPA_GRID_SETTINGS_HOST),
              "KELPA_GRID_SETTINGS_HOST must be a host name without \"/\"");
static_assert(std::string_view(KELPA_GRID_SETTINGS_HOST).size() <= kelpa::web::kMaxGetHostLength,
              "KELPA_GRID_SETTINGS_HOST is too long for the Host line of a GET");

}  // namespace

// No lock of its own: the web request takes the store lock.
KELPA_EXPORT int WINAPI grabWeb(char* body_buffer, const char* data, int method) noexcept {
    return PeltoWebRequest(body_buffer, kGridSettingsAddress, data, method);
}
