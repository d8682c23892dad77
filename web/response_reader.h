// The response reader: fed with the chunks of the response as they are received, it assembles the
// header line by line in the response buffer, judges the status, and leaves the body there. It
// owns no socket and no buffer, so a test can feed it any response cut at any position.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace kelpa::web {

// One receive asks for at most 1024 bytes, as the response has always been read.
inline constexpr std::size_t kReceiveChunkBytes = 1024;

// The response buffer, a 64 KiB heap block per request, holds the header line being assembled and
// then the body, each with a terminating NUL: so a header line or a body has at most 65,535 bytes.
inline constexpr std::size_t kResponseBufferBytes = 65536;
inline constexpr std::size_t kMaxResponseText = kResponseBufferBytes - 1;

// The text of a Content-Length value has always been kept in 256 bytes with its NUL: at most 255
// characters.
inline constexpr std::size_t kLengthTextBytes = 256;

enum class ReadProgress {
    NeedMore,  // go on receiving
    Finished,  // the body is in the response buffer, NUL-terminated
    Failed,    // a failure status (403, 404 or 500) before the one with 200
    TooLarge,  // a header line, a Content-Length value or the body does not fit its buffer
};

class ResponseReader {
public:
    // `response_buffer` is the caller's and must outlive the reader.
    explicit ResponseReader(std::span<char, kResponseBufferBytes> response_buffer) noexcept;

    // One received chunk of `count` bytes (more than 0). Once the answer is other than NeedMore,
    // the reading is over and further chunks are ignored.
    ReadProgress Feed(const char* chunk, std::size_t count) noexcept;

    // The server ended the response (a receive gave 0 or a reset).
    ReadProgress EndOfResponse() noexcept;

    // The body as stored, NUL bytes included; empty unless the reading finished.
    std::string_view Body() const noexcept;

private:
    enum class Phase { Header, Body, Over };

    ReadProgress FeedHeader(const char* chunk, std::size_t count) noexcept;
    ReadProgress AppendBody(const char* chunk, std::size_t count) noexcept;
    ReadProgress ExamineHeaderLine(std::string_view line) noexcept;
    ReadProgress Finish() noexcept;
    ReadProgress Stop(ReadProgress why) noexcept;

    std::span<char, kResponseBufferBytes> buffer_;
    std::size_t length_ = 0;  // the header line being assembled, then the body
    Phase phase_ = Phase::Header;
    ReadProgress outcome_ = ReadProgress::NeedMore;
    bool status_accepted_ = false;
    // Only zero against non-zero matters: zero ends the reading with the header's own chunk. Before
    // any Content-Length line it is 1, so the body is read to the end of the connection.
    int content_length_ = 1;
};

// The value of a Content-Length text as atoi reads it: leading white space skipped, an optional
// sign, the decimal digits up to the first other character; 0 without digits. A value beyond the
// int range gives the nearest limit.
int LeadingDecimalValue(std::string_view text) noexcept;

}  // namespace kelpa::web
