// Times an export against its baseline side by side: in one process, in alternating rounds, each
// round one batch of the export's calls and one batch of the baseline's, the order swapped every
// round so that neither always runs second. The ratio is the median of the rounds' own ratios, so
// a slow moment of the machine, which lands on one round, moves it little.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "stopwatch.h"

namespace kelpa::bench {

// How long to measure.
struct Pace {
    double batch_nanoseconds;  // a batch of calls lasts at least this long
    int rounds;                // rounds that count, after one round of warming up
    long min_calls;            // calls per batch at least
    long max_calls;            // and at most
};

struct SideBySide {
    double subject_nanoseconds = 0;   // median time per call of the export
    double baseline_nanoseconds = 0;  // median time per call of the baseline
    double ratio = 0;                 // median of the rounds' ratios
    long calls_per_batch = 0;
    int rounds = 0;
    bool ok = true;  // every call of both gave the expected answer
};

inline double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// A batch: runs `calls` calls, tells how long they took in nanoseconds, and clears `ok` when a call
// gave a wrong answer.
template <class Call>
auto BatchOf(Call call) {
    return [call](long calls, bool& ok) mutable {
        bool all_right = true;
        const double start = NowNanoseconds();
        for (long index = 0; index < calls; ++index) {
            all_right &= call();
        }
        const double elapsed = NowNanoseconds() - start;
        ok = ok && all_right;
        return elapsed;
    };
}

// `subject` and `baseline` are batches (BatchOf, or one of their own that times many calls at
// once). The batch size is found first, doubling from min_calls until the slower of the two
// lasts pace.batch_nanoseconds, and is the same for both.
template <class SubjectBatch, class BaselineBatch>
SideBySide TimeSideBySide(const Pace& pace, SubjectBatch subject, BaselineBatch baseline) {
    SideBySide result;
    long calls = std::max(1L, pace.min_calls);
    for (;;) {
        const double slower = std::max(subject(calls, result.ok), baseline(calls, result.ok));
        if (!result.ok || slower >= pace.batch_nanoseconds || calls >= pace.max_calls) {
            break;
        }
        // Towards the target in one step when the time is large enough to trust, else doubling.
        const double scale =
            slower > pace.batch_nanoseconds / 16 ? pace.batch_nanoseconds / slower * 1.1 : 2.0;
        calls = std::min(pace.max_calls, static_cast<long>(std::ceil(static_cast<double>(calls) * scale)));
    }
    result.calls_per_batch = calls;

    std::vector<double> subject_times;
    std::vector<double> baseline_times;
    std::vector<double> ratios;
    for (int round = -1; round < pace.rounds && result.ok; ++round) {
        double subject_time;
        double baseline_time;
        if (round % 2 == 0) {
            subject_time = subject(calls, result.ok);
            baseline_time = baseline(calls, result.ok);
        } else {
            baseline_time = baseline(calls, result.ok);
            subject_time = subject(calls, result.ok);
        }
        if (round < 0) {
            continue;  // warming up: caches, the server's first connections
        }
        subject_times.push_back(subject_time / static_cast<double>(calls));
        baseline_times.push_back(baseline_time / static_cast<double>(calls));
        if (baseline_time > 0) {
            ratios.push_back(subject_time / baseline_time);
        }
    }
    result.rounds = static_cast<int>(ratios.size());
    result.subject_nanoseconds = Median(subject_times);
    result.baseline_nanoseconds = Median(baseline_times);
    result.ratio = Median(ratios);
    return result;
}

}  // namespace kelpa::bench
