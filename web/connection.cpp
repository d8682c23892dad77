#include "connection.h"

#include <cstring>

namespace kelpa::web {
namespace {

bool SetTimeout(SOCKET socket, int option, DWORD milliseconds) {
    // Windows takes the time-out as a DWORD of milliseconds.
    return setsockopt(socket, SOL_SOCKET, option, reinterpret_cast<const char*>(&milliseconds),
                      sizeof milliseconds) == 0;
}

// The request goes out in one send call per fragment, eleven for a GET. With Nagle's algorithm on,
// each small send waits while an earlier one is still unacknowledged, and a server that delays
// its acknowledgements (by 40 ms on Linux, up to 200 ms on Windows) holds the request up by that
// long every time. With it off, each fragment leaves at once; the bytes are the same. A socket
// that refuses the option still carries the request, only slower: its answer is not checked.
void SendEachFragmentAtOnce(SOCKET socket) {
    const BOOL no_delay = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay), sizeof no_delay);
}

}  // namespace

int ConnectToHost(const char* host, Connection& connection) noexcept {
    const bool connected = [&] {
        // A failed start-up shows itself at the socket call that follows.
        connection.session_.Start();
        connection.socket_.Reset(socket(AF_INET, SOCK_STREAM, 0));
        const SOCKET s = connection.socket_.Get();
        if (s == INVALID_SOCKET) {
            return false;
        }
        if (!SetTimeout(s, SO_RCVTIMEO, kReceiveTimeoutMs) || !SetTimeout(s, SO_SNDTIMEO, kSendTimeoutMs)) {
            return false;
        }
        SendEachFragmentAtOnce(s);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(kHttpPort);
        const hostent* entry = gethostbyname(host);
        if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
            return false;
        }
        // The first address alone: no other of the list is tried.
        std::memcpy(&server.sin_addr, entry->h_addr_list[0], sizeof server.sin_addr);
        return connect(s, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0;
    }();
    if (connected) {
        return 0;
    }
    connection.socket_.Reset();
    connection.session_.End();
    return -1;
}

}  // namespace kelpa::web
