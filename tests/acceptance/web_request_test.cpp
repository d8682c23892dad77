// The web request and the two document downloads end to end, against the test peer on 127.0.0.1:
// the request bytes that arrive, and what reaches the caller's buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loaded_library.h"
#include "test_peer.h"
#include "web_calls.h"

namespace kelpa::test {
namespace {

using namespace std::string_literals;

// Starts a peer with `script`; the test stops when it cannot listen.
#define KELPA_START_PEER(peer, script) \
    TestPeer peer(script);             \
    ASSERT_TRUE(peer.IsListening()) << (peer).SetupError()

class WebRequestInEachLibrary : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(library_.IsLoaded());
        web_request_ = library_.Export<WebRequestExport>("PeltoWebRequest");
        ASSERT_NE(web_request_, nullptr);
    }

    LoadedLibrary library_{GetParam()};
    WebRequestExport web_request_ = nullptr;
};

TEST_P(WebRequestInEachLibrary, GetSendsTheRequestAndReturnsTheBody) {
    const std::string request = ExpectedGet(kLoopbackHost, "/docs/readme.txt", "lang=en&v=2");
    KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse("hello "), "from the peer"}}));
    CallerBuffer buffer;

    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/docs/readme.txt", "lang=en&v=2", 1), 19);

    EXPECT_EQ(buffer.Text(), "hello from the peer");
    EXPECT_TRUE(buffer.RestUntouched(19));
    EXPECT_EQ(peer.Conversation().received, request);
}

TEST_P(WebRequestInEachLibrary, PostSendsTheDataAsAFormBody) {
    const std::string data(1234, 'q');
    const std::string request = ExpectedPost(kLoopbackHost, "/form/submit", data);
    KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse("stored")}}));
    CallerBuffer buffer;

    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/form/submit", data.c_str(), 2), 6);

    EXPECT_EQ(buffer.Text(), "stored");
    const std::string received = peer.Conversation().received;
    EXPECT_EQ(received, request);
    EXPECT_NE(received.find("\r\nContent-Length: 1234\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(WebLibraries, WebRequestInEachLibrary,
                         ::testing::Values("KELPA_BASE", "KELPA_LATTICE", "KELPA_COURIER"));

class WebRequest : public WebRequestOfBase {};

// A response as the peer sends it, and what the caller gets: the result, and the text in the
// buffer (nothing at all written when the result is 0).
struct ResponseRow {
    const char* name;
    std::vector<std::string> answer;
    PeerEnding ending;
    int result;
    std::string text;
    bool read_trailing_bytes = true;  // false: the peer leaves the request's last two bytes unread
};

void PrintTo(const ResponseRow& row, std::ostream* out) { *out << row.name; }

class WebResponses : public WebRequest, public ::testing::WithParamInterface<ResponseRow> {};

TEST_P(WebResponses, ReachTheCallerAsTheReaderTakesThem) {
    const ResponseRow& row = GetParam();
    const std::string request = ExpectedGet(kLoopbackHost, "/r", "id=1");
    const std::size_t to_read = row.read_trailing_bytes ? request.size() : request.size() - 2;
    KELPA_START_PEER(peer, (PeerScript{to_read, row.answer, row.ending}));
    CallerBuffer buffer;

    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/r", "id=1", 1), row.result);

    if (row.result == 0) {
        EXPECT_TRUE(buffer.IsUntouched());
    } else {
        EXPECT_EQ(buffer.Text(), row.text);
        EXPECT_TRUE(buffer.RestUntouched(row.text.size()));
    }
    const PeerRecord record = peer.Conversation();
    EXPECT_TRUE(record.connected);
    EXPECT_EQ(record.received.substr(0, to_read), request.substr(0, to_read));
}

const std::string kLongBody = [] {
    std::string body(65535, 'b');
    body.front() = '<';
    body.back() = '>';
    return body;
}();

std::vector<std::string> InPieces(const std::string& bytes, std::size_t piece) {
    std::vector<std::string> pieces;
    for (std::size_t from = 0; from < bytes.size(); from += piece) {
        pieces.push_back(bytes.substr(from, piece));
    }
    return pieces;
}

INSTANTIATE_TEST_SUITE_P(
    Responses, WebResponses,
    ::testing::Values(
        ResponseRow{"OkInManyPieces", InPieces(OkResponse("a body in pieces"), 7), PeerEnding::Close, 16,
                    "a body in pieces"},
        ResponseRow{"NotFound",
                    {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"},
                    PeerEnding::Close,
                    0,
                    ""},
        ResponseRow{"FiveHundredBeforeTheOkLine",
                    {"HTTP/1.1 302 Found\r\nContent-Length: 1500\r\n\r\nmoved"},
                    PeerEnding::Close,
                    0,
                    ""},
        ResponseRow{"FailureCodesAfterTheOkLine",
                    {"HTTP/1.0 200 OK\r\nX-A: 404\r\nX-B: 500\r\n\r\nfine"},
                    PeerEnding::Close,
                    4,
                    "fine"},
        // The library must not wait for more: the peer sends nothing else and keeps the line open.
        ResponseRow{"ContentLengthZeroEndsWithTheHeaderChunk",
                    {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\nsame chunk"},
                    PeerEnding::Stall,
                    10,
                    "same chunk"},
        ResponseRow{"ContentLengthWithTwoBlanks",
                    {"HTTP/1.0 200 OK\r\nContent-Length:  12\r\n\r\nsame chunk"},
                    PeerEnding::Stall,
                    10,
                    "same chunk"},
        ResponseRow{"NulInTheBody", {OkResponse("before\0after"s)}, PeerEnding::Close, 6, "before"},
        ResponseRow{"NoEmptyLineLastLineWithoutLineFeed",
                    {"HTTP/1.0 200 OK\r\nServer: x\r\nlast words\r"},
                    PeerEnding::Close,
                    10,
                    "last words"},
        ResponseRow{"NoEmptyLineLastLineWithLineFeed",
                    {"HTTP/1.0 200 OK\r\nServer: x\r\n"},
                    PeerEnding::Close,
                    0,
                    ""},
        ResponseRow{"NoHeaderAtAll", {"plain\r text"}, PeerEnding::Close, 10, "plain text"},
        ResponseRow{"EmptyBody", {"HTTP/1.0 200 OK\r\n\r\n"}, PeerEnding::Close, 0, ""},
        ResponseRow{"ClosedBeforeAnything", {}, PeerEnding::Close, 0, ""},
        ResponseRow{"BodyOf65535Bytes", InPieces(OkResponse(kLongBody), 4096), PeerEnding::Close, 65535,
                    kLongBody},
        ResponseRow{"BodyOf65536BytesFailsWhole", InPieces(OkResponse(kLongBody + "!"), 4096),
                    PeerEnding::Close, 0, ""},
        // Servers that close with the two unannounced bytes unread answer with a reset.
        ResponseRow{"ResetAfterTheResponse",
                    {OkResponse("then a reset")},
                    PeerEnding::Reset,
                    12,
                    "then a reset",
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebRequest, AnAddressWithoutSlashIsAllHost) {
    const std::string request = ExpectedGet(kLoopbackHost, "", "q=1");
    KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse("root")}}));
    CallerBuffer buffer;

    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1", "q=1", 1), 4);

    EXPECT_EQ(peer.Conversation().received, request);
    EXPECT_EQ(buffer.Text(), "root");
}

TEST_F(WebRequest, NoServerGivesZeroAndLeavesTheBufferAlone) {
    CallerBuffer buffer;
    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/nobody/home", "", 1), 0);
    EXPECT_TRUE(buffer.IsUntouched());
}

TEST_F(WebRequest, OtherMethodCodesOpenNoConnection) {
    KELPA_START_PEER(peer, (PeerScript{0, {OkResponse("unexpected")}}));
    CallerBuffer buffer;
    for (int method : {0, 3, -1}) {
        EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/p", "d", method), 0) << method;
    }
    EXPECT_FALSE(peer.Stop().connected);
    EXPECT_TRUE(buffer.IsUntouched());
}

TEST_F(WebRequest, RequestsThatCannotGoOutWholeAreNotSent) {
    KELPA_START_PEER(peer, (PeerScript{0, {OkResponse("unexpected")}}));
    CallerBuffer buffer;
    const std::string long_target = "127.0.0.1/" + std::string(250, 'p');  // 256 with "?" and "dddd"
    const std::string long_host_part = std::string(260, 'h') + "/p";
    const std::string long_path_part = "127.0.0.1/" + std::string(259, 'p');
    EXPECT_EQ(web_request_(buffer.Data(), long_target.c_str(), "dddd", 1), 0);
    EXPECT_EQ(web_request_(buffer.Data(), long_host_part.c_str(), "", 2), 0);
    EXPECT_EQ(web_request_(buffer.Data(), long_path_part.c_str(), "", 2), 0);
    EXPECT_FALSE(peer.Stop().connected);
    EXPECT_TRUE(buffer.IsUntouched());
}

TEST_F(WebRequest, NullArgumentsGiveZero) {
    CallerBuffer buffer;
    EXPECT_EQ(web_request_(nullptr, "127.0.0.1/p", "", 1), 0);
    EXPECT_EQ(web_request_(buffer.Data(), nullptr, "", 1), 0);
    EXPECT_EQ(web_request_(buffer.Data(), "127.0.0.1/p", nullptr, 1), 0);
    EXPECT_TRUE(buffer.IsUntouched());
}

constexpr char kGridSettingsPath[] = "/tidewell09_member/KELPA_LATTICE/GRID_SETTING.txt";

class GrabWeb : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = WhyNotLoopback(kGridSettingsHost, "KELPA_GRID_SETTINGS_HOST");
            !why.empty()) {
            GTEST_SKIP() << why;
        }
        ASSERT_TRUE(library_.IsLoaded());
        grab_web_ = library_.Export<GrabWebExport>("grabWeb");
        ASSERT_NE(grab_web_, nullptr);
    }

    LoadedLibrary library_{"KELPA_LATTICE"};
    GrabWebExport grab_web_ = nullptr;
};

TEST_F(GrabWeb, GetsTheGridSettingsDocumentAndReturnsItsLength) {
    const std::string document = std::string(119, 's') + ";";
    const std::string request = ExpectedGet(kGridSettingsHost, kGridSettingsPath, "");
    KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse(document)}}));
    CallerBuffer buffer;

    EXPECT_EQ(grab_web_(buffer.Data(), "", 1), 120);

    EXPECT_EQ(peer.Conversation().received, request);
    EXPECT_EQ(buffer.Text(), document);
}

TEST_F(GrabWeb, PostsDataToTheGridSettingsPath) {
    const std::string request = ExpectedPost(kGridSettingsHost, kGridSettingsPath, "account=42");
    KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse("grid=1")}}));
    CallerBuffer buffer;

    EXPECT_EQ(grab_web_(buffer.Data(), "account=42", 2), 6);

    EXPECT_EQ(peer.Conversation().received, request);
    EXPECT_EQ(buffer.Text(), "grid=1");
}

TEST_F(GrabWeb, AFailedDownloadLeavesTheBufferAlone) {
    KELPA_START_PEER(peer, (PeerScript{0, {"HTTP/1.0 404 Not Found\r\n\r\n"}}));
    CallerBuffer buffer;
    EXPECT_EQ(grab_web_(buffer.Data(), "", 1), 0);
    EXPECT_TRUE(buffer.IsUntouched());
    EXPECT_EQ(grab_web_(nullptr, "", 1), 0);
    EXPECT_EQ(grab_web_(buffer.Data(), nullptr, 1), 0);
}

class Courier1 : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = WhyNotLoopback(kMemberAreaHost, "KELPA_MEMBER_AREA_HOST"); !why.empty()) {
            GTEST_SKIP() << why;
        }
        ASSERT_TRUE(library_.IsLoaded());
        courier1_ = library_.Export<Courier1Export>("COURIER1");
        ASSERT_NE(courier1_, nullptr);
    }

    LoadedLibrary library_{"KELPA_COURIER"};
    Courier1Export courier1_ = nullptr;
};

TEST_F(Courier1, FetchesTheMemberDocumentWithTheFixedQuery) {
    const std::string request = ExpectedGet(kMemberAreaHost, "/memberarea/KELPA_GOLD/terms.txt", "ok=1");
    KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse("member terms")}}));
    CallerBuffer buffer;

    EXPECT_EQ(courier1_(buffer.Data(), "GOLD", "terms.txt"), 1);

    EXPECT_EQ(peer.Conversation().received, request);
    EXPECT_EQ(buffer.Text(), "member terms");
    EXPECT_TRUE(buffer.RestUntouched(12));
}

TEST_F(Courier1, ANotFoundDocumentGivesZeroAndLeavesTheBufferAlone) {
    KELPA_START_PEER(peer, (PeerScript{0, {"HTTP/1.1 404 Not Found\r\n\r\nmissing"}}));
    CallerBuffer buffer;
    EXPECT_EQ(courier1_(buffer.Data(), "GOLD", "missing.txt"), 0);
    EXPECT_TRUE(buffer.IsUntouched());
}

TEST_F(Courier1, AnEmptyDocumentGivesZero) {
    KELPA_START_PEER(peer, (PeerScript{0, {"HTTP/1.0 200 OK\r\n\r\n"}}));
    CallerBuffer buffer;
    EXPECT_EQ(courier1_(buffer.Data(), "GOLD", "empty.txt"), 0);
    EXPECT_TRUE(buffer.IsUntouched());
}

TEST_F(Courier1, AnAddressOfTwoHundredFiftyFiveCharactersIsSent) {
    const std::string folder(255 - kMemberAreaHost.size() - 18 - 1 - 3, 'f');
    const std::string request = ExpectedGet(kMemberAreaHost, "/memberarea/KELPA_" + folder + "/doc", "ok=1");
    KELPA_START_PEER(peer, (PeerScript{request.size(), {OkResponse("long")}}));
    CallerBuffer buffer;

    EXPECT_EQ(courier1_(buffer.Data(), folder.c_str(), "doc"), 1);

    EXPECT_EQ(peer.Conversation().received, request);
}

TEST_F(Courier1, AnAddressOverTwoHundredFiftyFiveCharactersIsNotSent) {
    KELPA_START_PEER(peer, (PeerScript{0, {OkResponse("unexpected")}}));
    CallerBuffer buffer;
    // The host, "/memberarea/KELPA_", the folder, "/" and the document: 256 characters.
    const std::string folder(256 - kMemberAreaHost.size() - 18 - 1 - 3, 'f');
    EXPECT_EQ(courier1_(buffer.Data(), folder.c_str(), "doc"), 0);
    EXPECT_EQ(courier1_(nullptr, "GOLD", "doc"), 0);
    EXPECT_EQ(courier1_(buffer.Data(), nullptr, "doc"), 0);
    EXPECT_EQ(courier1_(buffer.Data(), "GOLD", nullptr), 0);
    EXPECT_FALSE(peer.Stop().connected);
    EXPECT_TRUE(buffer.IsUntouched());
}

}  // namespace
}  // namespace kelpa::test
