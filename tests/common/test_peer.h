// A scriptable HTTP server for the web client's tests: it listens on 127.0.0.1, accepts one
// connection, records every byte that arrives, answers with the given bytes in the given send
// calls, and then closes, resets or stalls the connection.
//
// In the Windows test host it listens on port 80 itself, where the libraries connect (the tests run
// as root). Natively it listens on a free port and routes the stand-in's port 80 to it.
//
// Every wait of the peer is bounded, so that a failing test ends instead of hanging.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace kelpa::test {

enum class PeerEnding {
    Close,  // shuts its side down cleanly, then reads on until the client closes
    Reset,  // a moment after the answer, aborts the connection (a reset), whatever is still unread
    Stall,  // sends nothing more and keeps the connection open until the client closes it
};

struct PeerScript {
    // Bytes to read before answering (the whole request, when the test knows its length); the peer
    // answers earlier when the client closes or its wait runs out.
    std::size_t read_before_answer = 0;
    // The answer, each string in a send call of its own. The client may still receive two of
    // them in one chunk, or one in two.
    std::vector<std::string> answer;
    PeerEnding ending = PeerEnding::Close;
    // Sends the answer one byte per send call, each sent at once (no coalescing) after a short
    // pause, so that the client receives it a byte at a time.
    bool drip = false;
};

struct PeerRecord {
    bool connected = false;
    std::string received;  // every byte the client sent, in order
};

class TestPeer {
public:
    explicit TestPeer(PeerScript script);
    ~TestPeer();
    TestPeer(const TestPeer&) = delete;
    TestPeer& operator=(const TestPeer&) = delete;

    // Whether the peer is listening; a test cannot go on without it.
    bool IsListening() const;
    // Why it is not, for the test's message.
    const std::string& SetupError() const { return setup_error_; }

    // Waits until a client has connected, at most `limit`; false when none came in that time.
    bool WaitForClient(std::chrono::milliseconds limit) const;

    // Waits until the conversation is over (the client closed, or the peer's wait ran out) and
    // tells what it was.
    PeerRecord Conversation();

    // Ends the peer at once, also when no client has come, and tells what it saw.
    PeerRecord Stop();

private:
    struct Platform;

    void Run();
#ifdef _WIN32
    static unsigned long __stdcall ThreadStart(void* self);
#endif

    PeerScript script_;
    std::unique_ptr<Platform> platform_;
    std::string setup_error_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> client_arrived_{false};
    bool joined_ = false;
    PeerRecord record_;
};

}  // namespace kelpa::test
