#include "web_request.h"

#include <cstring>
#include <span>

#include "address.h"
#include "connection.h"
#include "heap_block.h"
#include "library_locks.h"
#include "request_writer.h"
#include "response_reader.h"

namespace kelpa::web {
namespace {

constexpr char kConnectionMessage[] = "Unable to connect to authentication server. Please try again.";
constexpr char kConnectionCaption[] = "Error";
// An OK button and the error icon.
constexpr UINT kConnectionMessageStyle = MB_OK | MB_ICONERROR;
static_assert(kConnectionMessageStyle == 0x10);

// Receives until the reader has its answer or the server ends the response. A receive that timed
// out fails the request: what a stalled server sent so far is no document. Any other failed
// receive ends the response like a close: servers that close with the request's two trailing
// bytes unread answer with a reset, and their responses are results.
bool ReadResponse(SOCKET socket, ResponseReader& reader) noexcept {
    char chunk[kReceiveChunkBytes];
    for (;;) {
        const int received = recv(socket, chunk, sizeof chunk, 0);
        if (received > 0) {
            const ReadProgress progress = reader.Feed(chunk, static_cast<std::size_t>(received));
            if (progress != ReadProgress::NeedMore) {
                return progress == ReadProgress::Finished;
            }
            continue;
        }
        if (received == SOCKET_ERROR && WSAGetLastError() == WSAETIMEDOUT) {
            return false;
        }
        return reader.EndOfResponse() == ReadProgress::Finished;
    }
}

}  // namespace

int ExchangeRequest(const char* host, const char* path, const char* data, int method,
                    char* response_buffer) noexcept {
    response_buffer[0] = '\0';
    // Composed before connecting: a request that cannot go out whole, or a method code that has no
    // request, opens no connection.
    Request request;
    if (!ComposeRequest(method, host, path, data, request)) {
        return -1;
    }
    Connection connection;
    if (ConnectToHost(host, connection) != 0) {
        // Modal, and shown under the store lock: the library's other calls wait for the user.
        MessageBoxA(nullptr, kConnectionMessage, kConnectionCaption, kConnectionMessageStyle);
        return -1;
    }
    SendRequest(connection.Socket(), request);
    ResponseReader reader(std::span<char, kResponseBufferBytes>(response_buffer, kResponseBufferBytes));
    if (!ReadResponse(connection.Socket(), reader)) {
        response_buffer[0] = '\0';
        return -1;
    }
    return 0;
}

}  // namespace kelpa::web

KELPA_EXPORT int WINAPI PeltoWebRequest(char* body_buffer, const char* address, const char* data,
                                        int method) noexcept {
    using namespace kelpa::web;
    // Held for the whole exchange: the connection and the response are used by one call at a time.
    auto hold = kelpa::frame::HoldStoreLock();
    if (body_buffer == nullptr || address == nullptr || data == nullptr) {
        return 0;
    }
    AddressParts parts;
    if (!SplitAddress(address, parts)) {
        return 0;
    }
    HeapBlock response(kResponseBufferBytes);
    if (!response) {
        return 0;
    }
    if (ExchangeRequest(parts.host, parts.path, data, method, response.Chars()) != 0) {
        return 0;
    }
    // The body up to its first NUL byte, if any, is what reaches the caller.
    if (response.Chars()[0] == '\0') {
        return 0;
    }
    lstrcpyA(body_buffer, response.Chars());
    return static_cast<int>(std::strlen(body_buffer));
}
