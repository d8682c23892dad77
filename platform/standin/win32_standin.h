// Linux stand-in for the parts of the Windows API that the libraries call.
//
// Each service lives in a header of its own; this one gathers them. The functions have C++ linkage
// and live in libkelpa_standin.so, so names such as `socket` or `send` never clash with the C
// library's, and every native deliverable loaded into one process shares one registry.
#pragma once

#include "standin_types.h"
#include "standin_faults.h"
#include "standin_kernel.h"
#include "standin_heap.h"
#include "standin_registry.h"
#include "standin_sockets.h"
#include "standin_user.h"
