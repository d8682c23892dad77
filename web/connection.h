// The connection of one web request: Windows Sockets started, a TCP socket connected to port 80
// of the host, with receive and send time-outs, sending each fragment of the request at once.
#pragma once

#include "socket_owners.h"
#include "win32_api.h"

namespace kelpa::web {

// Every address of the web client is reached on the HTTP port.
inline constexpr unsigned short kHttpPort = 80;

// A request holds the store lock from before it connects until it has closed the connection. A
// server that accepts and then never answers, or never closes, would hold that lock, and with it
// every variable call of the library, for ever. Thirty seconds is far beyond any answer of a
// working server, and gives the lock back to the other callers within bounds.
inline constexpr DWORD kReceiveTimeoutMs = 30000;
inline constexpr DWORD kSendTimeoutMs = 30000;

// Released in the order the resources were taken back: the socket is closed, then Windows Sockets
// is released.
class Connection {
public:
    Connection() noexcept = default;
    SOCKET Socket() const noexcept { return socket_.Get(); }

private:
    friend int ConnectToHost(const char* host, Connection& connection) noexcept;

    WinsockSession session_;  // declared first: released last
    UniqueSocket socket_;
};

// Starts Windows Sockets, creates the socket, sets its time-outs, turns Nagle's algorithm off,
// resolves `host` (a host name or dotted IPv4 text) and connects to the first address found, port
// 80. 0 when connected; -1 when any step failed, with the socket closed and Windows Sockets
// released already.
int ConnectToHost(const char* host, Connection& connection) noexcept;

}  // namespace kelpa::web
