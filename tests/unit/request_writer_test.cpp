// The request's fragments: one per send call, byte for byte, and the requests refused before a
// connection because a formatted fragment would not fit its 256 bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixed_text.h"
#include "request_writer.h"

namespace kelpa::web {
namespace {

const std::string kUserAgent =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 2.0.50727)\r\n";

std::vector<std::string> FragmentsOf(const Request& request) {
    std::vector<std::string> fragments;
    for (std::string_view fragment : request.Fragments()) {
        fragments.emplace_back(fragment);
    }
    return fragments;
}

std::string Joined(const Request& request) {
    std::string joined;
    for (std::string_view fragment : request.Fragments()) {
        joined += fragment;
    }
    return joined;
}

TEST(ComposeGetRequest, ElevenFragmentsInTheOrderTheyAreSent) {
    Request request;
    ASSERT_TRUE(ComposeGetRequest("shop.test", "/catalog/list.php", "page=2&sort=asc", request));
    const std::vector<std::string> expected = {
        "GET ",
        "/catalog/list.php?page=2&sort=asc",
        " HTTP/1.0\r\n",
        "Accept: *.*\r\n",
        kUserAgent,
        "Content-Length: 0\r\n",
        "Accept-Language: en-us\r\n",
        "Accept-Encoding: gzip, deflate\r\n",
        "Host: shop.test\r\n",
        "\r\n",
        "\r\n",
    };
    EXPECT_EQ(FragmentsOf(request), expected);
    const std::vector<std::size_t> fixed_sizes = {4, 11, 13, 84, 19, 24, 32, 2, 2};
    const std::vector<std::size_t> sizes = {
        request.Fragments()[0].size(), request.Fragments()[2].size(), request.Fragments()[3].size(),
        request.Fragments()[4].size(), request.Fragments()[5].size(), request.Fragments()[6].size(),
        request.Fragments()[7].size(), request.Fragments()[9].size(), request.Fragments()[10].size()};
    EXPECT_EQ(sizes, fixed_sizes);
}

TEST(ComposePostRequest, FifteenFragmentsInTheOrderTheyAreSent) {
    Request request;
    ASSERT_TRUE(ComposePostRequest("shop.test", "/cart/add.php", "item=17&count=3", request));
    const std::vector<std::string> expected = {
        "POST ",
        "/cart/add.php",
        " HTTP/1.0\r\n",
        "Accept: *.*\r\n",
        kUserAgent,
        "Content-Length: 15\r\n",
        "Accept-Language: en-us\r\n",
        "Accept-Encoding: gzip, deflate\r\n",
        "Host: ",
        "shop.test",
        "\r\n",
        "Content-Type: application/x-www-form-urlencoded\r\n",
        "\r\n",
        "item=17&count=3",
        "\r\n",
    };
    EXPECT_EQ(FragmentsOf(request), expected);
    EXPECT_EQ(request.Fragments()[11].size(), 49u);
}

struct ComposeCase {
    const char* name;
    int method;
    std::string host;
    std::string path;
    std::string data;
    std::string expected;  // the request as the server receives it
};

void PrintTo(const ComposeCase& row, std::ostream* out) { *out << row.name; }

const std::string kGetHeaderMiddle = "Accept: *.*\r\n" + kUserAgent +
                                     "Content-Length: 0\r\nAccept-Language: en-us\r\n"
                                     "Accept-Encoding: gzip, deflate\r\n";

class ComposeRequestCases : public ::testing::TestWithParam<ComposeCase> {};

TEST_P(ComposeRequestCases, ComposesTheRequestByteForByte) {
    const ComposeCase& c = GetParam();
    Request request;
    ASSERT_TRUE(ComposeRequest(c.method, c.host, c.path, c.data, request));
    EXPECT_EQ(Joined(request), c.expected);
    EXPECT_EQ(request.Fragments().size(), c.method == kMethodGet ? 11u : 15u);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ComposeRequestCases,
    ::testing::Values(
        ComposeCase{"GetWithEmptyPath", 1, "h.test", "", "q=1",
                    "GET ?q=1 HTTP/1.0\r\n" + kGetHeaderMiddle + "Host: h.test\r\n\r\n\r\n"},
        ComposeCase{"GetWithEmptyDataEndsTheTargetInAQuestionMark", 1, "h.test", "/a", "",
                    "GET /a? HTTP/1.0\r\n" + kGetHeaderMiddle + "Host: h.test\r\n\r\n\r\n"},
        ComposeCase{"GetSendsDataUnescaped", 1, "10.1.2.3", "/x y", "a b&c=%",
                    "GET /x y?a b&c=% HTTP/1.0\r\n" + kGetHeaderMiddle + "Host: 10.1.2.3\r\n\r\n\r\n"},
        ComposeCase{"PostWithEmptyPathHasTwoBlanks", 2, "h.test", "", "v=1",
                    "POST  HTTP/1.0\r\nAccept: *.*\r\n" + kUserAgent +
                        "Content-Length: 3\r\nAccept-Language: en-us\r\nAccept-Encoding: gzip, deflate\r\n"
                        "Host: h.test\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\nv=1\r\n"},
        ComposeCase{"PostWithEmptyDataHasOnlyTheClosingLineEnd", 2, "h.test", "/p", "",
                    "POST /p HTTP/1.0\r\nAccept: *.*\r\n" + kUserAgent +
                        "Content-Length: 0\r\nAccept-Language: en-us\r\nAccept-Encoding: gzip, deflate\r\n"
                        "Host: h.test\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComposePostRequest, ALongBodyIsCountedAndFollowedByTheUncountedLineEnd) {
    const std::string data(1234, 'd');
    Request request;
    ASSERT_TRUE(ComposePostRequest("h.test", "/p", data, request));
    const std::string joined = Joined(request);
    EXPECT_NE(joined.find("\r\nContent-Length: 1234\r\n"), std::string::npos);
    const std::size_t body_start = joined.find("\r\n\r\n") + 4;
    EXPECT_EQ(joined.size() - body_start, 1236u);
    EXPECT_EQ(joined.substr(body_start), data + "\r\n");
}

TEST(ComposePostRequest, HostPathAndDataHaveNoFormattingLimit) {
    const std::string host(300, 'h');
    const std::string path = "/" + std::string(400, 'p');
    const std::string data(100000, 'd');
    Request request;
    ASSERT_TRUE(ComposePostRequest(host, path, data, request));
    EXPECT_EQ(request.Fragments()[1], path);
    EXPECT_EQ(request.Fragments()[5], "Content-Length: 100000\r\n");
    EXPECT_EQ(request.Fragments()[9], host);
    EXPECT_EQ(request.Fragments()[13], data);
}

struct LimitCase {
    const char* name;
    std::size_t host_length;
    std::size_t path_length;  // a "/" and then that many less one characters
    std::size_t data_length;
    bool fits;
};

void PrintTo(const LimitCase& row, std::ostream* out) { *out << row.name; }

class GetRequestLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(GetRequestLimits, AFormattedFragmentMustFitTwoHundredFiftySixBytes) {
    const LimitCase& c = GetParam();
    const std::string host(c.host_length, 'h');
    const std::string path = c.path_length == 0 ? "" : "/" + std::string(c.path_length - 1, 'p');
    const std::string data(c.data_length, 'd');
    Request request;
    ASSERT_EQ(ComposeGetRequest(host, path, data, request), c.fits);
    if (c.fits) {
        EXPECT_EQ(request.Fragments()[1], path + "?" + data);
        EXPECT_EQ(request.Fragments()[8], "Host: " + host + "\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Boundaries, GetRequestLimits,
                         ::testing::Values(LimitCase{"TargetOf255", 10, 200, 54, true},
                                           LimitCase{"TargetOf256", 10, 200, 55, false},
                                           LimitCase{"TargetOf256WithoutData", 10, 255, 0, false},
                                           LimitCase{"HostOf247", 247, 1, 0, true},
                                           LimitCase{"HostOf248", 248, 1, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ComposeRequest, MethodCodesOtherThanGetAndPostHaveNoRequest) {
    for (int method : {0, 3, -1, 0x101}) {
        Request request;
        EXPECT_FALSE(ComposeRequest(method, "h.test", "/p", "d", request)) << method;
    }
}

TEST(JoinInto, RefusesTextThatWouldNotLeaveRoomForItsNulAndWritesNothing) {
    char area[16];
    std::fill(std::begin(area), std::end(area), 'x');
    const std::span<char> eight(area, 8);
    EXPECT_FALSE(JoinInto(eight, {"abcd", "efgh"}).has_value());
    EXPECT_EQ(std::string(area, 16), std::string(16, 'x'));

    const auto joined = JoinInto(eight, {"abc", "", "defg"});
    ASSERT_TRUE(joined.has_value());
    EXPECT_EQ(*joined, "abcdefg");
    EXPECT_EQ(std::string(area, 16), std::string("abcdefg\0xxxxxxxx", 16));
}

}  // namespace
}  // namespace kelpa::web
