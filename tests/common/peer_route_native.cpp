// Natively the test peer cannot listen on port 80; the stand-in leads its port 80 to the peer.
#include "win32_api.h"

namespace kelpa::test {

void RouteHttpPortToPeer(unsigned short port) { standin::RouteHttpPort(port); }

}  // namespace kelpa::test
