// The web request as the stand-in sees it: one send call per fragment, the socket time-outs, the
// connection message box and the locks held while it is up, the failure paths of every Windows
// call, and every socket, Windows Sockets start-up and heap block given back after each case.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "loaded_library.h"
#include "test_peer.h"
#include "web_calls.h"
#include "win32_api.h"

namespace kelpa::test {
namespace {

using standin::LockEvent;

const std::string kConnectionMessage = "Unable to connect to authentication server. Please try again.";

// A deliverable loaded with its two locks told apart: created in the order operations lock, store
// lock.
struct LibraryWithLocks {
    explicit LibraryWithLocks(const char* deliverable) {
        standin::StartLockJournal();
        library = std::make_unique<LoadedLibrary>(deliverable);
        for (const standin::LockJournalEntry& entry : standin::StopLockJournal()) {
            if (entry.event == LockEvent::Initialize) {
                created.push_back(entry.section);
            }
        }
    }
    const CRITICAL_SECTION* OperationsLock() const { return created.size() == 2 ? created[0] : nullptr; }
    const CRITICAL_SECTION* StoreLock() const { return created.size() == 2 ? created[1] : nullptr; }

    std::unique_ptr<LoadedLibrary> library;
    std::vector<const CRITICAL_SECTION*> created;
};

std::vector<std::string> SentBytes(const std::vector<standin::SendCall>& calls) {
    std::vector<std::string> bytes;
    for (const standin::SendCall& call : calls) {
        EXPECT_EQ(call.flags, 0);
        bytes.push_back(call.bytes);
    }
    return bytes;
}

class NativeWeb : public ::testing::Test {
protected:
    void SetUp() override {
        standin::ClearFailures();
        standin::TakeMessageBoxes();
        heap_blocks_before_ = standin::LiveHeapBlockCount();
        ASSERT_TRUE(base_.library->IsLoaded());
        ASSERT_EQ(base_.created.size(), 2u);
        web_request_ = base_.library->Export<WebRequestExport>("PeltoWebRequest");
        ASSERT_NE(web_request_, nullptr);
    }

    void TearDown() override {
        standin::ClearFailures();
        standin::ShortenSocketTimeouts(0);
        EXPECT_EQ(standin::LiveHeapBlockCount(), heap_blocks_before_);
        EXPECT_EQ(standin::OpenSocketCount(), 0);
        EXPECT_EQ(standin::WinsockSessionCount(), 0);
        // Every box a case expects it takes; any other is a fault.
        EXPECT_TRUE(standin::TakeMessageBoxes().empty());
    }

    LibraryWithLocks base_{"KELPA_BASE"};
    WebRequestExport web_request_ = nullptr;
    int heap_blocks_before_ = 0;
};

#define KELPA_START_PEER(peer, script) \
    TestPeer peer(script);             \
    ASSERT_TRUE(peer.IsListening()) << (peer).SetupError()

TEST_F(NativeWeb, AGetGoesOutInElevenSendCalls) {
    const std::string request = ExpectedGet(kLoopbackHost, "/a/b.txt", "x=1");
    KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse("ok")}}));
    CallerBuffer buffer;
    standin::StartSendJournal();

    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/a/b.txt", "x=1", 1), 2);

    const std::vector<std::string> expected = {
        "GET ",
        "/a/b.txt?x=1",
        " HTTP/1.0\r\n",
        "Accept: *.*\r\n",
        kUserAgentLine,
        "Content-Length: 0\r\n",
        "Accept-Language: en-us\r\n",
        "Accept-Encoding: gzip, deflate\r\n",
        "Host: 127.0.0.1\r\n",
        "\r\n",
        "\r\n",
    };
    EXPECT_EQ(SentBytes(standin::StopSendJournal()), expected);
    EXPECT_EQ(peer.Conversation().received, request);
}

TEST_F(NativeWeb, APostGoesOutInFifteenSendCalls) {
    const std::string request = ExpectedPost(kLoopbackHost, "", "k=v");
    KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse("ok")}}));
    CallerBuffer buffer;
    standin::StartSendJournal();

    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1", "k=v", 2), 2);

    // The empty path still has its send call.
    const std::vector<std::string> expected = {
        "POST ",
        "",
        " HTTP/1.0\r\n",
        "Accept: *.*\r\n",
        kUserAgentLine,
        "Content-Length: 3\r\n",
        "Accept-Language: en-us\r\n",
        "Accept-Encoding: gzip, deflate\r\n",
        "Host: ",
        "127.0.0.1",
        "\r\n",
        "Content-Type: application/x-www-form-urlencoded\r\n",
        "\r\n",
        "k=v",
        "\r\n",
    };
    EXPECT_EQ(SentBytes(standin::StopSendJournal()), expected);
    EXPECT_EQ(peer.Conversation().received, request);
}

TEST_F(NativeWeb, TheSocketGetsThirtySecondTimeOutsBothWays) {
    KELPA_START_PEER(peer, (PeerScript{0, {OkResponse("ok")}}));
    CallerBuffer buffer;
    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/t", "", 1), 2);
    const standin::SocketTimeouts asked = standin::RequestedSocketTimeouts();
    EXPECT_EQ(asked.receive_ms, 30000u);
    EXPECT_EQ(asked.send_ms, 30000u);
}

// Nagle's algorithm is off before the first fragment goes out, so that no fragment waits for the
// acknowledgement of the one before it; the send calls and their bytes stay as they are.
TEST_F(NativeWeb, EveryFragmentIsSentWithoutWaiting) {
    for (const int method : {1, 2}) {
        SCOPED_TRACE(method == 1 ? "GET" : "POST");
        const std::string request =
            method == 1 ? ExpectedGet(kLoopbackHost, "/n", "d=1") : ExpectedPost(kLoopbackHost, "/n", "d=1");
        KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse("ok")}}));
        CallerBuffer buffer;
        standin::StartSendJournal();

        EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/n", "d=1", method), 2);

        const std::vector<standin::SendCall> calls = standin::StopSendJournal();
        EXPECT_EQ(calls.size(), method == 1 ? 11u : 15u);
        for (const standin::SendCall& call : calls) {
            EXPECT_TRUE(call.no_delay) << call.bytes;
        }
        EXPECT_EQ(peer.Conversation().received, request);
    }
}

// The option only makes the request faster: a socket that refuses it still carries the request.
TEST_F(NativeWeb, ASocketThatRefusesNoDelayStillCarriesTheRequest) {
    const std::string request = ExpectedGet(kLoopbackHost, "/n", "d=1");
    KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse("ok")}}));
    standin::FailCall("setsockopt", 2);  // the two time-outs are set; the next call fails
    CallerBuffer buffer;
    standin::StartSendJournal();

    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/n", "d=1", 1), 2);

    EXPECT_EQ(buffer.Text(), "ok");
    const std::vector<standin::SendCall> calls = standin::StopSendJournal();
    EXPECT_EQ(calls.size(), 11u);
    for (const standin::SendCall& call : calls) {
        EXPECT_FALSE(call.no_delay) << call.bytes;
    }
    EXPECT_EQ(peer.Conversation().received, request);
    EXPECT_TRUE(standin::TakeMessageBoxes().empty());
}

// Each way a connection can fail: the call returns 0, writes nothing, sends nothing, gives back
// what it took, and shows the one message box while it holds the store lock.
struct ConnectionFailure {
    const char* name;
    const char* failing_call;  // injected, or null
    const char* address;
    bool route_to_peer;
};

void PrintTo(const ConnectionFailure& row, std::ostream* out) { *out << row.name; }

class ConnectionFailures : public NativeWeb, public ::testing::WithParamInterface<ConnectionFailure> {};

TEST_P(ConnectionFailures, ShowTheMessageBoxUnderTheStoreLockAndReturnZero) {
    const ConnectionFailure& row = GetParam();
    std::unique_ptr<TestPeer> peer;
    if (row.route_to_peer) {
        peer = std::make_unique<TestPeer>(PeerScript{0, {OkResponse("unexpected")}});
        ASSERT_TRUE(peer->IsListening());
    }
    if (row.failing_call != nullptr) {
        standin::FailCall(row.failing_call);
    }
    CallerBuffer buffer;
    standin::StartSendJournal();

    EXPECT_EQ(web_request_(buffer.Data(), row.address, "d=1", 1), 0);

    EXPECT_TRUE(standin::StopSendJournal().empty());
    EXPECT_TRUE(buffer.IsUntouched());
    const std::vector<standin::MessageBoxCall> boxes = standin::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, kConnectionMessage);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].style, 0x10u);
    EXPECT_EQ(boxes[0].held_sections, std::vector<const CRITICAL_SECTION*>{base_.StoreLock()});
    // The connection was given back before the box went up.
    if (peer) {
        EXPECT_FALSE(peer->Stop().connected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, ConnectionFailures,
    ::testing::Values(ConnectionFailure{"StartupFails", "WSAStartup", "127.0.0.1/p", true},
                      ConnectionFailure{"SocketFails", "socket", "127.0.0.1/p", true},
                      ConnectionFailure{"TimeOutCannotBeSet", "setsockopt", "127.0.0.1/p", true},
                      ConnectionFailure{"ResolverFails", "gethostbyname", "127.0.0.1/p", true},
                      ConnectionFailure{"ConnectFails", "connect", "127.0.0.1/p", true},
                      ConnectionFailure{"UnknownHost", nullptr, "no-such-host.test/p", true},
                      ConnectionFailure{"NothingListens", nullptr, "127.0.0.1/p", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NativeWeb, AFailedStartupIsNotCleanedUpOnSomeoneElsesAccount) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);  // the host's own start-up
    standin::FailCall("WSAStartup");
    CallerBuffer buffer;
    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/p", "", 1), 0);
    EXPECT_EQ(standin::WinsockSessionCount(), 1);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(standin::TakeMessageBoxes().size(), 1u);
}

TEST_F(NativeWeb, NoResponseBufferNoRequest) {
    KELPA_START_PEER(peer, (PeerScript{0, {OkResponse("unexpected")}}));
    standin::FailCall("HeapAlloc");
    const int sockets_before = standin::SocketsCreatedSoFar();
    CallerBuffer buffer;

    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/p", "", 1), 0);

    EXPECT_EQ(standin::SocketsCreatedSoFar(), sockets_before);
    EXPECT_TRUE(buffer.IsUntouched());
    EXPECT_FALSE(peer.Stop().connected);
}

// Calls refused before any connection: no socket, no message box, the buffer untouched.
struct RefusedCall {
    const char* name;
    bool null_body;
    std::string address;
    const char* data;
    int method;
};

void PrintTo(const RefusedCall& row, std::ostream* out) { *out << row.name; }

class RefusedCalls : public NativeWeb, public ::testing::WithParamInterface<RefusedCall> {};

TEST_P(RefusedCalls, OpenNoConnection) {
    const RefusedCall& row = GetParam();
    const int sockets_before = standin::SocketsCreatedSoFar();
    CallerBuffer buffer;
    EXPECT_EQ(web_request_(row.null_body ? nullptr : buffer.Data(),
                           row.address == "(null)" ? nullptr : row.address.c_str(), row.data, row.method),
              0);
    EXPECT_EQ(standin::SocketsCreatedSoFar(), sockets_before);
    EXPECT_TRUE(buffer.IsUntouched());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, RefusedCalls,
    ::testing::Values(RefusedCall{"MethodZero", false, "127.0.0.1/p", "", 0},
                      RefusedCall{"MethodThree", false, "127.0.0.1/p", "", 3},
                      RefusedCall{"NegativeMethod", false, "127.0.0.1/p", "", -2},
                      RefusedCall{"NullBody", true, "127.0.0.1/p", "", 1},
                      RefusedCall{"NullAddress", false, "(null)", "", 1},
                      RefusedCall{"NullData", false, "127.0.0.1/p", nullptr, 2},
                      RefusedCall{"HostPartOf260", false, std::string(260, 'h') + "/p", "", 2},
                      RefusedCall{"PathPartOf260", false, "127.0.0.1/" + std::string(259, 'p'), "", 2},
                      RefusedCall{"GetTargetOf256", false, "127.0.0.1/" + std::string(249, 'p'), "data!", 1},
                      RefusedCall{"GetHostOf248", false, std::string(248, 'h') + "/p", "", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A server that stops answering: the receive time-out (shortened here) fails the request, and
// nothing of what it sent reaches the caller.
struct StalledServer {
    const char* name;
    std::vector<std::string> answer;
};

void PrintTo(const StalledServer& row, std::ostream* out) { *out << row.name; }

class StalledServers : public NativeWeb, public ::testing::WithParamInterface<StalledServer> {};

TEST_P(StalledServers, FailTheRequestAtTheReceiveTimeOut) {
    standin::ShortenSocketTimeouts(300);
    KELPA_START_PEER(peer, (PeerScript{0, GetParam().answer, PeerEnding::Stall}));
    CallerBuffer buffer;

    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/slow", "", 1), 0);

    EXPECT_TRUE(buffer.IsUntouched());
    // The library closed the connection, which ended the peer's wait.
    EXPECT_TRUE(peer.Conversation().connected);
}

INSTANTIATE_TEST_SUITE_P(Answers, StalledServers,
                         ::testing::Values(StalledServer{"SilentAfterAccepting", {}},
                                           StalledServer{"InTheHeader", {"HTTP/1.0 200 OK\r\nServer: x"}},
                                           StalledServer{"InTheBody", {OkResponse("the first half")}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(NativeWeb, AContentLengthOfZeroEndsTheReadingWithoutWaiting) {
    standin::ShortenSocketTimeouts(300);
    KELPA_START_PEER(peer,
                     (PeerScript{0, {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\nall"}, PeerEnding::Stall}));
    CallerBuffer buffer;
    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/z", "", 1), 3);
    EXPECT_EQ(buffer.Text(), "all");
}

TEST_F(NativeWeb, AFailedReceiveOtherThanATimeOutEndsTheResponse) {
    KELPA_START_PEER(peer, (PeerScript{0, {OkResponse("cut short")}, PeerEnding::Stall}));
    standin::FailCall("recv", 1);
    CallerBuffer buffer;
    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/r", "", 1), 9);
    EXPECT_EQ(buffer.Text(), "cut short");
}

TEST_F(NativeWeb, FailedSendsAreNotRetriedAndTheResponseIsStillRead) {
    KELPA_START_PEER(peer, (PeerScript{0, {OkResponse("answered anyway")}}));
    standin::FailCall("send", 0, -1);
    standin::StartSendJournal();
    CallerBuffer buffer;
    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/s", "", 1), 15);
    EXPECT_EQ(standin::StopSendJournal().size(), 11u);
    EXPECT_EQ(peer.Conversation().received, "");
}

std::vector<std::pair<LockEvent, const CRITICAL_SECTION*>> LockSteps(
    const std::vector<standin::LockJournalEntry>& journal) {
    std::vector<std::pair<LockEvent, const CRITICAL_SECTION*>> steps;
    for (const standin::LockJournalEntry& entry : journal) {
        steps.emplace_back(entry.event, entry.section);
    }
    return steps;
}

TEST_F(NativeWeb, TheWebRequestHoldsTheStoreLockAlone) {
    KELPA_START_PEER(peer, (PeerScript{0, {OkResponse("x")}}));
    CallerBuffer buffer;
    standin::StartLockJournal();
    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/l", "", 1), 1);
    const auto steps = LockSteps(standin::StopLockJournal());
    const decltype(steps) expected = {{LockEvent::Enter, base_.StoreLock()},
                                      {LockEvent::Leave, base_.StoreLock()}};
    EXPECT_EQ(steps, expected);
}

TEST_F(NativeWeb, GrabWebTakesNoLockOfItsOwn) {
    if (const std::string why = WhyNotLoopback(kGridSettingsHost, "KELPA_GRID_SETTINGS_HOST"); !why.empty()) {
        GTEST_SKIP() << why;
    }
    LibraryWithLocks lattice("KELPA_LATTICE");
    ASSERT_TRUE(lattice.library->IsLoaded());
    auto grab_web = lattice.library->Export<GrabWebExport>("grabWeb");
    ASSERT_NE(grab_web, nullptr);
    KELPA_START_PEER(peer, (PeerScript{0, {OkResponse("grid")}}));
    CallerBuffer buffer;
    standin::StartLockJournal();
    EXPECT_EQ(grab_web(buffer.Data(), "", 1), 4);
    const auto steps = LockSteps(standin::StopLockJournal());
    const decltype(steps) expected = {{LockEvent::Enter, lattice.StoreLock()},
                                      {LockEvent::Leave, lattice.StoreLock()}};
    EXPECT_EQ(steps, expected);
}

class NativeCourier : public NativeWeb {
protected:
    void SetUp() override {
        NativeWeb::SetUp();
        ASSERT_TRUE(courier_.library->IsLoaded());
        courier1_ = courier_.library->Export<Courier1Export>("COURIER1");
        ASSERT_NE(courier1_, nullptr);
    }

    LibraryWithLocks courier_{"KELPA_COURIER"};
    Courier1Export courier1_ = nullptr;
};

TEST_F(NativeCourier, TakesTheOperationsLockAndTheStoreLockInsideIt) {
    if (const std::string why = WhyNotLoopback(kMemberAreaHost, "KELPA_MEMBER_AREA_HOST"); !why.empty()) {
        GTEST_SKIP() << why;
    }
    KELPA_START_PEER(peer, (PeerScript{0, {OkResponse("doc")}}));
    CallerBuffer buffer;
    standin::StartLockJournal();
    EXPECT_EQ(courier1_(buffer.Data(), "GOLD", "doc.txt"), 1);
    const auto steps = LockSteps(standin::StopLockJournal());
    const decltype(steps) expected = {{LockEvent::Enter, courier_.OperationsLock()},
                                      {LockEvent::Enter, courier_.StoreLock()},
                                      {LockEvent::Leave, courier_.StoreLock()},
                                      {LockEvent::Leave, courier_.OperationsLock()}};
    EXPECT_EQ(steps, expected);
}

TEST_F(NativeCourier, ShowsTheMessageBoxUnderBothLocks) {
    CallerBuffer buffer;
    EXPECT_EQ(courier1_(buffer.Data(), "GOLD", "doc.txt"), 0);
    const std::vector<standin::MessageBoxCall> boxes = standin::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kConnectionMessage);
    const std::vector<const CRITICAL_SECTION*> both = {courier_.OperationsLock(), courier_.StoreLock()};
    EXPECT_EQ(boxes[0].held_sections, both);
    EXPECT_TRUE(buffer.IsUntouched());
}

TEST_F(NativeCourier, RefusedArgumentsOpenNoConnectionAndReleaseTheLock) {
    const int sockets_before = standin::SocketsCreatedSoFar();
    CallerBuffer buffer;
    const std::string long_folder(300, 'f');
    standin::StartLockJournal();
    EXPECT_EQ(courier1_(buffer.Data(), long_folder.c_str(), "doc"), 0);
    EXPECT_EQ(courier1_(nullptr, "GOLD", "doc"), 0);
    const auto steps = LockSteps(standin::StopLockJournal());
    const decltype(steps) expected = {{LockEvent::Enter, courier_.OperationsLock()},
                                      {LockEvent::Leave, courier_.OperationsLock()},
                                      {LockEvent::Enter, courier_.OperationsLock()},
                                      {LockEvent::Leave, courier_.OperationsLock()}};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(standin::SocketsCreatedSoFar(), sockets_before);
    EXPECT_TRUE(buffer.IsUntouched());
}

}  // namespace
}  // namespace kelpa::test
