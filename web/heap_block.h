// Owner of one block of the process heap, freed by its destructor.
#pragma once

#include <cstddef>

#include "win32_api.h"

namespace kelpa::web {

class HeapBlock {
public:
    explicit HeapBlock(std::size_t bytes) noexcept : block_(HeapAlloc(GetProcessHeap(), 0, bytes)) {}
    ~HeapBlock() {
        if (block_ != nullptr) {
            HeapFree(GetProcessHeap(), 0, block_);
        }
    }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;

    // False when the allocation failed.
    explicit operator bool() const noexcept { return block_ != nullptr; }
    char* Chars() const noexcept { return static_cast<char*>(block_); }

private:
    void* block_;
};

}  // namespace kelpa::web
