// The response reader fed with bytes and chunk boundaries of the fuzzer's choosing.
//
// Each input is read twice, once whole and once cut where the fuzzer says, each time into a
// response buffer that lies between two guard regions. Neither reading may write outside the
// buffer, a finished body must be NUL-terminated within it, and a failed one must leave it an
// empty string. Where the response reader has no reason to depend on the cut (no NUL byte in the
// bytes, no Content-Length of zero, whose body ends with the header's own chunk), both readings
// must give the same outcome and the same body.
//
// Input: one control byte, then two bytes per cut, then the response. The control byte's low four
// bits give the number of cuts; its next two bits repeat the response, so that small inputs reach
// the 64 KiB limits too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "response_reader.h"

namespace {

using kelpa::web::kResponseBufferBytes;
using kelpa::web::ReadProgress;
using kelpa::web::ResponseReader;

// Bytes on each side of the response buffer that no reading may touch.
constexpr std::size_t kGuardBytes = 4096;
constexpr char kGuardPattern = '\xA5';
constexpr std::size_t kMaxCuts = 15;
constexpr std::size_t kCutBytes = 2;
// How often the response is repeated, chosen by bits 4 and 5 of the control byte: 1024 copies of
// 64 bytes already pass the 65,535 a body can hold.
constexpr std::size_t kRepeats[] = {1, 2, 64, 1024};

// The response buffer with a guard region before and after it.
class GuardedBuffer {
public:
    GuardedBuffer() : bytes_(kGuardBytes + kResponseBufferBytes + kGuardBytes, kGuardPattern) {}
    std::span<char, kResponseBufferBytes> Area() {
        return std::span<char, kResponseBufferBytes>(bytes_.data() + kGuardBytes, kResponseBufferBytes);
    }
    bool GuardsIntact() const {
        const auto intact = [](auto from, auto to) {
            return std::all_of(from, to, [](char byte) { return byte == kGuardPattern; });
        };
        return intact(bytes_.begin(), bytes_.begin() + kGuardBytes) &&
               intact(bytes_.end() - kGuardBytes, bytes_.end());
    }

private:
    std::vector<char> bytes_;
};

struct Reading {
    ReadProgress outcome;
    std::string body;
};

// Feeds `response` cut at `cuts` (ascending offsets; empty pieces are not fed, as a receive never
// hands over zero bytes), then ends it, and checks what the reader left in the buffer.
Reading Read(std::string_view response, const std::vector<std::size_t>& cuts) {
    GuardedBuffer buffer;
    const std::span<char, kResponseBufferBytes> area = buffer.Area();
    ResponseReader reader(area);
    ReadProgress progress = ReadProgress::NeedMore;
    std::size_t from = 0;
    for (std::size_t to : cuts) {
        if (to > from) {
            progress = reader.Feed(response.data() + from, to - from);
            from = to;
        }
    }
    if (response.size() > from) {
        progress = reader.Feed(response.data() + from, response.size() - from);
    }
    // Once the reader has its answer it keeps it, also when the server ends the response later.
    const ReadProgress ended = reader.EndOfResponse();
    if (progress != ReadProgress::NeedMore && ended != progress) {
        std::abort();
    }
    if (!buffer.GuardsIntact()) {
        std::abort();
    }
    const std::string_view body = reader.Body();
    if (ended == ReadProgress::Finished) {
        if (body.data() != area.data() || body.size() > kelpa::web::kMaxResponseText ||
            area[body.size()] != '\0') {
            std::abort();
        }
    } else if (!body.empty() || area[0] != '\0') {
        std::abort();
    }
    return Reading{ended, std::string(body)};
}

// Whether the reading may depend on where the response is cut: a NUL byte ends the scan of its
// own chunk, and a Content-Length of zero ends the reading with the chunk that ends the header.
// The reader drops every CR from a header line, so the search does too; a match in the body only
// makes the answer more cautious.
bool CutsMayMatter(std::string_view bytes) {
    if (bytes.find('\0') != std::string_view::npos) {
        return true;
    }
    std::string response(bytes);
    std::erase(response, '\r');
    constexpr std::string_view kName = "Content-Length: ";
    for (std::size_t at = response.find(kName); at != std::string::npos; at = response.find(kName, at + 1)) {
        std::string_view text = std::string_view(response).substr(at + kName.size());
        text = text.substr(0, text.find_first_of("; \n"));
        if (kelpa::web::LeadingDecimalValue(text) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t cut_count = std::min<std::size_t>(data[0] & 0x0F, kMaxCuts);
    const std::size_t repeat = kRepeats[(data[0] >> 4) & 0x03];
    const std::size_t header_bytes = 1 + cut_count * kCutBytes;
    if (size < header_bytes) {
        return 0;
    }
    const std::string_view piece(reinterpret_cast<const char*>(data + header_bytes), size - header_bytes);
    std::string response;
    response.reserve(piece.size() * repeat);
    for (std::size_t copy = 0; copy < repeat; ++copy) {
        response.append(piece);
    }

    std::vector<std::size_t> cuts;
    for (std::size_t cut = 0; cut < cut_count; ++cut) {
        const std::size_t raw = data[1 + cut * kCutBytes] | (data[2 + cut * kCutBytes] << 8);
        cuts.push_back(response.empty() ? 0 : raw * repeat % (response.size() + 1));
    }
    std::sort(cuts.begin(), cuts.end());

    const Reading whole = Read(response, {});
    const Reading split = Read(response, cuts);
    if (!CutsMayMatter(response) && (whole.outcome != split.outcome || whole.body != split.body)) {
        std::abort();
    }
    return 0;
}
