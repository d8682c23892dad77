// Natively the benchmark's server cannot listen on port 80; the stand-in leads its port 80 there.
#include "win32_api.h"

namespace kelpa::bench {

void RouteHttpPortTo(unsigned short port) { standin::RouteHttpPort(port); }

}  // namespace kelpa::bench
