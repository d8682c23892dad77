// kernel32 stand-in: the process heap and lstrcpyA, with a count of live heap blocks.
#pragma once

#include <cstddef>

#include "standin_types.h"

using HANDLE = void*;
using SIZE_T = std::size_t;

HANDLE GetProcessHeap();
// HeapAlloc fails (null) when FailCall("HeapAlloc") says so.
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
// FALSE for a block that this heap did not hand out or that was freed already.
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);

LPSTR lstrcpyA(LPSTR destination, LPCSTR source);

namespace standin {

// Blocks allocated and not yet freed, in the whole process.
int LiveHeapBlockCount();

}  // namespace standin
