#include "posix_sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace standin::posix {
namespace {

Failure FailureOf(int error) {
    switch (error) {
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case ETIMEDOUT:
            return Failure::TimedOut;
        case ECONNRESET:
        case EPIPE:
            return Failure::Reset;
        case ECONNREFUSED:
            return Failure::Refused;
        default:
            return Failure::Other;
    }
}

}  // namespace

int OpenStreamSocket(Failure& failure) {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    failure = descriptor < 0 ? FailureOf(errno) : Failure::None;
    return descriptor;
}

bool Connect(int descriptor, std::uint32_t address, std::uint16_t port, Failure& failure) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;
    int result;
    do {
        result = ::connect(descriptor, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    } while (result != 0 && errno == EINTR);
    failure = result == 0 ? Failure::None : FailureOf(errno);
    return result == 0;
}

bool SetTimeout(int descriptor, bool receive, std::uint32_t milliseconds) {
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(milliseconds / 1000);
    limit.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    return ::setsockopt(descriptor, SOL_SOCKET, receive ? SO_RCVTIMEO : SO_SNDTIMEO, &limit, sizeof limit) ==
           0;
}

bool SetNoDelay(int descriptor, bool no_delay) {
    const int value = no_delay ? 1 : 0;
    return ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0;
}

long Send(int descriptor, const char* bytes, std::size_t length, Failure& failure) {
    ssize_t result;
    do {
        result = ::send(descriptor, bytes, length, MSG_NOSIGNAL);
    } while (result < 0 && errno == EINTR);
    failure = result < 0 ? FailureOf(errno) : Failure::None;
    return static_cast<long>(result);
}

long Receive(int descriptor, char* bytes, std::size_t length, Failure& failure) {
    ssize_t result;
    do {
        result = ::recv(descriptor, bytes, length, 0);
    } while (result < 0 && errno == EINTR);
    failure = result < 0 ? FailureOf(errno) : Failure::None;
    return static_cast<long>(result);
}

void Close(int descriptor) { ::close(descriptor); }

}  // namespace standin::posix
