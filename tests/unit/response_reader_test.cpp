// The response reader, fed as the exchange feeds it: chunk after chunk until it answers, then the
// end of the response. A response whose meaning does not depend on where the chunks end is cut
// at every position (into two and three chunks, and into single bytes) and must give the same
// result every time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "response_reader.h"

namespace kelpa::web {
namespace {

using namespace std::string_literals;

struct Outcome {
    ReadProgress progress;
    std::string body;

    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    static const char* const kNames[] = {"NeedMore", "Finished", "Failed", "TooLarge"};
    return out << kNames[static_cast<int>(outcome.progress)] << " body of " << outcome.body.size()
               << " bytes \"" << outcome.body.substr(0, 80) << "\"";
}

// Feeds the chunks until the reader answers, then ends the response if it has not; checks that
// the buffer holds the body NUL-terminated, or the empty string when the reading did not finish.
Outcome ReadChunks(const std::vector<std::string>& chunks) {
    std::vector<char> buffer(kResponseBufferBytes, '\x55');
    ResponseReader reader(std::span<char, kResponseBufferBytes>(buffer.data(), kResponseBufferBytes));
    ReadProgress progress = ReadProgress::NeedMore;
    for (const std::string& chunk : chunks) {
        progress = reader.Feed(chunk.data(), chunk.size());
        if (progress != ReadProgress::NeedMore) {
            break;
        }
    }
    if (progress == ReadProgress::NeedMore) {
        progress = reader.EndOfResponse();
    }
    Outcome outcome{progress, std::string(reader.Body())};
    const std::size_t terminator = progress == ReadProgress::Finished ? outcome.body.size() : 0;
    EXPECT_EQ(buffer[terminator], '\0');
    EXPECT_EQ(std::string(buffer.data(), outcome.body.size()), outcome.body);
    return outcome;
}

std::vector<std::string> CutAt(const std::string& response, std::vector<std::size_t> cuts) {
    std::vector<std::string> chunks;
    std::size_t from = 0;
    cuts.push_back(response.size());
    for (std::size_t cut : cuts) {
        if (cut > from) {
            chunks.push_back(response.substr(from, cut - from));
            from = cut;
        }
    }
    return chunks;
}

struct ResponseCase {
    const char* name;
    std::string response;
    ReadProgress progress;
    std::string body;
};

void PrintTo(const ResponseCase& row, std::ostream* out) { *out << row.name; }

class WholeResponses : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(WholeResponses, GiveTheSameResultWhereverTheChunksEnd) {
    const ResponseCase& c = GetParam();
    const Outcome expected{c.progress, c.body};
    ASSERT_EQ(ReadChunks(CutAt(c.response, {})), expected) << "in one chunk";
    for (std::size_t first = 1; first < c.response.size(); ++first) {
        for (std::size_t second = first; second < c.response.size(); ++second) {
            ASSERT_EQ(ReadChunks(CutAt(c.response, {first, second})), expected)
                << "cut at " << first << " and " << second;
        }
    }
    std::vector<std::size_t> every_byte;
    for (std::size_t cut = 1; cut < c.response.size(); ++cut) {
        every_byte.push_back(cut);
    }
    EXPECT_EQ(ReadChunks(CutAt(c.response, every_byte)), expected) << "byte by byte";
}

constexpr ReadProgress kFinished = ReadProgress::Finished;
constexpr ReadProgress kFailed = ReadProgress::Failed;

INSTANTIATE_TEST_SUITE_P(
    Responses, WholeResponses,
    ::testing::Values(
        ResponseCase{"OkWithBody", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello", kFinished,
                     "hello"},
        ResponseCase{"LinesEndedByLineFeedAlone", "HTTP/1.0 200 OK\nServer: x\n\nhello", kFinished, "hello"},
        ResponseCase{"BodyKeepsItsCarriageReturns", "HTTP/1.0 200 OK\r\n\r\none\r\ntwo\r\n", kFinished,
                     "one\r\ntwo\r\n"},
        ResponseCase{"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found", kFailed, ""},
        ResponseCase{"Forbidden", "HTTP/1.1 403 Forbidden\r\n\r\nno", kFailed, ""},
        ResponseCase{"ServerError", "HTTP/1.1 500 Internal Server Error\r\n\r\noops", kFailed, ""},
        ResponseCase{"FiveHundredInAHeaderLineBeforeTheOkLineFails",
                     "HTTP/1.1 302 Found\r\nContent-Length: 1500\r\n\r\nmoved", kFailed, ""},
        ResponseCase{"FailureCodesAfterTheOkLineDoNothing",
                     "HTTP/1.0 200 OK\r\nX-Note: 404\r\nX-Other: 500\r\n\r\nok", kFinished, "ok"},
        ResponseCase{"AnyLineWithTwoHundredAcceptsTheStatus",
                     "HTTP/1.1 301 Moved\r\nX-Id: 2004\r\nX-Note: 404\r\n\r\nok", kFinished, "ok"},
        ResponseCase{"ContentLengthZeroWithNothingAfterTheHeader",
                     "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", kFinished, ""},
        ResponseCase{"ContentLengthNeverBoundsTheReading",
                     "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", kFinished, "abcdef"},
        ResponseCase{"NegativeContentLengthReadsOn", "HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\nabc",
                     kFinished, "abc"},
        ResponseCase{"ContentLengthNameIsCaseSensitive", "HTTP/1.0 200 OK\r\ncontent-length: 0\r\n\r\nabc",
                     kFinished, "abc"},
        ResponseCase{"ContentLengthNeedsItsBlank", "HTTP/1.0 200 OK\r\nContent-Length:0\r\n\r\nabc",
                     kFinished, "abc"},
        ResponseCase{"NoEmptyLineAndALastLineEndingInLineFeed", "HTTP/1.0 200 OK\r\nServer: x\r\n", kFinished,
                     ""},
        ResponseCase{"NoEmptyLineAndALastLineWithoutLineFeed", "HTTP/1.0 200 OK\r\nServer: x\r\ntail\r",
                     kFinished, "tail"},
        ResponseCase{"ASingleLineWithoutHeader", "just\rsome text", kFinished, "justsome text"},
        ResponseCase{"AFailureStatusWithoutLineFeedIsNeverExamined", "HTTP/1.0 404 Not Found", kFinished,
                     "HTTP/1.0 404 Not Found"},
        ResponseCase{"NulBytesInTheBodyAreKept", "HTTP/1.0 200 OK\r\n\r\nab\0cd\0"s, kFinished, "ab\0cd\0"s},
        ResponseCase{"NothingAtAll", "", kFinished, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// With a Content-Length value of 0 the reading ends with the chunk that holds the end of the
// header: the bytes after the empty line in that chunk are the body, later chunks are not read.
struct ZeroLengthCase {
    const char* name;
    std::string header;  // up to and including the empty line
};

void PrintTo(const ZeroLengthCase& row, std::ostream* out) { *out << row.name; }

class ZeroContentLength : public ::testing::TestWithParam<ZeroLengthCase> {};

TEST_P(ZeroContentLength, TheBodyIsTheRestOfTheChunkThatEndsTheHeader) {
    const std::string& header = GetParam().header;
    const std::string body = "abcdef";
    const std::string response = header + body;
    for (std::size_t cut = 1; cut < response.size(); ++cut) {
        const std::string expected =
            cut < header.size() ? body : response.substr(header.size(), cut - header.size());
        EXPECT_EQ(ReadChunks(CutAt(response, {cut})), (Outcome{kFinished, expected})) << "cut at " << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ZeroContentLength,
    ::testing::Values(
        ZeroLengthCase{"Zero", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"},
        ZeroLengthCase{"TwoBlanksGiveAnEmptyValue", "HTTP/1.0 200 OK\r\nContent-Length:  7\r\n\r\n"},
        ZeroLengthCase{"NoDigits", "HTTP/1.0 200 OK\r\nContent-Length: none\r\n\r\n"},
        ZeroLengthCase{"ValueEndsAtSemicolon", "HTTP/1.0 200 OK\r\nContent-Length: 0;12\r\n\r\n"},
        ZeroLengthCase{"TheLastValueCounts",
                       "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nX: Content-Length: 00\r\n\r\n"},
        ZeroLengthCase{"BeforeTheStatusLine", "X: Content-Length: 0\r\nHTTP/1.0 200 OK\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResponseReader, ANulByteInAHeaderChunkDropsTheRestOfThatChunk) {
    // "junk" after the NUL never reaches the line; the next chunk goes on with the line "X: a".
    const Outcome outcome = ReadChunks({"HTTP/1.0 200 OK\r\nX: a\0junk\r\n\r\nlost"s, "\r\n\r\nbody"});
    EXPECT_EQ(outcome, (Outcome{kFinished, "body"}));
}

TEST(ResponseReader, ANulByteBeforeTheFailureCodeHidesIt) {
    const Outcome outcome =
        ReadChunks({"HTTP/1.1 \0"
                    "404 Not Found\r\n"s,
                    "\r\nbody"});
    EXPECT_EQ(outcome, (Outcome{kFinished, "body"}));
}

TEST(ResponseReader, NulBytesRightAfterTheEmptyLineStartTheBody) {
    const Outcome outcome = ReadChunks({"HTTP/1.0 200 OK\r\n\r\n\0\0x"s, "yz"});
    EXPECT_EQ(outcome, (Outcome{kFinished, "\0\0xyz"s}));
}

// Bodies and lines at and beyond the 65,535 bytes the response buffer holds with its NUL. Fed in
// chunks of 1024 bytes, as received.
std::vector<std::string> InReceiveChunks(const std::string& response) {
    std::vector<std::string> chunks;
    for (std::size_t from = 0; from < response.size(); from += kReceiveChunkBytes) {
        chunks.push_back(response.substr(from, kReceiveChunkBytes));
    }
    return chunks;
}

const std::string kOkHeader = "HTTP/1.0 200 OK\r\nServer: test\r\n\r\n";

TEST(ResponseReaderLimits, ABodyOf65535BytesIsReadWhole) {
    std::string body(kMaxResponseText, 'b');
    body[0] = 'B';
    body.back() = 'E';
    EXPECT_EQ(ReadChunks(InReceiveChunks(kOkHeader + body)), (Outcome{kFinished, body}));
}

TEST(ResponseReaderLimits, ABodyOf65536BytesFailsInsteadOfBeingCut) {
    EXPECT_EQ(ReadChunks(InReceiveChunks(kOkHeader + std::string(kMaxResponseText + 1, 'b'))),
              (Outcome{ReadProgress::TooLarge, ""}));
}

TEST(ResponseReaderLimits, AHeaderLineOf65535CharactersFits) {
    const std::string line = "X-Long: " + std::string(kMaxResponseText - 8, 'v');
    EXPECT_EQ(ReadChunks(InReceiveChunks("HTTP/1.0 200 OK\r\n" + line + "\r\n\r\nok")),
              (Outcome{kFinished, "ok"}));
    // Without a line end, the line in progress is the body.
    EXPECT_EQ(ReadChunks(InReceiveChunks("HTTP/1.0 200 OK\r\n" + line)), (Outcome{kFinished, line}));
}

TEST(ResponseReaderLimits, AHeaderLineOf65536CharactersFails) {
    const std::string line = "X-Long: " + std::string(kMaxResponseText - 7, 'v');
    EXPECT_EQ(ReadChunks(InReceiveChunks("HTTP/1.0 200 OK\r\n" + line + "\r\n\r\nok")),
              (Outcome{ReadProgress::TooLarge, ""}));
}

TEST(ResponseReaderLimits, AContentLengthTextOf255CharactersFitsAndOf256Fails) {
    const std::string fits = "HTTP/1.0 200 OK\r\nContent-Length: " + std::string(255, '0') + "\r\n\r\nabc";
    EXPECT_EQ(ReadChunks(InReceiveChunks(fits)), (Outcome{kFinished, "abc"}));
    const std::string too_long =
        "HTTP/1.0 200 OK\r\nContent-Length: " + std::string(256, '0') + "\r\n\r\nabc";
    EXPECT_EQ(ReadChunks(InReceiveChunks(too_long)), (Outcome{ReadProgress::TooLarge, ""}));
}

TEST(ResponseReader, ChunksAfterTheAnswerAreIgnored) {
    std::vector<char> buffer(kResponseBufferBytes);
    ResponseReader reader(std::span<char, kResponseBufferBytes>(buffer.data(), kResponseBufferBytes));
    const std::string failed = "HTTP/1.0 404 Not Found\r\n";
    ASSERT_EQ(reader.Feed(failed.data(), failed.size()), ReadProgress::Failed);
    const std::string more = "\r\nbody";
    EXPECT_EQ(reader.Feed(more.data(), more.size()), ReadProgress::Failed);
    EXPECT_EQ(reader.EndOfResponse(), ReadProgress::Failed);
    EXPECT_EQ(reader.Body(), "");
}

struct DecimalCase {
    const char* text;
    int value;
};

class ContentLengthValue : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(ContentLengthValue, ReadsAsAtoiDoes) {
    EXPECT_EQ(LeadingDecimalValue(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, ContentLengthValue,
                         ::testing::Values(DecimalCase{"0", 0}, DecimalCase{"1500", 1500},
                                           DecimalCase{"00", 0}, DecimalCase{"+0", 0}, DecimalCase{"-0", 0},
                                           DecimalCase{"-5", -5}, DecimalCase{"+7", 7},
                                           DecimalCase{"\t\v\f7", 7}, DecimalCase{"12abc", 12},
                                           DecimalCase{"abc", 0}, DecimalCase{"", 0}, DecimalCase{"+", 0},
                                           DecimalCase{"-x", 0}, DecimalCase{"99999999999", 2147483647},
                                           DecimalCase{"-99999999999", -2147483647 - 1},
                                           DecimalCase{"2147483648", 2147483647}));

}  // namespace
}  // namespace kelpa::web
