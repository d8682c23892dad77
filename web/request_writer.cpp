#include "request_writer.h"

#include <charconv>
#include <limits>

#include "fixed_text.h"

namespace kelpa::web {
namespace {

constexpr std::string_view kGetWord = "GET ";
constexpr std::string_view kPostWord = "POST ";
constexpr std::string_view kProtocol = " HTTP/1.0\r\n";
constexpr std::string_view kAccept = "Accept: *.*\r\n";
constexpr std::string_view kUserAgent =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 2.0.50727)\r\n";
constexpr std::string_view kNoContent = "Content-Length: 0\r\n";
constexpr std::string_view kContentLengthName = "Content-Length: ";
constexpr std::string_view kAcceptLanguage = "Accept-Language: en-us\r\n";
constexpr std::string_view kAcceptEncoding = "Accept-Encoding: gzip, deflate\r\n";
constexpr std::string_view kHostName = "Host: ";
constexpr std::string_view kFormContentType = "Content-Type: application/x-www-form-urlencoded\r\n";
constexpr std::string_view kLineEnd = "\r\n";

// Room for the decimal digits of any length a string can have.
constexpr std::size_t kDecimalDigitsBytes = std::numeric_limits<std::size_t>::digits10 + 1;

}  // namespace

// Appends fragments to a request, refusing any that one send call cannot carry.
class RequestComposer {
public:
    explicit RequestComposer(Request& request) noexcept : request_(request) { request_.count_ = 0; }

    bool Add(std::string_view fragment) noexcept {
        if (!fits_ || request_.count_ == kMaxRequestFragments ||
            fragment.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
            fits_ = false;
            return false;
        }
        request_.fragments_[request_.count_++] = fragment;
        return true;
    }

    bool AddFormatted(std::span<char> area, std::initializer_list<std::string_view> parts) noexcept {
        const auto formatted = JoinInto(area, parts);
        if (!formatted) {
            fits_ = false;
            return false;
        }
        return Add(*formatted);
    }

    std::span<char> TargetArea() noexcept { return request_.target_area_; }
    std::span<char> LineArea() noexcept { return request_.line_area_; }
    bool Fits() const noexcept { return fits_; }

private:
    Request& request_;
    bool fits_ = true;
};

bool ComposeGetRequest(std::string_view host, std::string_view path, std::string_view data,
                       Request& request) noexcept {
    RequestComposer composer(request);
    composer.Add(kGetWord);
    // The "?" is there also when `data` is empty.
    composer.AddFormatted(composer.TargetArea(), {path, "?", data});
    composer.Add(kProtocol);
    composer.Add(kAccept);
    composer.Add(kUserAgent);
    composer.Add(kNoContent);
    composer.Add(kAcceptLanguage);
    composer.Add(kAcceptEncoding);
    composer.AddFormatted(composer.LineArea(), {kHostName, host, kLineEnd});
    composer.Add(kLineEnd);
    // One more line end after the empty line that ends the header: two bytes no header announces,
    // which the servers of these requests have always been sent.
    composer.Add(kLineEnd);
    return composer.Fits();
}

bool ComposePostRequest(std::string_view host, std::string_view path, std::string_view data,
                        Request& request) noexcept {
    char digits[kDecimalDigitsBytes];
    const auto [digits_end, error] = std::to_chars(digits, digits + sizeof digits, data.size());
    if (error != std::errc()) {
        return false;
    }
    RequestComposer composer(request);
    composer.Add(kPostWord);
    composer.Add(path);
    composer.Add(kProtocol);
    composer.Add(kAccept);
    composer.Add(kUserAgent);
    composer.AddFormatted(composer.LineArea(),
                          {kContentLengthName, std::string_view(digits, digits_end - digits), kLineEnd});
    composer.Add(kAcceptLanguage);
    composer.Add(kAcceptEncoding);
    composer.Add(kHostName);
    composer.Add(host);
    composer.Add(kLineEnd);
    composer.Add(kFormContentType);
    composer.Add(kLineEnd);
    composer.Add(data);
    // After the body, and not counted in its length.
    composer.Add(kLineEnd);
    return composer.Fits();
}

bool ComposeRequest(int method, std::string_view host, std::string_view path, std::string_view data,
                    Request& request) noexcept {
    switch (method) {
        case kMethodGet:
            return ComposeGetRequest(host, path, data, request);
        case kMethodPost:
            return ComposePostRequest(host, path, data, request);
        default:
            return false;
    }
}

void SendRequest(SOCKET socket, const Request& request) noexcept {
    for (std::string_view fragment : request.Fragments()) {
        // The result is not looked at: a failed send shows itself as a failed or empty response.
        send(socket, fragment.data(), static_cast<int>(fragment.size()), 0);
    }
}

}  // namespace kelpa::web
