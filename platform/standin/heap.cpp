// The process heap over the C++ allocator, counting its live blocks.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

#include "standin_faults.h"
#include "standin_heap.h"

namespace {

int g_process_heap_tag;
std::mutex g_mutex;
std::set<void*> g_blocks;

}  // namespace

HANDLE GetProcessHeap() { return &g_process_heap_tag; }

LPVOID HeapAlloc(HANDLE heap, DWORD /*flags*/, SIZE_T bytes) {
    if (heap != GetProcessHeap() || standin::ShouldFail("HeapAlloc")) {
        return nullptr;
    }
    void* block = ::operator new(bytes == 0 ? 1 : bytes, std::nothrow);
    if (block != nullptr) {
        std::lock_guard<std::mutex> hold(g_mutex);
        g_blocks.insert(block);
    }
    return block;
}

BOOL HeapFree(HANDLE heap, DWORD /*flags*/, LPVOID block) {
    if (heap != GetProcessHeap()) {
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> hold(g_mutex);
        if (g_blocks.erase(block) == 0) {
            std::fprintf(stderr, "standin: HeapFree of a block not allocated or already freed: %p\n", block);
            return FALSE;
        }
    }
    ::operator delete(block);
    return TRUE;
}

LPSTR lstrcpyA(LPSTR destination, LPCSTR source) {
    // Like the real one, a null pointer on either side copies nothing and answers null.
    if (destination == nullptr || source == nullptr) {
        return nullptr;
    }
    return std::strcpy(destination, source);
}

namespace standin {

int LiveHeapBlockCount() {
    std::lock_guard<std::mutex> hold(g_mutex);
    return static_cast<int>(g_blocks.size());
}

}  // namespace standin
