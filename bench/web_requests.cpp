// PeltoWebRequest fetching a 1 KiB and a 64 KiB document from the benchmark's loopback server,
// against the same request written by the benchmark with one send call (both builds), and
// natively against curl fetching the same documents from the same server.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "document_server.h"
#include "loaded_library.h"
#include "raw_request.h"
#include "stopwatch.h"
#include "suites.h"
#include "win32_api.h"
#ifndef _WIN32
#include "curl_runner.h"
#endif

namespace kelpa::bench {
namespace {

using WebRequestFn = int(WINAPI*)(char* body_buffer, const char* address, const char* data, int method);

constexpr int kMethodGet = 1;
// The caller buffer the web client requires: the largest body and its NUL.
constexpr std::size_t kCallerBufferBytes = 65536;
// The raw client's response area: the largest response, header included, and one receive more.
constexpr std::size_t kRawResponseBytes = 128 * 1024;

constexpr WORD kWinsockVersion11 = 0x0101;

#ifdef _WIN32
constexpr bool kCurlRuns = false;  // curl is the native reference only
#else
constexpr bool kCurlRuns = true;
#endif

constexpr double kRawGoal = 0;  // no goal is set against the raw request: it shows the cost
constexpr double kCurlGoal = 1.2;

struct Document {
    const char* label;
    const char* path;
    std::string body;
};

// Each request is timed on its own as well: the medians of the single calls are the row's figures,
// and a request that stalled on the way shows beside them.
struct StallWatch {
    std::vector<double> calls;
};

// A round trip held up by a delayed acknowledgement waits 40 ms more (Linux) or up to 200 ms more
// (Windows) than the same exchange without it.
constexpr double kStallNanoseconds = 30e6;

template <class Call>
auto Watched(Call call, StallWatch& watch) {
    return [call, &watch]() mutable {
        const double start = NowNanoseconds();
        const bool right = call();
        watch.calls.push_back(NowNanoseconds() - start);
        return right;
    };
}

// `usual` is the median of the raw requests for the same document: a call that lasts
// kStallNanoseconds longer waited for something.
std::string Describe(const char* who, const StallWatch& watch, double usual) {
    const double slowest =
        watch.calls.empty() ? 0 : *std::max_element(watch.calls.begin(), watch.calls.end());
    const auto stalled = std::count_if(watch.calls.begin(), watch.calls.end(),
                                       [usual](double call) { return call >= usual + kStallNanoseconds; });
    return std::string(who) + " calls: median " + Duration(Median(watch.calls)) + ", slowest " +
           Duration(slowest) + ", " + std::to_string(stalled) + " of " + std::to_string(watch.calls.size()) +
           " stalled (" + Duration(kStallNanoseconds) + " over the raw median or more)";
}

// Whether `response` is a header followed by exactly `body`.
bool EndsWithBody(const char* response, long length, const std::string& body) {
    return length >= static_cast<long>(body.size()) &&
           std::memcmp(response + length - body.size(), body.data(), body.size()) == 0;
}

// One server's rows: each document fetched by the export against the raw request, and natively
// against curl.
class WebRows {
public:
    WebRows(const Paces& paces, Table& table, WebRequestFn web_request, const RawClient& raw_client)
        : paces_(paces), table_(table), web_request_(web_request), raw_client_(raw_client) {}

    void Measure(const Document& document, AckTiming ack_timing, bool against_curl) {
        const std::string subject = std::string("PeltoWebRequest ") + document.label +
                                    (ack_timing == AckTiming::Delayed ? ", server delays ACKs" : "");
        DocumentServer server(ack_timing);
        if (!server.IsListening()) {
            table_.Fail(subject, kRawBaseline,
                        "the document server is not listening: " + server.SetupError());
            return;
        }
        const std::string address = std::string(kServerAddress) + document.path;
        auto fetch = [&] {
            return web_request_(caller_buffer_.data(), address.c_str(), "", kMethodGet) ==
                   static_cast<int>(document.body.size());
        };
        // The web client's request, as the server received it, is what the raw client sends.
        const long answer = server.Answered() + 1;
        if (!fetch() || std::memcmp(caller_buffer_.data(), document.body.data(), document.body.size()) != 0) {
            table_.Fail(subject, kRawBaseline, "PeltoWebRequest did not return the document");
            return;
        }
        const std::string request = server.RequestOfAnswer(answer);
        auto raw_fetch = [&] {
            const long length = raw_client_.Request(request, raw_response_);
            return EndsWithBody(raw_response_.data(), length, document.body);
        };
        if (request.empty() || !raw_client_.IsReady() || !raw_fetch() ||
            server.RequestOfAnswer(answer + 1) != request) {
            table_.Fail(subject, kRawBaseline, "the raw request did not fetch the document");
            return;
        }
        // The same fragments as the web client's, each in its own send without delay: what is left
        // between this and the export is the export's own work.
        const std::vector<std::string_view> fragments = GetFragments(request);
        auto fragmented_fetch = [&] {
            const long length = raw_client_.FragmentedRequest(fragments, raw_response_);
            return EndsWithBody(raw_response_.data(), length, document.body);
        };
        const bool fragments_right = fragments.size() == kGetFragments && fragmented_fetch() &&
                                     server.RequestOfAnswer(answer + 2) == request;
        const double raw_median = MeasureAgainstRaw(subject, kRawBaseline, fetch, raw_fetch);
        if (fragments_right) {
            MeasureAgainstRaw(subject, kFragmentedBaseline, fetch, fragmented_fetch);
        } else {
            table_.Fail(subject, kFragmentedBaseline,
                        "the fragmented raw request did not fetch the document");
        }
        if (against_curl) {
            MeasureAgainstCurl(subject, document, server.Port(), fetch, raw_median);
        }
    }

private:
    static constexpr char kRawBaseline[] = "same request bytes in one send (raw socket calls)";
    static constexpr char kFragmentedBaseline[] = "the same 11 sends, TCP_NODELAY (raw socket calls)";
    static constexpr std::size_t kGetFragments = 11;

    // A row of the export against a raw request; the raw request's median time.
    template <class Fetch, class RawFetch>
    double MeasureAgainstRaw(const std::string& subject, const char* baseline, Fetch fetch,
                             RawFetch raw_fetch) {
        StallWatch export_watch;
        StallWatch raw_watch;
        SideBySide timing = TimeSideBySide(paces_.requests, BatchOf(Watched(fetch, export_watch)),
                                           BatchOf(Watched(raw_fetch, raw_watch)));
        // A request lasts long enough to be timed on its own: the medians of the single calls,
        // which a moment of the machine's other work moves less than a batch's mean.
        timing.subject_nanoseconds = Median(export_watch.calls);
        timing.baseline_nanoseconds = Median(raw_watch.calls);
        timing.ratio = timing.subject_nanoseconds / timing.baseline_nanoseconds;
        table_.Add(subject, baseline, timing, kRawGoal,
                   Describe("export", export_watch, timing.baseline_nanoseconds) + "; " +
                       Describe("raw", raw_watch, timing.baseline_nanoseconds));
        return timing.baseline_nanoseconds;
    }

    template <class Fetch>
    void MeasureAgainstCurl(const std::string& subject, const Document& document, unsigned short port,
                            Fetch fetch, double raw_median) {
#ifdef _WIN32
        (void)subject, (void)document, (void)port, (void)fetch, (void)raw_median;
#else
        constexpr char kCurlBaseline[] = "curl --http1.0, n URLs in one run, start-up taken out";
        if (!CurlAvailable()) {
            table_.Fail(subject, kCurlBaseline,
                        "no curl program to run (tools/install-deps.sh test installs it)");
            return;
        }
        const std::string url =
            "http://" + std::string(kServerAddress) + ":" + std::to_string(port) + document.path;
        // curl's time per fetch: one curl run of n fetches less one run of a single fetch, over
        // n - 1, so that the start of the curl process is not counted.
        auto curl_batch = [&](long calls, bool& ok) {
            const long fetches = calls < 2 ? 2 : calls;
            const double many = TimeCurlFetches(url, fetches);
            const double one = TimeCurlFetches(url, 1);
            if (many < 0 || one < 0) {
                ok = false;
                return 0.0;
            }
            return (many - one) / static_cast<double>(fetches - 1) * static_cast<double>(calls);
        };
        StallWatch export_watch;
        const SideBySide timing =
            TimeSideBySide(paces_.curl, BatchOf(Watched(fetch, export_watch)), curl_batch);
        table_.Add(subject, kCurlBaseline, timing, kCurlGoal, Describe("export", export_watch, raw_median));
#endif
    }

    const Paces& paces_;
    Table& table_;
    WebRequestFn web_request_;
    const RawClient& raw_client_;
    std::vector<char> caller_buffer_ = std::vector<char>(kCallerBufferBytes);
    std::vector<char> raw_response_ = std::vector<char>(kRawResponseBytes);
};

}  // namespace

void MeasureWebRequests(const Paces& paces, Table& table) {
    const std::vector<Document> documents{{"1 KiB", kSmallDocumentPath, DocumentBody(kSmallDocumentPath)},
                                          {"64 KiB", kLargeDocumentPath, DocumentBody(kLargeDocumentPath)}};
    const test::LoadedLibrary base("KELPA_BASE");
    const auto web_request = base.Export<WebRequestFn>("PeltoWebRequest");
    // The raw client runs in this process, which keeps Windows Sockets started for the whole run.
    WSADATA startup{};
    if (web_request == nullptr || WSAStartup(kWinsockVersion11, &startup) != 0) {
        for (const Document& document : documents) {
            table.Fail(std::string("PeltoWebRequest ") + document.label, "-",
                       web_request == nullptr ? "KELPA_BASE or its PeltoWebRequest did not load"
                                              : "WSAStartup failed");
        }
        return;
    }
    {
        const RawClient raw_client(kServerAddress);
        WebRows rows(paces, table, web_request, raw_client);
        for (const Document& document : documents) {
            rows.Measure(document, AckTiming::Immediate, /*against_curl=*/kCurlRuns);
        }
        // A server that delays its acknowledgements, as many do once past a connection's first
        // segments: a client that leaves a small segment waiting for the acknowledgement of the
        // one before (Nagle's algorithm) waits for the server's delayed-ACK timer.
        if (kServerCanDelayAcks) {
            for (const Document& document : documents) {
                rows.Measure(document, AckTiming::Delayed, /*against_curl=*/false);
            }
        }
    }
    WSACleanup();
}

}  // namespace kelpa::bench
