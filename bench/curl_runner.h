// curl, the reference client of the native benchmark: one curl process fetching the same document
// a number of times in a row, its output thrown away.
#pragma once

#include <string>

namespace kelpa::bench {

// Whether a curl program can be run at all.
bool CurlAvailable();

// Runs `curl --http1.0 URL URL ...` with `count` copies of `url` and waits for it. The wall time
// of the whole run in nanoseconds, start-up included; -1 when curl could not run or failed.
double TimeCurlFetches(const std::string& url, long count);

}  // namespace kelpa::bench
