// The program's operator new and delete.
//
// A search makes a few small objects per hit (the hit and its context) and
// frees them together later; the process heap takes a lock and walks its
// bookkeeping for each of them, which under Wine costs more than the matching
// itself. Blocks up to kLargestSmall bytes come from free lists of 16-byte
// size classes, carved from 64 KB slabs that are kept for the life of the
// process; larger blocks go to malloc. Every block carries a 16-byte header
// with its class (0 for a malloc block), so that delete needs no size.
//
// Each thread keeps a few free blocks of each class of its own and takes or
// gives back the shared pool's blocks kBatch at a time: a search's workers
// allocate at once, and one lock taken for every block made them wait on
// each other. A thread that ends gives its blocks back (EndThreadScratch).
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "base/ThreadScratch.h"

namespace {

constexpr std::size_t kGranule = 16;
constexpr std::size_t kHeader = 16;
constexpr std::size_t kLargestSmall = 1024;
constexpr std::size_t kClasses = kLargestSmall / kGranule;
constexpr std::size_t kSlabBytes = 64 * 1024;

struct FreeBlock {
    FreeBlock* next;
};

struct alignas(kHeader) BlockHeader {
    std::size_t sizeClass;  // 1..kClasses, or 0 for a block from malloc
};
static_assert(sizeof(BlockHeader) == kHeader);

// Zero-initialised before any constructor runs, so that allocations made by
// static constructors find it ready.
struct Pool {
    std::atomic_flag busy;
    FreeBlock* freeLists[kClasses + 1];
    char* slabNext;
    char* slabEnd;
};
constinit Pool pool{};

// The thread's own free blocks, per class. Plain data: nothing for the
// runtime to destroy when the thread ends.
constexpr unsigned kBatch = 32;
struct ThreadCache {
    FreeBlock* lists[kClasses + 1];
    unsigned counts[kClasses + 1];
};
thread_local ThreadCache cache{};

class PoolLock {
public:
    PoolLock() {
        for (int spins = 0; pool.busy.test_and_set(std::memory_order_acquire); ++spins) {
            if (spins < 64)
                YieldProcessor();
            else
                SwitchToThread();
        }
    }
    ~PoolLock() { pool.busy.clear(std::memory_order_release); }
    PoolLock(const PoolLock&) = delete;
    PoolLock& operator=(const PoolLock&) = delete;
};

// A new block of `sizeClass` carved from the slab; the lock is held.
void* Carve(std::size_t sizeClass) noexcept {
    const std::size_t blockBytes = kHeader + sizeClass * kGranule;
    if (static_cast<std::size_t>(pool.slabEnd - pool.slabNext) < blockBytes) {
        // The rest of the old slab is too small for this class; it stays unused.
        char* slab = static_cast<char*>(std::malloc(kSlabBytes));
        if (!slab)
            return nullptr;
        pool.slabNext = slab;
        pool.slabEnd = slab + kSlabBytes;
    }
    auto* header = reinterpret_cast<BlockHeader*>(pool.slabNext);
    pool.slabNext += blockBytes;
    header->sizeClass = sizeClass;
    return header + 1;
}

void* TryAllocate(std::size_t bytes) noexcept {
    if (bytes <= kLargestSmall) {
        const std::size_t sizeClass = bytes == 0 ? 1 : (bytes + kGranule - 1) / kGranule;
        ThreadCache& own = cache;
        if (FreeBlock* block = own.lists[sizeClass]) {
            own.lists[sizeClass] = block->next;
            --own.counts[sizeClass];
            return block;
        }
        // Empty: one block for the caller and up to kBatch - 1 more for the
        // thread, from the shared free list first.
        PoolLock lock;
        void* first = nullptr;
        for (unsigned n = 0; n < kBatch; ++n) {
            void* p = pool.freeLists[sizeClass];
            if (p)
                pool.freeLists[sizeClass] = static_cast<FreeBlock*>(p)->next;
            else if (!(p = Carve(sizeClass)))
                break;
            if (!first) {
                first = p;
                continue;
            }
            auto* block = static_cast<FreeBlock*>(p);
            block->next = own.lists[sizeClass];
            own.lists[sizeClass] = block;
            ++own.counts[sizeClass];
        }
        return first;
    }
    if (bytes > SIZE_MAX - kHeader)
        return nullptr;
    auto* header = static_cast<BlockHeader*>(std::malloc(kHeader + bytes));
    if (!header)
        return nullptr;
    header->sizeClass = 0;
    return header + 1;
}

void* Allocate(std::size_t bytes) {
    for (;;) {
        if (void* p = TryAllocate(bytes))
            return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

void* AllocateNoThrow(std::size_t bytes) noexcept {
    try {
        return Allocate(bytes);
    } catch (...) {
        return nullptr;
    }
}

void Release(void* p) noexcept {
    if (!p)
        return;
    BlockHeader* header = static_cast<BlockHeader*>(p) - 1;
    const std::size_t sizeClass = header->sizeClass;
    if (sizeClass == 0) {
        std::free(header);
        return;
    }
    auto* block = static_cast<FreeBlock*>(p);
    ThreadCache& own = cache;
    block->next = own.lists[sizeClass];
    own.lists[sizeClass] = block;
    if (++own.counts[sizeClass] < 2 * kBatch)
        return;
    // Too many kept: kBatch of them go back to the shared list.
    PoolLock lock;
    for (unsigned n = 0; n < kBatch; ++n) {
        FreeBlock* back = own.lists[sizeClass];
        own.lists[sizeClass] = back->next;
        back->next = pool.freeLists[sizeClass];
        pool.freeLists[sizeClass] = back;
    }
    own.counts[sizeClass] -= kBatch;
}

// Gives every block the thread keeps back to the shared lists.
void ReturnThreadCache() {
    ThreadCache& own = cache;
    PoolLock lock;
    for (std::size_t c = 1; c <= kClasses; ++c) {
        while (FreeBlock* block = own.lists[c]) {
            own.lists[c] = block->next;
            block->next = pool.freeLists[c];
            pool.freeLists[c] = block;
        }
        own.counts[c] = 0;
    }
}

// Registered before any thread but the first can exist.
const bool returnsAtThreadEnd = (SetThreadEndHook(&ReturnThreadCache), true);

}  // namespace

void* operator new(std::size_t bytes) { return Allocate(bytes); }
void* operator new[](std::size_t bytes) { return Allocate(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return AllocateNoThrow(bytes); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return AllocateNoThrow(bytes); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
