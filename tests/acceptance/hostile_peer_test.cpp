// Servers that misbehave on purpose: each answer gives the web request its documented result (a
// body too large for its buffer fails the request whole), and nothing is ever written past the
// 65,536 bytes of the caller's buffer. Both platforms; the stalled server, whose real time-out is
// 30 seconds, is run natively with the time-out shortened (web_request_native_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loaded_library.h"
#include "test_peer.h"
#include "web_calls.h"

namespace kelpa::test {
namespace {

using namespace std::string_literals;

constexpr std::size_t kOneMebibyte = 1 << 20;
constexpr std::size_t kHundredKibibytes = 100 * 1024;
constexpr std::size_t kPieceBytes = 16 * 1024;

std::vector<std::string> InPieces(const std::string& bytes) {
    std::vector<std::string> pieces;
    for (std::size_t from = 0; from < bytes.size(); from += kPieceBytes) {
        pieces.push_back(bytes.substr(from, kPieceBytes));
    }
    return pieces;
}

struct HostilePeer {
    const char* name;
    std::vector<std::string> answer;
    PeerEnding ending;
    bool drip;
    int result;
    std::string text;  // what the caller's buffer holds when the result is not 0
};

void PrintTo(const HostilePeer& row, std::ostream* out) { *out << row.name; }

class HostilePeers : public WebRequestOfBase, public ::testing::WithParamInterface<HostilePeer> {};

TEST_P(HostilePeers, GiveTheDocumentedResultAndWriteNothingPastTheBuffer) {
    const HostilePeer& row = GetParam();
    const std::string request = ExpectedGet(kLoopbackHost, "/h", "");
    PeerScript script{request.size(), row.answer, row.ending};
    script.drip = row.drip;
    TestPeer peer(script);
    ASSERT_TRUE(peer.IsListening()) << peer.SetupError();
    CallerBuffer buffer;

    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/h", "", 1), row.result);

    EXPECT_TRUE(buffer.GuardIntact());
    if (row.result == 0) {
        EXPECT_TRUE(buffer.IsUntouched());
    } else {
        EXPECT_EQ(buffer.Text(), row.text);
        EXPECT_TRUE(buffer.RestUntouched(row.text.size()));
    }
    EXPECT_TRUE(peer.Conversation().connected);
}

const std::string kBody = "the body, whole";

INSTANTIATE_TEST_SUITE_P(
    Answers, HostilePeers,
    ::testing::Values(
        HostilePeer{"DripsOneByteAtATime", {OkResponse(kBody)}, PeerEnding::Close, true, 15, kBody},
        HostilePeer{
            "DripsAFailureStatus", {"HTTP/1.0 404 Not Found\r\n\r\nmissing"}, PeerEnding::Close, true, 0, ""},
        // What arrived before the reset is the response: the body's length never bounds the reading.
        HostilePeer{"ResetsMidBody",
                    {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nthe first part"},
                    PeerEnding::Reset,
                    false,
                    14,
                    "the first part"},
        HostilePeer{"SendsOneMebibyte", InPieces(OkResponse(std::string(kOneMebibyte, 'm'))),
                    PeerEnding::Close, false, 0, ""},
        HostilePeer{
            "SendsAHeaderLineOfOneHundredKibibytes",
            InPieces("HTTP/1.0 200 OK\r\nX-Long: " + std::string(kHundredKibibytes, 'h') + "\r\n\r\nbody"),
            PeerEnding::Close, false, 0, ""},
        HostilePeer{"SendsAContentLengthOfThreeHundredCharacters",
                    {"HTTP/1.0 200 OK\r\nContent-Length: " + std::string(300, '7') + "\r\n\r\nbody"},
                    PeerEnding::Close,
                    false,
                    0,
                    ""},
        HostilePeer{"SendsAContentLengthOfTwoHundredFiftyFiveCharacters",
                    {"HTTP/1.0 200 OK\r\nContent-Length: " + std::string(255, '7') + "\r\n\r\nbody"},
                    PeerEnding::Close,
                    false,
                    4,
                    "body"},
        // Every chunk begins with a NUL: the scan of each ends at once, and nothing is a body.
        HostilePeer{"SendsOnlyNulBytes", {std::string(64, '\0')}, PeerEnding::Close, false, 0, ""},
        HostilePeer{
            "SendsNulBytesInTheBody", {OkResponse("text\0\0\0more"s)}, PeerEnding::Close, false, 4, "text"},
        // No status line: no line says 200, but none says 403, 404 or 500 either.
        HostilePeer{"SendsNoStatusLine",
                    {"Content-Type: text/plain\r\nServer: x\r\n\r\nno status"},
                    PeerEnding::Close,
                    false,
                    9,
                    "no status"}),
    [](const auto& info) { return std::string(info.param.name); });

// Servers that cannot be reached at all: the connection fails, the request returns 0 and the
// caller's buffer is not written. Nothing listens on port 80 of 127.0.0.1 when no test peer runs
// (natively the stand-in refuses port 80 unless a test routes it), and the reserved domain
// "invalid" never resolves.
struct UnreachableServer {
    const char* name;
    const char* address;
};

void PrintTo(const UnreachableServer& row, std::ostream* out) { *out << row.name; }

class UnreachableServers : public WebRequestOfBase,
                           public ::testing::WithParamInterface<UnreachableServer> {};

TEST_P(UnreachableServers, GiveZeroAndLeaveTheBufferAlone) {
    CallerBuffer buffer;
    EXPECT_EQ(web_request_(buffer.Data(), GetParam().address, "q=1", 1), 0);
    EXPECT_TRUE(buffer.IsUntouched());
}

INSTANTIATE_TEST_SUITE_P(Servers, UnreachableServers,
                         ::testing::Values(UnreachableServer{"NameDoesNotResolve", "no-such-host.invalid/p"},
                                           UnreachableServer{"PortRefused", "127.0.0.1/p"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelpa::test
