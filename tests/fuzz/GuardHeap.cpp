// The fuzz build's operator new: every block ends against an inaccessible
// page, so that a read or write one byte past it faults where it happens;
// the bytes before it hold a pattern checked when it is freed (writes before
// the block); a freed block stays inaccessible for a while (use after free).
#include "tests/fuzz/GuardHeap.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr size_t kPage = 4096;
constexpr uint32_t kMagic = 0x4D474850;  // "MGHP"
constexpr unsigned char kPattern = 0xAB;
constexpr size_t kQuarantine = 2048;

struct Header {
    uint32_t magic;
    size_t regionBytes;
    size_t size;
    unsigned char* user;
};

struct Region {
    void* base;
    size_t dataPages;
};
Region quarantine[kQuarantine];
size_t quarantineNext = 0;

// Regions out of quarantine, by their number of data pages; kept in plain
// arrays, since operator new cannot use the containers it serves.
constexpr size_t kRecycledPages = 8;
constexpr size_t kRecycledPerSize = 512;
struct RegionStack {
    void* items[kRecycledPerSize];
    size_t count = 0;
    size_t size() const { return count; }
    void push_back(void* p) { items[count++] = p; }
};
RegionStack recycled[kRecycledPages + 1];

void* TakeRecycled(size_t dataPages) {
    if (dataPages > kRecycledPages || recycled[dataPages].count == 0)
        return nullptr;
    return recycled[dataPages].items[--recycled[dataPages].count];
}
GuardFailureHandler failureHandler = nullptr;

[[noreturn]] void Fail(const char* what) {
    if (failureHandler)
        failureHandler(what);
    fprintf(stderr, "guard heap: %s\n", what);
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) {
    }
}

void* Allocate(size_t size) {
    // The largest alignment the size allows, up to 16: the block then ends
    // exactly at the guard page for most sizes.
    size_t align = 16;
    while (align > 1 && (size & (align - 1)))
        align >>= 1;
    const size_t front = sizeof(Header) + 8 + 16;
    const size_t dataPages = (size + front + kPage - 1) / kPage;
    const size_t regionBytes = (dataPages + 1) * kPage;
    DWORD old = 0;
    auto* base = static_cast<unsigned char*>(TakeRecycled(dataPages));
    if (base) {
        VirtualProtect(base, dataPages * kPage, PAGE_READWRITE, &old);
    } else {
        base = static_cast<unsigned char*>(VirtualAlloc(nullptr, regionBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (!base)
            throw std::bad_alloc();
        VirtualProtect(base + dataPages * kPage, kPage, PAGE_NOACCESS, &old);
    }
    unsigned char* end = base + dataPages * kPage;
    auto* user = reinterpret_cast<unsigned char*>(reinterpret_cast<uintptr_t>(end - size) & ~(uintptr_t{align} - 1));
    auto* header = reinterpret_cast<Header*>(base);
    *header = {kMagic, regionBytes, size, user};
    unsigned char* pattern = base + sizeof(Header);
    memset(pattern, kPattern, static_cast<size_t>(user - 8 - pattern));
    memcpy(user - 8, &base, 8);
    return user;
}

void Release(void* p) {
    if (!p)
        return;
    unsigned char* base = nullptr;
    memcpy(&base, static_cast<unsigned char*>(p) - 8, 8);
    MEMORY_BASIC_INFORMATION info{};
    if (!base || reinterpret_cast<uintptr_t>(base) % kPage != 0 || !VirtualQuery(base, &info, sizeof info) ||
        info.State != MEM_COMMIT || info.Protect != PAGE_READWRITE)
        Fail("a block freed twice, never allocated, or its front overwritten");
    const auto* header = reinterpret_cast<const Header*>(base);
    if (header->magic != kMagic || header->user != p)
        Fail("a block freed twice, never allocated, or its front overwritten");
    for (const unsigned char* q = base + sizeof(Header); q < header->user - 8; ++q) {
        if (*q != kPattern)
            Fail("a write before the start of a block");
    }
    // The region stays inaccessible while it waits in the quarantine; after
    // that, regions of a few pages are used again (an mprotect costs far
    // less than a new mapping), larger ones go back.
    const size_t dataPages = header->regionBytes / kPage - 1;
    DWORD old = 0;
    VirtualProtect(base, dataPages * kPage, PAGE_NOACCESS, &old);
    if (Region& oldest = quarantine[quarantineNext]; oldest.base) {
        if (oldest.dataPages <= kRecycledPages && recycled[oldest.dataPages].size() < kRecycledPerSize)
            recycled[oldest.dataPages].push_back(oldest.base);
        else
            VirtualFree(oldest.base, 0, MEM_RELEASE);
    }
    quarantine[quarantineNext] = {base, dataPages};
    quarantineNext = (quarantineNext + 1) % kQuarantine;
}

}  // namespace

void SetGuardFailureHandler(GuardFailureHandler handler) { failureHandler = handler; }

// Every block of the process, from its first static constructor on.
void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
