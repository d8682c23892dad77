// Several threads calling every export of one library at once, a bounded number of times: nothing
// written is lost, and every call returns (a deadlock would hold the test until its time-out).
// Two libraries in one process do not wait for each other: while one library's web request is
// held up by a server that never answers, another library's calls all complete.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "export_table.h"
#include "library_load.h"
#include "loaded_library.h"
#include "parallel.h"
#include "registry_view.h"
#include "test_peer.h"
#include "web_calls.h"

namespace kelpa::test {
namespace {

struct LoadPlan {
    int threads;
    int rounds;
};

#ifdef _WIN32
// Wine runs the 32-bit code through an emulator: fewer rounds, the same interleaving of threads.
constexpr LoadPlan kPlan{4, 40};
#else
constexpr LoadPlan kPlan{4, 400};
#endif

// The longest a test waits for the library to reach the test peer: only a broken test waits so long.
constexpr std::chrono::seconds kClientWait{60};

std::string Describe(const std::vector<std::string>& errors) {
    std::string text;
    for (std::size_t at = 0; at < errors.size() && at < 5; ++at) {
        text += errors[at] + "\n";
    }
    return text + std::to_string(errors.size()) + " mismatches";
}

// Runs the plan's threads on `load` and checks that every thread read back what it wrote.
void RunLoad(const LibraryLoad& load) {
    std::vector<std::vector<std::string>> errors(static_cast<std::size_t>(kPlan.threads));
    RunOnThreads(kPlan.threads, [&](int thread) {
        load.RunThread(thread, kPlan.rounds, errors[static_cast<std::size_t>(thread)]);
    });
    for (const std::vector<std::string>& thread_errors : errors) {
        EXPECT_TRUE(thread_errors.empty()) << Describe(thread_errors);
    }
}

class ConcurrentLoad : public ::testing::TestWithParam<std::string_view> {
protected:
    void SetUp() override { DeleteKeyTree(StorePath("load")); }
    void TearDown() override { DeleteKeyTree(StorePath("load")); }
};

TEST_P(ConcurrentLoad, EveryThreadReadsBackWhatItWrote) {
    LoadedLibrary library{std::string(GetParam())};
    LibraryLoad load(library);
    ASSERT_TRUE(load.Ready());
    load.LearnRuleAnswers();
    RunLoad(load);
}

INSTANTIATE_TEST_SUITE_P(AllDeliverables, ConcurrentLoad, ::testing::ValuesIn(kDeliverables),
                         [](const auto& info) { return std::string(info.param); });

class ConcurrentLibraries : public ConcurrentLoad {};

// KELPA_BASE's request holds its store lock until the server ends the exchange, which the test
// peer does only when the test stops it. Everything KELPA_LATTICE is asked meanwhile completes,
// its own store lock included, so the two libraries' locks are apart.
TEST_F(ConcurrentLibraries, AStalledRequestInOneDoesNotHoldUpTheOther) {
    LoadedLibrary base("KELPA_BASE");
    LoadedLibrary lattice("KELPA_LATTICE");
    ASSERT_TRUE(base.IsLoaded());
    const auto web_request = base.Export<WebRequestExport>("PeltoWebRequest");
    ASSERT_NE(web_request, nullptr);
    LibraryLoad load(lattice);
    ASSERT_TRUE(load.Ready());
    load.LearnRuleAnswers();

    TestPeer peer(PeerScript{0, {}, PeerEnding::Stall});
    ASSERT_TRUE(peer.IsListening()) << peer.SetupError();
    std::atomic<bool> request_returned{false};
    int request_result = -1;
    bool client_came = false;
    bool returned_during_load = true;
    CallerBuffer buffer;
    RunOnThreads(2, [&](int role) {
        if (role == 0) {
            request_result = web_request(buffer.Data(), "127.0.0.1/stalled", "", 1);
            request_returned.store(true);
            return;
        }
        client_came = peer.WaitForClient(kClientWait);
        if (client_came) {
            RunLoad(load);
            returned_during_load = request_returned.load();
        }
        peer.Stop();  // the server closes: the request ends
    });

    ASSERT_TRUE(client_came);
    EXPECT_FALSE(returned_during_load);
    // The server closed without a byte: no body.
    EXPECT_EQ(request_result, 0);
    EXPECT_TRUE(buffer.IsUntouched());
}

}  // namespace
}  // namespace kelpa::test
