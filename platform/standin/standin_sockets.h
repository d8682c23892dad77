// wsock32 stand-in: Windows Sockets 1.1 over the Linux socket calls, and its test controls.
//
// The functions have C++ linkage, so they never meet the C library's functions of the same names;
// the Linux socket headers stay out of this header and out of every file that includes it.
//
// Natively nothing listens on port 80: a connection to port 80 is refused unless a test routes it
// to the real port of its test peer (RouteHttpPort).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standin_types.h"

using SOCKET = std::uintptr_t;

#define INVALID_SOCKET (~SOCKET{0})
#define SOCKET_ERROR (-1)

#define AF_INET 2
#define SOCK_STREAM 1
#define SOL_SOCKET 0xffff
#define SO_SNDTIMEO 0x1005
#define SO_RCVTIMEO 0x1006
#define IPPROTO_TCP 6
#define TCP_NODELAY 0x0001

// The error codes the stand-in reports through WSAGetLastError.
#define WSAETIMEDOUT 10060
#define WSAECONNRESET 10054
#define WSAECONNREFUSED 10061
#define WSAENOTSOCK 10038
#define WSAENOBUFS 10055
#define WSANOTINITIALISED 10093
#define WSASYSNOTREADY 10091
#define WSAHOST_NOT_FOUND 11001

namespace standin::wsock {

struct WsaData {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

struct InAddr {
    std::uint32_t s_addr;  // network byte order
};

struct SockAddr {
    std::uint16_t sa_family;
    char sa_data[14];
};

struct SockAddrIn {
    std::int16_t sin_family;
    std::uint16_t sin_port;  // network byte order
    InAddr sin_addr;
    char sin_zero[8];
};

struct HostEnt {
    char* h_name;
    char** h_aliases;
    std::int16_t h_addrtype;
    std::int16_t h_length;
    char** h_addr_list;
};

}  // namespace standin::wsock

// The Windows names of the socket structures. Aliases, not definitions: the Linux structures of
// the same names stay distinct types in the files that use them.
using WSADATA = standin::wsock::WsaData;
using LPWSADATA = WSADATA*;
using in_addr = standin::wsock::InAddr;
using sockaddr = standin::wsock::SockAddr;
using sockaddr_in = standin::wsock::SockAddrIn;
using hostent = standin::wsock::HostEnt;

int WSAStartup(WORD version_requested, LPWSADATA data);
int WSACleanup();
int WSAGetLastError();
SOCKET socket(int af, int type, int protocol);
hostent* gethostbyname(const char* name);
std::uint16_t htons(std::uint16_t host_short);
int connect(SOCKET s, const sockaddr* name, int name_length);
int setsockopt(SOCKET s, int level, int option, const char* value, int value_length);
int send(SOCKET s, const char* bytes, int length, int flags);
int recv(SOCKET s, char* bytes, int length, int flags);
int closesocket(SOCKET s);

namespace standin {

// Every call above can be made to fail with FailCall under its own name. A failed recv reports a
// reset (WSAECONNRESET); a failed gethostbyname an unknown host.

// Connections to port 80 go to 127.0.0.1:`real_port` instead of being refused; 0 ends the routing.
void RouteHttpPort(std::uint16_t real_port);

// Each send call, in order: its bytes and flags, also when the send itself failed, and whether
// the socket had been asked to send without delay (TCP_NODELAY) by then.
struct SendCall {
    SOCKET socket;
    std::string bytes;
    int flags;
    bool no_delay;
};
void StartSendJournal();
std::vector<SendCall> StopSendJournal();

// The time-outs, in milliseconds, that the last setsockopt calls asked for (0: none asked yet).
struct SocketTimeouts {
    DWORD receive_ms;
    DWORD send_ms;
};
SocketTimeouts RequestedSocketTimeouts();

// From now on every socket time-out set is at most `milliseconds`, so that a test of a stalled
// server need not wait for the real one; 0 applies the time-outs as asked.
void ShortenSocketTimeouts(DWORD milliseconds);

// WSAStartup calls not yet balanced by WSACleanup, and sockets created and not yet closed, in the
// whole process.
int WinsockSessionCount();
int OpenSocketCount();

// Sockets created since the process started: a test sees whether a call opened a connection.
int SocketsCreatedSoFar();

}  // namespace standin
