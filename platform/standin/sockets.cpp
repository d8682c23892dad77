// Windows Sockets 1.1 over the Linux socket calls of posix_sockets.cpp, with counters, a journal
// of every send and the routing of port 80 to a test peer.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>
#include <utility>

#include "posix_sockets.h"
#include "standin_faults.h"
#include "standin_sockets.h"

namespace {

// The one port the web client uses; natively it is refused unless a test routes it.
constexpr std::uint16_t kHttpPort = 80;
constexpr WORD kWinsockVersion11 = 0x0101;

std::mutex g_mutex;
int g_sessions = 0;
std::set<SOCKET> g_open_sockets;
std::set<SOCKET> g_no_delay_sockets;
int g_sockets_created = 0;
std::uint16_t g_http_route = 0;
bool g_send_journal_on = false;
std::vector<standin::SendCall> g_send_journal;
standin::SocketTimeouts g_requested_timeouts{0, 0};
DWORD g_timeout_ceiling_ms = 0;

thread_local int t_last_error = 0;

// gethostbyname's answer lives in storage of the calling thread, as on Windows.
struct HostEntry {
    std::uint32_t address;
    char* address_list[2];
    char name[256];
    char* no_aliases[1];
    hostent entry;
};
thread_local HostEntry t_host_entry;

int Fail(int error) {
    t_last_error = error;
    return SOCKET_ERROR;
}

int ErrorOf(standin::posix::Failure failure) {
    switch (failure) {
        case standin::posix::Failure::TimedOut:
            return WSAETIMEDOUT;
        case standin::posix::Failure::Reset:
            return WSAECONNRESET;
        case standin::posix::Failure::Refused:
            return WSAECONNREFUSED;
        default:
            return WSAENOBUFS;
    }
}

bool IsOpen(SOCKET s) {
    std::lock_guard<std::mutex> hold(g_mutex);
    return g_open_sockets.count(s) != 0;
}

bool SessionStarted() {
    std::lock_guard<std::mutex> hold(g_mutex);
    return g_sessions > 0;
}

int Descriptor(SOCKET s) { return static_cast<int>(s); }

// Dotted IPv4 text of four decimal parts, each 0 to 255, into network byte order.
bool ParseDottedAddress(std::string_view text, std::uint32_t& address) {
    unsigned char parts[4];
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int index = 0; index < 4; ++index) {
        if (index > 0) {
            if (at == end || *at != '.') {
                return false;
            }
            ++at;
        }
        unsigned value = 0;
        auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc() || next == at || value > 255) {
            return false;
        }
        parts[index] = static_cast<unsigned char>(value);
        at = next;
    }
    if (at != end) {
        return false;
    }
    std::memcpy(&address, parts, sizeof address);
    return true;
}

// TCP_NODELAY takes a BOOL: any value but 0 turns Nagle's algorithm off.
int SetNoDelay(SOCKET s, const char* value, int value_length) {
    if (value == nullptr || value_length != static_cast<int>(sizeof(BOOL))) {
        return Fail(WSAENOBUFS);
    }
    BOOL no_delay;
    std::memcpy(&no_delay, value, sizeof no_delay);
    if (!standin::posix::SetNoDelay(Descriptor(s), no_delay != 0)) {
        return Fail(WSAENOBUFS);
    }
    std::lock_guard<std::mutex> hold(g_mutex);
    if (no_delay != 0) {
        g_no_delay_sockets.insert(s);
    } else {
        g_no_delay_sockets.erase(s);
    }
    return 0;
}

}  // namespace

int WSAStartup(WORD version_requested, LPWSADATA data) {
    if (standin::ShouldFail("WSAStartup")) {
        return WSASYSNOTREADY;
    }
    if (version_requested != kWinsockVersion11 || data == nullptr) {
        return WSASYSNOTREADY;
    }
    std::memset(data, 0, sizeof *data);
    data->wVersion = kWinsockVersion11;
    data->wHighVersion = kWinsockVersion11;
    std::lock_guard<std::mutex> hold(g_mutex);
    ++g_sessions;
    return 0;
}

int WSACleanup() {
    std::lock_guard<std::mutex> hold(g_mutex);
    if (g_sessions == 0) {
        return Fail(WSANOTINITIALISED);
    }
    --g_sessions;
    return 0;
}

int WSAGetLastError() { return t_last_error; }

SOCKET socket(int af, int type, int protocol) {
    if (!SessionStarted()) {
        Fail(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    if (standin::ShouldFail("socket") || af != AF_INET || type != SOCK_STREAM || protocol != 0) {
        Fail(WSAENOBUFS);
        return INVALID_SOCKET;
    }
    standin::posix::Failure failure;
    const int descriptor = standin::posix::OpenStreamSocket(failure);
    if (descriptor < 0) {
        Fail(ErrorOf(failure));
        return INVALID_SOCKET;
    }
    const SOCKET s = static_cast<SOCKET>(descriptor);
    std::lock_guard<std::mutex> hold(g_mutex);
    g_open_sockets.insert(s);
    ++g_sockets_created;
    return s;
}

hostent* gethostbyname(const char* name) {
    if (!SessionStarted()) {
        Fail(WSANOTINITIALISED);
        return nullptr;
    }
    if (name == nullptr || standin::ShouldFail("gethostbyname")) {
        Fail(WSAHOST_NOT_FOUND);
        return nullptr;
    }
    const std::string_view text(name);
    std::uint32_t address = 0;
    if (text == "localhost") {
        ParseDottedAddress("127.0.0.1", address);
    } else if (!ParseDottedAddress(text, address)) {
        Fail(WSAHOST_NOT_FOUND);
        return nullptr;
    }
    HostEntry& host = t_host_entry;
    host.address = address;
    host.address_list[0] = reinterpret_cast<char*>(&host.address);
    host.address_list[1] = nullptr;
    const std::size_t name_length = std::min(text.size(), sizeof host.name - 1);
    std::memcpy(host.name, text.data(), name_length);
    host.name[name_length] = '\0';
    host.no_aliases[0] = nullptr;
    host.entry = hostent{host.name, host.no_aliases, AF_INET, 4, host.address_list};
    return &host.entry;
}

std::uint16_t htons(std::uint16_t host_short) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<std::uint16_t>((host_short << 8) | (host_short >> 8));
    }
    return host_short;
}

int connect(SOCKET s, const sockaddr* name, int name_length) {
    if (!IsOpen(s)) {
        return Fail(WSAENOTSOCK);
    }
    if (standin::ShouldFail("connect")) {
        return Fail(WSAECONNREFUSED);
    }
    if (name == nullptr || name_length < static_cast<int>(sizeof(sockaddr_in))) {
        return Fail(WSAENOBUFS);
    }
    sockaddr_in target;
    std::memcpy(&target, name, sizeof target);
    if (target.sin_family != AF_INET) {
        return Fail(WSAENOBUFS);
    }
    std::uint16_t port = htons(target.sin_port);  // the same swap both ways
    if (port == kHttpPort) {
        std::lock_guard<std::mutex> hold(g_mutex);
        if (g_http_route == 0) {
            return Fail(WSAECONNREFUSED);
        }
        port = g_http_route;
    }
    standin::posix::Failure failure;
    if (!standin::posix::Connect(Descriptor(s), target.sin_addr.s_addr, port, failure)) {
        return Fail(ErrorOf(failure));
    }
    return 0;
}

int setsockopt(SOCKET s, int level, int option, const char* value, int value_length) {
    if (!IsOpen(s)) {
        return Fail(WSAENOTSOCK);
    }
    if (standin::ShouldFail("setsockopt")) {
        return Fail(WSAENOBUFS);
    }
    if (level == IPPROTO_TCP && option == TCP_NODELAY) {
        return SetNoDelay(s, value, value_length);
    }
    // Otherwise only the two time-outs are modelled; on Windows each is a DWORD of milliseconds.
    if (level != SOL_SOCKET || (option != SO_RCVTIMEO && option != SO_SNDTIMEO) || value == nullptr ||
        value_length != static_cast<int>(sizeof(DWORD))) {
        return Fail(WSAENOBUFS);
    }
    DWORD milliseconds;
    std::memcpy(&milliseconds, value, sizeof milliseconds);
    DWORD applied = milliseconds;
    {
        std::lock_guard<std::mutex> hold(g_mutex);
        (option == SO_RCVTIMEO ? g_requested_timeouts.receive_ms : g_requested_timeouts.send_ms) =
            milliseconds;
        if (g_timeout_ceiling_ms != 0 && (applied == 0 || applied > g_timeout_ceiling_ms)) {
            applied = g_timeout_ceiling_ms;
        }
    }
    if (!standin::posix::SetTimeout(Descriptor(s), option == SO_RCVTIMEO, applied)) {
        return Fail(WSAENOBUFS);
    }
    return 0;
}

int send(SOCKET s, const char* bytes, int length, int flags) {
    if (!IsOpen(s)) {
        return Fail(WSAENOTSOCK);
    }
    if (length < 0 || (bytes == nullptr && length > 0)) {
        return Fail(WSAENOBUFS);
    }
    {
        std::lock_guard<std::mutex> hold(g_mutex);
        if (g_send_journal_on) {
            g_send_journal.push_back({s, std::string(bytes == nullptr ? "" : bytes, length), flags,
                                      g_no_delay_sockets.count(s) != 0});
        }
    }
    if (standin::ShouldFail("send")) {
        return Fail(WSAECONNRESET);
    }
    standin::posix::Failure failure;
    const long sent = standin::posix::Send(Descriptor(s), bytes, static_cast<std::size_t>(length), failure);
    if (sent < 0) {
        return Fail(ErrorOf(failure));
    }
    return static_cast<int>(sent);
}

int recv(SOCKET s, char* bytes, int length, int /*flags*/) {
    if (!IsOpen(s)) {
        return Fail(WSAENOTSOCK);
    }
    if (standin::ShouldFail("recv")) {
        return Fail(WSAECONNRESET);
    }
    if (length < 0 || (bytes == nullptr && length > 0)) {
        return Fail(WSAENOBUFS);
    }
    standin::posix::Failure failure;
    const long received =
        standin::posix::Receive(Descriptor(s), bytes, static_cast<std::size_t>(length), failure);
    if (received < 0) {
        return Fail(ErrorOf(failure));
    }
    return static_cast<int>(received);
}

int closesocket(SOCKET s) {
    {
        std::lock_guard<std::mutex> hold(g_mutex);
        if (g_open_sockets.erase(s) == 0) {
            return Fail(WSAENOTSOCK);
        }
        g_no_delay_sockets.erase(s);
    }
    standin::posix::Close(Descriptor(s));
    return 0;
}

namespace standin {

void RouteHttpPort(std::uint16_t real_port) {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_http_route = real_port;
}

void StartSendJournal() {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_send_journal.clear();
    g_send_journal_on = true;
}

std::vector<SendCall> StopSendJournal() {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_send_journal_on = false;
    return std::exchange(g_send_journal, {});
}

SocketTimeouts RequestedSocketTimeouts() {
    std::lock_guard<std::mutex> hold(g_mutex);
    return g_requested_timeouts;
}

void ShortenSocketTimeouts(DWORD milliseconds) {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_timeout_ceiling_ms = milliseconds;
}

int WinsockSessionCount() {
    std::lock_guard<std::mutex> hold(g_mutex);
    return g_sessions;
}

int OpenSocketCount() {
    std::lock_guard<std::mutex> hold(g_mutex);
    return static_cast<int>(g_open_sockets.size());
}

int SocketsCreatedSoFar() {
    std::lock_guard<std::mutex> hold(g_mutex);
    return g_sockets_created;
}

}  // namespace standin
