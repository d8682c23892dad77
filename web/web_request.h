// The web client's export, and the exchange behind it.
#pragma once

#include "export.h"

namespace kelpa::web {

// Connects to `host`, writes the request of `method` (1 GET, 2 POST) and reads the response into
// `response_buffer` (kResponseBufferBytes). 0: the body is there, NUL-terminated. -1: the request
// failed, and the buffer holds the empty string. Runs under the store lock, which the caller holds.
int ExchangeRequest(const char* host, const char* path, const char* data, int method,
                    char* response_buffer) noexcept;

}  // namespace kelpa::web

// Fetches the body of the answer to a GET (method 1) or POST (method 2) of `data` to `address`,
// into `body_buffer`, which must have room for 65,536 bytes. Returns the length copied; 0 when the
// request failed or the body is empty, and `body_buffer` is then not written.
KELPA_EXPORT int WINAPI PeltoWebRequest(char* body_buffer, const char* address, const char* data,
                                        int method) noexcept;
