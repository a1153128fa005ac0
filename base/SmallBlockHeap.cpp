// The program's operator new and delete.
//
// A search makes a few small objects per hit (the hit and its context) and
// frees them together later; the process heap takes a lock and walks its
// bookkeeping for each of them, which under Wine costs more than the matching
// itself. Blocks up to kLargestSmall bytes come from free lists of 16-byte
// size classes, carved from 64 KB slabs that are kept for the life of the
// process; larger blocks go to malloc. Every block carries a 16-byte header
// with its class (0 for a malloc block), so that delete needs no size.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

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

void* TryAllocate(std::size_t bytes) noexcept {
    if (bytes <= kLargestSmall) {
        const std::size_t sizeClass = bytes == 0 ? 1 : (bytes + kGranule - 1) / kGranule;
        const std::size_t blockBytes = kHeader + sizeClass * kGranule;
        PoolLock lock;
        if (FreeBlock* block = pool.freeLists[sizeClass]) {
            pool.freeLists[sizeClass] = block->next;
            return block;
        }
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
    PoolLock lock;
    block->next = pool.freeLists[sizeClass];
    pool.freeLists[sizeClass] = block;
}

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
