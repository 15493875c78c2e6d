// Replaces operator new and delete in the one test program whose test file
// includes this header: every allocation is counted and its size kept, so a
// test can read how much was held at most, and requests can be made to fail by
// size or after a number of allocations.
#pragma once

#include <cstdlib>
#include <cstring>
#include <new>

namespace testsupport {

struct Allocations {
    static inline long count = 0;               // operator new calls so far
    static inline size_t current = 0, peak = 0;  // bytes held now, and at most
    static inline size_t failAbove = ~size_t(0);  // larger requests throw
    static inline long failAfter = -1;           // this many succeed, then all throw; -1: never

    static void* Allocate(size_t n) {
        ++count;
        if (n > failAbove || failAfter == 0) throw std::bad_alloc();
        if (failAfter > 0) --failAfter;
        unsigned char* block = static_cast<unsigned char*>(malloc(n + kHeader));
        if (!block) throw std::bad_alloc();
        memcpy(block, &n, sizeof(n));
        current += n;
        if (current > peak) peak = current;
        return block + kHeader;
    }
    static void Free(void* p) {
        if (!p) return;
        unsigned char* block = static_cast<unsigned char*>(p) - kHeader;
        size_t n;
        memcpy(&n, block, sizeof(n));
        current -= n;
        free(block);
    }
    static const size_t kHeader = 16;  // keeps the blocks aligned as malloc's are
};

}  // namespace testsupport

void* operator new(size_t n) { return testsupport::Allocations::Allocate(n); }
void* operator new[](size_t n) { return testsupport::Allocations::Allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    try {
        return testsupport::Allocations::Allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { testsupport::Allocations::Free(p); }
void operator delete[](void* p) noexcept { testsupport::Allocations::Free(p); }
void operator delete(void* p, size_t) noexcept { testsupport::Allocations::Free(p); }
void operator delete[](void* p, size_t) noexcept { testsupport::Allocations::Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { testsupport::Allocations::Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { testsupport::Allocations::Free(p); }
