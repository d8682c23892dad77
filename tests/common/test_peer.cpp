#include "test_peer.h"

#include <chrono>

#ifdef _WIN32
// Windows Sockets 1.1, as windows.h brings it in (the test host includes windows.h everywhere).
#include <windows.h>
#include <winsock.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#endif

namespace kelpa::test {

#ifndef _WIN32
// In peer_route_native.cpp: the stand-in's port 80 leads to `port` (0: nowhere).
void RouteHttpPortToPeer(unsigned short port);
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Longest wait of a conversation: beyond the libraries' 30-second socket time-outs, so that a
// library that waits where it must not fails by its own time-out rather than being released by
// the peer; short enough to end a broken test.
constexpr std::chrono::seconds kConversationLimit{45};
// How often a wait looks at the stop flag.
constexpr long kWaitSliceMicroseconds = 20000;
constexpr std::size_t kReadBytes = 4096;
// A reset discards what the client has not read yet (on Windows, and under Wine at times), so the
// peer gives the client this long to take the answer before it resets the connection.
constexpr std::chrono::milliseconds kResetAfter{300};
// Between two bytes of a dripped answer: long enough for each to arrive in a receive of its own.
constexpr std::chrono::milliseconds kDripPause{2};

#ifdef _WIN32
using PeerSocket = SOCKET;
constexpr PeerSocket kNoSocket = INVALID_SOCKET;
// The libraries connect to port 80 of the host they name, 127.0.0.1 in the test build.
constexpr unsigned short kListenPort = 80;
void CloseSocket(PeerSocket s) { closesocket(s); }
constexpr int kShutdownSend = 1;  // SD_SEND of Windows Sockets 2
#else
using PeerSocket = int;
constexpr PeerSocket kNoSocket = -1;
constexpr unsigned short kListenPort = 0;  // any free port; the stand-in routes port 80 to it
void CloseSocket(PeerSocket s) { ::close(s); }
constexpr int kShutdownSend = SHUT_WR;
#endif

// A send to a client that has gone must fail, not raise SIGPIPE in the whole test process.
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

std::string LastSocketError() {
#ifdef _WIN32
    return "Winsock error " + std::to_string(WSAGetLastError());
#else
    return "errno " + std::to_string(errno);
#endif
}

}  // namespace

struct TestPeer::Platform {
#ifdef _WIN32
    bool winsock_started = false;
    HANDLE thread = nullptr;
#else
    std::thread thread;
#endif
    PeerSocket listener = kNoSocket;
    unsigned short port = 0;
};

namespace {

// True when `s` has something to read (data, an end or an error); false when the peer is stopped
// or the deadline has passed.
bool WaitReadable(PeerSocket s, const std::atomic<bool>& stop, Clock::time_point deadline) {
    while (!stop.load() && Clock::now() < deadline) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval slice{0, kWaitSliceMicroseconds};
        const int ready = ::select(static_cast<int>(s) + 1, &readable, nullptr, nullptr, &slice);
        if (ready > 0) {
            return true;
        }
        if (ready < 0) {
            return false;
        }
    }
    return false;
}

// Reads what arrives into `received`, until it holds `until` bytes, the client closes (or resets),
// the peer is stopped, or the deadline passes. False when the client closed.
bool ReadInto(PeerSocket s, std::string& received, std::size_t until, const std::atomic<bool>& stop,
              Clock::time_point deadline) {
    char bytes[kReadBytes];
    while (received.size() < until) {
        if (!WaitReadable(s, stop, deadline)) {
            return true;
        }
        const int count = static_cast<int>(::recv(s, bytes, sizeof bytes, 0));
        if (count <= 0) {
            return false;
        }
        received.append(bytes, static_cast<std::size_t>(count));
    }
    return true;
}

void Pause(std::chrono::milliseconds duration) {
#ifdef _WIN32
    Sleep(static_cast<DWORD>(duration.count()));
#else
    std::this_thread::sleep_for(duration);
#endif
}

bool SendAll(PeerSocket s, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int count = static_cast<int>(
            ::send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), kSendFlags));
        if (count <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace

TestPeer::TestPeer(PeerScript script) : script_(std::move(script)), platform_(std::make_unique<Platform>()) {
#ifdef _WIN32
    WSADATA data;
    platform_->winsock_started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    if (!platform_->winsock_started) {
        setup_error_ = "WSAStartup failed";
        return;
    }
#endif
    PeerSocket listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener == kNoSocket) {
        setup_error_ = "socket: " + LastSocketError();
        return;
    }
    // The previous test's connection on the same port may still be in its closing wait.
    const int reuse = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kListenPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0) {
        setup_error_ =
            "bind or listen on 127.0.0.1:" + std::to_string(kListenPort) + ": " + LastSocketError();
        CloseSocket(listener);
        return;
    }
    sockaddr_in bound{};
#ifdef _WIN32
    int bound_size = sizeof bound;
#else
    socklen_t bound_size = sizeof bound;
#endif
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &bound_size);
    platform_->listener = listener;
    platform_->port = ntohs(bound.sin_port);
#ifdef _WIN32
    platform_->thread = CreateThread(nullptr, 0, &TestPeer::ThreadStart, this, 0, nullptr);
#else
    RouteHttpPortToPeer(platform_->port);
    platform_->thread = std::thread([this] { Run(); });
#endif
}

TestPeer::~TestPeer() {
    Stop();
#ifdef _WIN32
    if (platform_->winsock_started) {
        WSACleanup();
    }
#else
    RouteHttpPortToPeer(0);
#endif
}

bool TestPeer::IsListening() const { return platform_->listener != kNoSocket; }

PeerRecord TestPeer::Conversation() {
    if (!joined_) {
#ifdef _WIN32
        if (platform_->thread != nullptr) {
            WaitForSingleObject(platform_->thread, INFINITE);
            CloseHandle(platform_->thread);
            platform_->thread = nullptr;
        }
#else
        if (platform_->thread.joinable()) {
            platform_->thread.join();
        }
#endif
        joined_ = true;
        if (platform_->listener != kNoSocket) {
            CloseSocket(platform_->listener);
            platform_->listener = kNoSocket;
        }
    }
    return record_;
}

bool TestPeer::WaitForClient(std::chrono::milliseconds limit) const {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!client_arrived_.load()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        Pause(std::chrono::milliseconds(10));
    }
    return true;
}

PeerRecord TestPeer::Stop() {
    stop_.store(true);
    return Conversation();
}

#ifdef _WIN32
unsigned long __stdcall TestPeer::ThreadStart(void* self) {
    static_cast<TestPeer*>(self)->Run();
    return 0;
}
#endif

void TestPeer::Run() {
    const Clock::time_point deadline = Clock::now() + kConversationLimit;
    if (!WaitReadable(platform_->listener, stop_, deadline)) {
        return;
    }
    PeerSocket connection = ::accept(platform_->listener, nullptr, nullptr);
    if (connection == kNoSocket) {
        return;
    }
    record_.connected = true;
    client_arrived_.store(true);
    bool client_open = ReadInto(connection, record_.received, script_.read_before_answer, stop_, deadline);
    if (script_.drip) {
        const int no_delay = 1;
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay),
                     sizeof no_delay);
    }
    for (const std::string& bytes : script_.answer) {
        if (!script_.drip) {
            if (!SendAll(connection, bytes)) {
                break;
            }
            continue;
        }
        bool sent = true;
        for (std::size_t at = 0; sent && at < bytes.size() && !stop_.load(); ++at) {
            Pause(kDripPause);
            sent = SendAll(connection, bytes.substr(at, 1));
        }
        if (!sent) {
            break;
        }
    }
    switch (script_.ending) {
        case PeerEnding::Close:
            ::shutdown(connection, kShutdownSend);
            if (client_open) {
                ReadInto(connection, record_.received, static_cast<std::size_t>(-1), stop_, deadline);
            }
            break;
        case PeerEnding::Reset: {
            Pause(kResetAfter);
            linger abort_at_close{};
            abort_at_close.l_onoff = 1;
            abort_at_close.l_linger = 0;
            ::setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort_at_close),
                         sizeof abort_at_close);
            break;
        }
        case PeerEnding::Stall:
            if (client_open) {
                ReadInto(connection, record_.received, static_cast<std::size_t>(-1), stop_, deadline);
            }
            break;
    }
    CloseSocket(connection);
}

}  // namespace kelpa::test
