#include "response_reader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace kelpa::web {
namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr std::string_view kAcceptedStatus = "200";
// Searched in this order, case-sensitive, anywhere in the line.
constexpr std::string_view kFailureStatuses[] = {"403", "404", "500"};
// This case and exactly this one blank after the colon.
constexpr std::string_view kContentLengthName = "Content-Length: ";
constexpr std::string_view kLengthTextEnds = std::string_view(";\r ", 3);
constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

bool Contains(std::string_view line, std::string_view text) {
    return line.find(text) != std::string_view::npos;
}

}  // namespace

int LeadingDecimalValue(std::string_view text) noexcept {
    std::size_t at = text.find_first_not_of(kWhiteSpace);
    if (at == std::string_view::npos) {
        return 0;
    }
    bool negative = false;
    if (text[at] == '+' || text[at] == '-') {
        negative = text[at] == '-';
        ++at;
    }
    unsigned magnitude = 0;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), magnitude);
    if (error == std::errc::invalid_argument) {
        return 0;
    }
    constexpr unsigned kIntMax = std::numeric_limits<int>::max();
    if (error == std::errc::result_out_of_range || magnitude > kIntMax) {
        return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    const int value = static_cast<int>(magnitude);
    return negative ? -value : value;
}

ResponseReader::ResponseReader(std::span<char, kResponseBufferBytes> response_buffer) noexcept
    : buffer_(response_buffer) {
    buffer_[0] = '\0';
}

ReadProgress ResponseReader::Feed(const char* chunk, std::size_t count) noexcept {
    switch (phase_) {
        case Phase::Header:
            return FeedHeader(chunk, count);
        case Phase::Body:
            return AppendBody(chunk, count);
        case Phase::Over:
            break;
    }
    return outcome_;
}

ReadProgress ResponseReader::EndOfResponse() noexcept {
    if (phase_ == Phase::Over) {
        return outcome_;
    }
    // During the header, the line in progress (the bytes after the last LF) stays as the body.
    return Finish();
}

std::string_view ResponseReader::Body() const noexcept {
    if (outcome_ != ReadProgress::Finished) {
        return {};
    }
    return std::string_view(buffer_.data(), length_);
}

ReadProgress ResponseReader::FeedHeader(const char* chunk, std::size_t count) noexcept {
    // The scan ends at the chunk's first NUL byte: the bytes after it in this chunk are dropped.
    const std::size_t scanned = static_cast<std::size_t>(std::find(chunk, chunk + count, '\0') - chunk);
    for (std::size_t index = 0; index < scanned; ++index) {
        const char byte = chunk[index];
        if (byte == kCarriageReturn) {
            continue;
        }
        if (byte == kLineFeed && length_ == 0) {
            // The empty line: the rest of this chunk, whatever its bytes, is the start of the body.
            const std::size_t rest = count - index - 1;
            if (rest > kMaxResponseText) {
                return Stop(ReadProgress::TooLarge);
            }
            std::memcpy(buffer_.data(), chunk + index + 1, rest);
            length_ = rest;
            if (content_length_ == 0) {
                return Finish();
            }
            phase_ = Phase::Body;
            return ReadProgress::NeedMore;
        }
        if (byte == kLineFeed) {
            buffer_[length_] = '\0';
            const ReadProgress verdict = ExamineHeaderLine(std::string_view(buffer_.data(), length_));
            if (verdict != ReadProgress::NeedMore) {
                return Stop(verdict);
            }
            length_ = 0;
            continue;
        }
        if (length_ == kMaxResponseText) {
            return Stop(ReadProgress::TooLarge);
        }
        buffer_[length_++] = byte;
    }
    return ReadProgress::NeedMore;
}

ReadProgress ResponseReader::ExamineHeaderLine(std::string_view line) noexcept {
    // Every line up to the first with "200" is a status test, not only the status line.
    if (!status_accepted_ && Contains(line, kAcceptedStatus)) {
        status_accepted_ = true;
    } else if (!status_accepted_) {
        for (std::string_view failure : kFailureStatuses) {
            if (Contains(line, failure)) {
                return ReadProgress::Failed;
            }
        }
    }
    const std::size_t name_at = line.find(kContentLengthName);
    if (name_at != std::string_view::npos) {
        std::string_view text = line.substr(name_at + kContentLengthName.size());
        text = text.substr(0, text.find_first_of(kLengthTextEnds));
        if (text.size() > kLengthTextBytes - 1) {
            return ReadProgress::TooLarge;
        }
        content_length_ = LeadingDecimalValue(text);
    }
    return ReadProgress::NeedMore;
}

ReadProgress ResponseReader::AppendBody(const char* chunk, std::size_t count) noexcept {
    // Stored as received, NUL bytes included; the length of the body never bounds the reading.
    if (count > kMaxResponseText - length_) {
        return Stop(ReadProgress::TooLarge);
    }
    std::memcpy(buffer_.data() + length_, chunk, count);
    length_ += count;
    return ReadProgress::NeedMore;
}

ReadProgress ResponseReader::Finish() noexcept {
    buffer_[length_] = '\0';
    phase_ = Phase::Over;
    outcome_ = ReadProgress::Finished;
    return outcome_;
}

ReadProgress ResponseReader::Stop(ReadProgress why) noexcept {
    // A failed or oversized response leaves the buffer an empty string: nothing of it is a result.
    length_ = 0;
    buffer_[0] = '\0';
    phase_ = Phase::Over;
    outcome_ = why;
    return outcome_;
}

}  // namespace kelpa::web
