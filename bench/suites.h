// The benchmark's three groups of rows. Each loads the deliverable it measures, measures, and adds
// its rows to the table (or says why a row could not be measured).
#pragma once

#include "side_by_side.h"
#include "table.h"

namespace kelpa::bench {

// The pace of each group: a full run, or a smoke run of a second or two that only shows the
// benchmark works.
struct Paces {
    Pace calls;     // rule and variable calls, microseconds or less each
    Pace requests;  // web requests, each a connection
    Pace curl;      // curl runs, each fetching a batch's documents
};

// An entry rule against a function of the benchmark's own with the same parameters that only
// takes and releases a critical section.
void MeasureRuleCalls(const Pace& pace, Table& table);

// The variable exports against the registry calls they cannot avoid.
void MeasureVariableCalls(const Pace& pace, Table& table);

// PeltoWebRequest against the same request written with one send, and natively against curl.
void MeasureWebRequests(const Paces& paces, Table& table);

}  // namespace kelpa::bench
