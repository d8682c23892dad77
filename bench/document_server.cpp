#include "document_server.h"

#include <algorithm>
#include <chrono>

#ifdef _WIN32
// Windows Sockets 1.1, as windows.h brings it in.
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

namespace kelpa::bench {

#ifndef _WIN32
// In http_route_native.cpp: the stand-in's port 80 leads to `port` (0: nowhere).
void RouteHttpPortTo(unsigned short port);
#endif

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at the stop flag.
constexpr long kWaitSliceMicroseconds = 20000;
// A client gets this long to finish its request, and to close once it has its answer; then the
// server gives up on it, so that a broken client cannot stop the benchmark.
constexpr std::chrono::seconds kClientLimit{10};
// Room for any request the benchmark's clients send (theirs are below 300 bytes).
constexpr std::size_t kRequestLimitBytes = 8192;
constexpr std::size_t kReadBytes = 4096;
// The queue of connections not yet accepted: the benchmark connects one at a time.
constexpr int kListenBacklog = 16;

// How often RequestOfAnswer looks whether the answer has ended.
constexpr std::chrono::milliseconds kRecordWait{1};

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

#ifdef _WIN32
using ServerSocket = SOCKET;
constexpr ServerSocket kNoSocket = INVALID_SOCKET;
// The web client connects to port 80 of the host it is given.
constexpr unsigned short kListenPort = 80;
void CloseSocket(ServerSocket s) { closesocket(s); }
constexpr int kShutdownSend = 1;  // SD_SEND of Windows Sockets 2
#else
using ServerSocket = int;
constexpr ServerSocket kNoSocket = -1;
constexpr unsigned short kListenPort = 0;  // any free port; the stand-in routes port 80 to it
void CloseSocket(ServerSocket s) { ::close(s); }
constexpr int kShutdownSend = SHUT_WR;
#endif

std::string LastSocketError() {
#ifdef _WIN32
    return "Winsock error " + std::to_string(WSAGetLastError());
#else
    return "errno " + std::to_string(errno);
#endif
}

// True when `s` has something to read (data, an end or an error) before `deadline`; false when
// the server is stopping or the deadline has passed.
bool WaitReadable(ServerSocket s, const std::atomic<bool>& stop, Clock::time_point deadline) {
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

void Pause(std::chrono::milliseconds duration) {
#ifdef _WIN32
    Sleep(static_cast<DWORD>(duration.count()));
#else
    std::this_thread::sleep_for(duration);
#endif
}

bool SendAll(ServerSocket s, std::string_view bytes) {
    while (!bytes.empty()) {
        const int count = static_cast<int>(::send(s, bytes.data(), static_cast<int>(bytes.size()), 0));
        if (count <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

// Linux leaves quick-ACK mode when asked to, but may enter it again by itself, so the request is
// made again before every receive.
void DelayAcks(ServerSocket connection, AckTiming ack_timing) {
#ifdef _WIN32
    (void)connection, (void)ack_timing;
#else
    if (ack_timing == AckTiming::Delayed) {
        const int quick_ack = 0;
        ::setsockopt(connection, IPPROTO_TCP, TCP_QUICKACK, &quick_ack, sizeof quick_ack);
    }
#endif
}

// The path of the request line "GET /path?query HTTP/1.0", without the query.
std::string_view RequestPath(std::string_view request) {
    constexpr std::string_view kGet = "GET ";
    if (request.substr(0, kGet.size()) != kGet) {
        return {};
    }
    request.remove_prefix(kGet.size());
    return request.substr(0, request.find_first_of("? \r\n"));
}

std::string Response(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

}  // namespace

std::string DocumentBody(std::string_view path) {
    std::size_t size = 0;
    if (path == kSmallDocumentPath) {
        size = kSmallDocumentBytes;
    } else if (path == kLargeDocumentPath) {
        size = kLargeDocumentBytes;
    }
    // Lines of printable text: no NUL, which would cut the body short in the caller's buffer.
    std::string body(size, ' ');
    for (std::size_t at = 0; at < size; ++at) {
        body[at] = at % 64 == 63 ? '\n' : static_cast<char>('a' + at % 26);
    }
    return body;
}

struct DocumentServer::Platform {
#ifdef _WIN32
    bool winsock_started = false;
    HANDLE thread = nullptr;
#else
    std::thread thread;
#endif
    ServerSocket listener = kNoSocket;
    unsigned short port = 0;
};

DocumentServer::DocumentServer(AckTiming ack_timing)
    : platform_(std::make_unique<Platform>()),
      ack_timing_(ack_timing),
      small_response_(Response(DocumentBody(kSmallDocumentPath))),
      large_response_(Response(DocumentBody(kLargeDocumentPath))) {
#ifdef _WIN32
    WSADATA data;
    platform_->winsock_started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    if (!platform_->winsock_started) {
        setup_error_ = "WSAStartup failed";
        return;
    }
#endif
    const ServerSocket listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener == kNoSocket) {
        setup_error_ = "socket: " + LastSocketError();
        return;
    }
    // The connections of an earlier run may still be in their closing wait.
    const int reuse = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kListenPort);
    address.sin_addr.s_addr = inet_addr(kServerAddress);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, kListenBacklog) != 0) {
        setup_error_ = std::string("bind or listen on ") + kServerAddress + ":" +
                       std::to_string(kListenPort) + ": " + LastSocketError();
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
    platform_->thread = CreateThread(nullptr, 0, &DocumentServer::ThreadStart, this, 0, nullptr);
#else
    RouteHttpPortTo(platform_->port);
    platform_->thread = std::thread([this] { Serve(); });
#endif
}

DocumentServer::~DocumentServer() {
    stop_.store(true);
#ifdef _WIN32
    if (platform_->thread != nullptr) {
        WaitForSingleObject(platform_->thread, INFINITE);
        CloseHandle(platform_->thread);
    }
#else
    if (platform_->thread.joinable()) {
        platform_->thread.join();
    }
    RouteHttpPortTo(0);
#endif
    if (platform_->listener != kNoSocket) {
        CloseSocket(platform_->listener);
    }
#ifdef _WIN32
    if (platform_->winsock_started) {
        WSACleanup();
    }
#endif
}

bool DocumentServer::IsListening() const { return platform_->listener != kNoSocket; }

unsigned short DocumentServer::Port() const { return platform_->port; }

std::string DocumentServer::RequestOfAnswer(long answer) {
    const Clock::time_point deadline = Clock::now() + kClientLimit;
    while (answered_.load() < answer && Clock::now() < deadline) {
        Pause(kRecordWait);
    }
    return answered_.load() == answer ? last_request_ : std::string();
}

#ifdef _WIN32
unsigned long __stdcall DocumentServer::ThreadStart(void* self) {
    static_cast<DocumentServer*>(self)->Serve();
    return 0;
}
#endif

void DocumentServer::Serve() {
    while (!stop_.load()) {
        if (!WaitReadable(platform_->listener, stop_, Clock::now() + kClientLimit)) {
            continue;
        }
        const ServerSocket connection = ::accept(platform_->listener, nullptr, nullptr);
        if (connection == kNoSocket) {
            continue;
        }
        Answer(static_cast<std::uintptr_t>(connection));
        CloseSocket(connection);
    }
}

void DocumentServer::Answer(std::uintptr_t accepted) {
    const auto connection = static_cast<ServerSocket>(accepted);
    const Clock::time_point deadline = Clock::now() + kClientLimit;
    // The answer goes out in one send; nothing of it should wait for an acknowledgement.
    const int no_delay = 1;
    ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay),
                 sizeof no_delay);

    std::string request;
    char bytes[kReadBytes];
    DelayAcks(connection, ack_timing_);
    while (request.find(kHeaderEnd) == std::string::npos) {
        DelayAcks(connection, ack_timing_);
        if (request.size() > kRequestLimitBytes || !WaitReadable(connection, stop_, deadline)) {
            ++refused_;
            return;
        }
        const int count = static_cast<int>(::recv(connection, bytes, sizeof bytes, 0));
        if (count <= 0) {
            ++refused_;
            return;
        }
        request.append(bytes, static_cast<std::size_t>(count));
    }
    const std::string_view path = RequestPath(request);
    const std::string* response = path == kSmallDocumentPath   ? &small_response_
                                  : path == kLargeDocumentPath ? &large_response_
                                                               : nullptr;
    if (response == nullptr || !SendAll(connection, *response)) {
        ++refused_;
        return;
    }
    // The end of the answer, then whatever the client still sends (the web client's two bytes
    // after the header) until it closes: no unread byte turns the close into a reset.
    ::shutdown(connection, kShutdownSend);
    while (WaitReadable(connection, stop_, deadline)) {
        const int count = static_cast<int>(::recv(connection, bytes, sizeof bytes, 0));
        if (count <= 0) {
            break;
        }
        request.append(bytes, static_cast<std::size_t>(count));
    }
    last_request_ = std::move(request);
    ++answered_;
}

}  // namespace kelpa::bench
