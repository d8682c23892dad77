// Owners of the Windows Sockets resources of one request: the Windows Sockets start-up and the
// socket, each released by its owner alone.
#pragma once

#include "win32_api.h"

namespace kelpa::web {

// Windows Sockets 1.1, the version the web client is written for.
inline constexpr WORD kWinsockVersion11 = 0x0101;

// One WSAStartup, balanced by one WSACleanup. A start-up that failed is not cleaned up: the
// process-wide count would otherwise drop a start-up of someone else in the process.
class WinsockSession {
public:
    WinsockSession() noexcept = default;
    ~WinsockSession() { End(); }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

    bool Start() noexcept {
        End();
        started_ = WSAStartup(kWinsockVersion11, &startup_record_) == 0;
        return started_;
    }

    void End() noexcept {
        if (started_) {
            WSACleanup();
            started_ = false;
        }
    }

private:
    WSADATA startup_record_{};  // filled by WSAStartup; nothing reads it
    bool started_ = false;
};

class UniqueSocket {
public:
    UniqueSocket() noexcept = default;
    ~UniqueSocket() { Reset(); }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    SOCKET Get() const noexcept { return socket_; }
    bool IsValid() const noexcept { return socket_ != INVALID_SOCKET; }

    // Closes the socket held, if any, and holds `socket` instead.
    void Reset(SOCKET socket = INVALID_SOCKET) noexcept {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
        }
        socket_ = socket;
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace kelpa::web
