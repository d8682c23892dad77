// The baseline of a web request: the bare socket calls of one exchange, with the whole request
// written by one send call. Built on the same Windows Sockets as the web client (natively the
// stand-in's), in a process that has started Windows Sockets already.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kelpa::bench {

class RawClient {
public:
    // Resolves `dotted_address` once, here, outside any timing.
    explicit RawClient(const char* dotted_address) noexcept;
    bool IsReady() const noexcept { return ready_; }

    // socket, connect to port 80 of the address, one send of `request`, recv until the server
    // closes, closesocket. Each receive asks for as many bytes as the web client's do. The number
    // of bytes received (header and body), or -1 when a call failed or `response` is too small.
    long Request(std::string_view request, std::span<char> response) const noexcept;

    // The same, with each of `fragments` in a send call of its own on a socket that sends
    // without delay (TCP_NODELAY), as the web client sends.
    long FragmentedRequest(std::span<const std::string_view> fragments,
                           std::span<char> response) const noexcept;

private:
    long Exchange(std::span<const std::string_view> fragments, bool no_delay,
                  std::span<char> response) const noexcept;

    std::uint32_t address_ = 0;  // network byte order
    bool ready_ = false;
};

// The fragments the web client sends a GET in: "GET ", the target, " HTTP/1.0\r\n", each header
// line, and the two "\r\n" at the end. Empty when `request` is not such a GET.
std::vector<std::string_view> GetFragments(std::string_view request);

}  // namespace kelpa::bench
