// The HTTP/1.0 request of the web client: composed as the list of its fragments, then sent with
// one send call per fragment, in order. Composing is pure, so that the fragments can be checked
// without a connection, and a request that cannot go out whole is refused before any is opened.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "win32_api.h"

namespace kelpa::web {

// The method codes callers pass.
inline constexpr int kMethodGet = 1;
inline constexpr int kMethodPost = 2;

// Each formatted fragment (the GET target, the GET Host line, the POST Content-Length line) is
// formatted into 256 bytes with its NUL, as requests have always been: so a GET target has at most
// 255 characters, and a GET host at most 247 ("Host: ", "\r\n" and the NUL take the other 9).
inline constexpr std::size_t kFormattedFragmentBytes = 256;

// "Host: ", "\r\n" and the NUL leave the host of a GET at most 247 characters.
inline constexpr std::size_t kMaxGetHostLength =
    kFormattedFragmentBytes - std::string_view("Host: \r\n").size() - 1;
static_assert(kMaxGetHostLength == 247);

// The longest request, the POST, goes out in fifteen fragments.
inline constexpr std::size_t kMaxRequestFragments = 15;

// A composed request. Its fragments point into the caller's strings and into the request's own
// formatting areas, so it can be neither copied nor moved.
class Request {
public:
    Request() noexcept = default;
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    std::span<const std::string_view> Fragments() const noexcept { return {fragments_.data(), count_}; }

private:
    friend class RequestComposer;

    std::array<std::string_view, kMaxRequestFragments> fragments_{};
    std::size_t count_ = 0;
    char target_area_[kFormattedFragmentBytes];
    char line_area_[kFormattedFragmentBytes];
};

// Compose the GET or the POST of `data` to `path` on `host`. False, with `request` of no use, when
// a formatted fragment does not fit its 256 bytes or a fragment is too long for one send call.
[[nodiscard]] bool ComposeGetRequest(std::string_view host, std::string_view path, std::string_view data,
                                     Request& request) noexcept;
[[nodiscard]] bool ComposePostRequest(std::string_view host, std::string_view path, std::string_view data,
                                      Request& request) noexcept;

// By method code: false for a code other than kMethodGet and kMethodPost, which has no request.
[[nodiscard]] bool ComposeRequest(int method, std::string_view host, std::string_view path,
                                  std::string_view data, Request& request) noexcept;

// Sends each fragment in a send call of its own, in order, with flags 0. A short or failed send is
// not retried: a broken connection shows itself when the response is read.
void SendRequest(SOCKET socket, const Request& request) noexcept;

}  // namespace kelpa::web
