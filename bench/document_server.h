// The benchmark's loopback HTTP/1.0 server: it serves two fixed documents, one connection after
// another, for as long as it lives. Each answer is one send of the whole response, after which the
// server ends its side and reads until the client has closed, as an HTTP/1.0 server does.
//
// Under Windows it listens on port 80 of kServerAddress, where the web client connects (the
// benchmark runs as root). Natively it listens on a free port of that address and the stand-in's
// port 80 is routed to it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kelpa::bench {

// A loopback address of the benchmark's own, not 127.0.0.1: the test peers of a test run on the
// same machine listen on 127.0.0.1:80, and neither may take the port from the other.
inline constexpr char kServerAddress[] = "127.0.0.2";

// The two documents: 1 KiB, and the largest body the web client returns whole (65,535 bytes).
inline constexpr std::size_t kSmallDocumentBytes = 1024;
inline constexpr std::size_t kLargeDocumentBytes = 65535;
inline constexpr char kSmallDocumentPath[] = "/doc1k";
inline constexpr char kLargeDocumentPath[] = "/doc64k";

// The body served at `path` ("/doc1k" or "/doc64k"); empty for any other path.
std::string DocumentBody(std::string_view path);

// When the server's TCP acknowledges what it receives.
enum class AckTiming {
    Immediate,  // as the system does by itself: on Linux loopback at once, early in a connection
    Delayed,    // on its delayed-ACK timer, as many servers do (natively only: a Linux socket option)
};

// Whether this build's server can delay its acknowledgements on purpose.
#ifdef _WIN32
inline constexpr bool kServerCanDelayAcks = false;
#else
inline constexpr bool kServerCanDelayAcks = true;
#endif

class DocumentServer {
public:
    explicit DocumentServer(AckTiming ack_timing = AckTiming::Immediate);
    ~DocumentServer();
    DocumentServer(const DocumentServer&) = delete;
    DocumentServer& operator=(const DocumentServer&) = delete;

    bool IsListening() const;
    const std::string& SetupError() const { return setup_error_; }
    // The port it listens on: 80 under Windows, a free one natively.
    unsigned short Port() const;

    // The bytes of the request it answered as the connection numbered `answer` (counted from 1),
    // so that the benchmark can check that two clients sent the same request; waits a while for
    // that answer to end (the server records a request once its client has closed). Empty when
    // that is not the last answer given, or it does not come.
    std::string RequestOfAnswer(long answer);
    // Connections answered with a document, and connections that went wrong (a request that
    // did not end, a path it does not serve).
    long Answered() const { return answered_.load(); }
    long Refused() const { return refused_.load(); }

private:
    struct Platform;

    void Serve();
    void Answer(std::uintptr_t connection);
#ifdef _WIN32
    static unsigned long __stdcall ThreadStart(void* self);
#endif

    std::unique_ptr<Platform> platform_;
    AckTiming ack_timing_;
    std::string setup_error_;
    std::string small_response_;
    std::string large_response_;
    std::atomic<bool> stop_{false};
    std::atomic<long> answered_{0};
    std::atomic<long> refused_{0};
    // Written by the serving thread before it counts the answer, read only once the count shows
    // it: the benchmark's one client makes no other request meanwhile.
    std::string last_request_;
};

}  // namespace kelpa::bench
