#include "raw_request.h"

#include <cstring>

#include "win32_api.h"

namespace kelpa::bench {
namespace {

// The web client's receive size, so that both read a response in the same number of calls.
constexpr std::size_t kReceiveChunkBytes = 1024;
constexpr unsigned short kHttpPort = 80;

class Socket {
public:
    Socket() noexcept : socket_(socket(AF_INET, SOCK_STREAM, 0)) {}
    ~Socket() {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET Get() const noexcept { return socket_; }

private:
    SOCKET socket_;
};

}  // namespace

RawClient::RawClient(const char* dotted_address) noexcept {
    const hostent* entry = gethostbyname(dotted_address);
    if (entry != nullptr && entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr) {
        std::memcpy(&address_, entry->h_addr_list[0], sizeof address_);
        ready_ = true;
    }
}

long RawClient::Request(std::string_view request, std::span<char> response) const noexcept {
    const std::string_view whole[] = {request};
    return Exchange(whole, false, response);
}

long RawClient::FragmentedRequest(std::span<const std::string_view> fragments,
                                  std::span<char> response) const noexcept {
    return Exchange(fragments, true, response);
}

long RawClient::Exchange(std::span<const std::string_view> fragments, bool no_delay,
                         std::span<char> response) const noexcept {
    const Socket connection;
    if (connection.Get() == INVALID_SOCKET) {
        return -1;
    }
    if (no_delay) {
        const BOOL on = TRUE;
        if (setsockopt(connection.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                       sizeof on) != 0) {
            return -1;
        }
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(kHttpPort);
    std::memcpy(&server.sin_addr, &address_, sizeof address_);
    if (connect(connection.Get(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
        return -1;
    }
    for (const std::string_view fragment : fragments) {
        if (send(connection.Get(), fragment.data(), static_cast<int>(fragment.size()), 0) !=
            static_cast<int>(fragment.size())) {
            return -1;
        }
    }
    std::size_t stored = 0;
    for (;;) {
        if (response.size() - stored < kReceiveChunkBytes) {
            return -1;
        }
        const int received = recv(connection.Get(), response.data() + stored, kReceiveChunkBytes, 0);
        if (received == 0) {
            return static_cast<long>(stored);
        }
        if (received < 0) {
            return -1;
        }
        stored += static_cast<std::size_t>(received);
    }
}

std::vector<std::string_view> GetFragments(std::string_view request) {
    constexpr std::string_view kGet = "GET ";
    constexpr std::string_view kProtocol = " HTTP/1.0\r\n";
    constexpr std::string_view kLineEnd = "\r\n";
    const std::size_t target_end = request.find(kProtocol);
    if (request.substr(0, kGet.size()) != kGet || target_end == std::string_view::npos) {
        return {};
    }
    std::vector<std::string_view> fragments{kGet, request.substr(kGet.size(), target_end - kGet.size()),
                                            request.substr(target_end, kProtocol.size())};
    std::string_view rest = request.substr(target_end + kProtocol.size());
    while (!rest.empty()) {
        const std::size_t line_end = rest.find(kLineEnd);
        if (line_end == std::string_view::npos) {
            return {};
        }
        fragments.push_back(rest.substr(0, line_end + kLineEnd.size()));
        rest.remove_prefix(line_end + kLineEnd.size());
    }
    return fragments;
}

}  // namespace kelpa::bench
