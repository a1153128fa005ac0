// The program's operator new and delete: every block usable, aligned and
// separate from the others, across the size classes, the large blocks and
// two threads at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "base/ThreadScratch.h"
#include "tests/ProcessUsage.h"

namespace {

struct Block {
    unsigned char* data;
    size_t size;
    unsigned char fill;
};

bool Intact(const Block& b) {
    for (size_t i = 0; i < b.size; ++i) {
        if (b.data[i] != b.fill)
            return false;
    }
    return true;
}

// Allocates and frees blocks of random sizes in random order, each filled
// with its own byte, and checks that no block was disturbed by the others.
// Returns the number of damaged or misaligned blocks.
int Churn(unsigned seed, int rounds) {
    std::mt19937 random(seed);
    const size_t sizes[] = {0, 1, 15, 16, 17, 40, 255, 1008, 1023, 1024, 1025, 4096, 70000};
    std::vector<Block> live;
    int faults = 0;
    for (int round = 0; round < rounds; ++round) {
        if (live.empty() || random() % 3) {
            const size_t size = random() % 2 ? sizes[random() % std::size(sizes)] : random() % 1500;
            Block b{static_cast<unsigned char*>(::operator new(size)), size,
                    static_cast<unsigned char>(random())};
            if (reinterpret_cast<uintptr_t>(b.data) % 16 != 0)
                ++faults;
            memset(b.data, b.fill, size);
            live.push_back(b);
        } else {
            const size_t at = random() % live.size();
            if (!Intact(live[at]))
                ++faults;
            ::operator delete(live[at].data);
            live[at] = live.back();
            live.pop_back();
        }
    }
    for (const Block& b : live) {
        if (!Intact(b))
            ++faults;
        ::operator delete(b.data);
    }
    return faults;
}

TEST(SmallBlockHeap, BlocksStayAlignedAndSeparate) {
    EXPECT_EQ(Churn(1, 20000), 0);
    // Freed blocks are handed out again.
    void* first = ::operator new(48);
    ::operator delete(first);
    void* second = ::operator new(40);
    EXPECT_EQ(first, second);
    ::operator delete(second);
}

TEST(SmallBlockHeap, TwoThreadsAtOnce) {
    int faults[2] = {-1, -1};
    std::thread other([&] { faults[1] = Churn(2, 50000); });
    faults[0] = Churn(3, 50000);
    other.join();
    EXPECT_EQ(faults[0], 0);
    EXPECT_EQ(faults[1], 0);
}

TEST(SmallBlockHeap, BlocksKeptByThreadsThatEndOrFreedElsewhereAreUsedAgain) {
    // Round after round a new thread (a search's worker) makes blocks, frees
    // half of them itself and ends; this thread frees the other half. The
    // blocks are used again, so the heap stops growing after the first round.
    auto round = [] {
        std::vector<void*> blocks;
        std::thread worker([&] {
            for (int i = 0; i < 600; ++i)
                blocks.push_back(::operator new(16 + (i % 8) * 120));
            for (int i = 0; i < 300; ++i)
                ::operator delete(blocks[i]);
            EndThreadScratch();
        });
        worker.join();
        for (size_t i = 300; i < blocks.size(); ++i)
            ::operator delete(blocks[i]);
    };
    round();
    const size_t after = MeasureProcessUsage().heapBytes;
    for (int i = 0; i < 60; ++i)
        round();
    const long long growth = static_cast<long long>(MeasureProcessUsage().heapBytes) - static_cast<long long>(after);
    EXPECT_LT(growth, 256 << 10) << "bytes the ended threads kept";
}

TEST(SmallBlockHeap, ImpossibleSizesFailCleanly) {
    // Read at run time, so that the compiler does not see the sizes.
    volatile size_t largest = std::numeric_limits<size_t>::max();
    EXPECT_THROW(static_cast<void>(::operator new(largest)), std::bad_alloc);
    EXPECT_THROW(static_cast<void>(::operator new(largest - 8)), std::bad_alloc);
    EXPECT_EQ(::operator new(largest, std::nothrow), nullptr);
    EXPECT_EQ(::operator new[](largest / 2, std::nothrow), nullptr);
    ::operator delete(nullptr);
    // Arrays and the nothrow forms come from the same heap.
    char* array = new char[100];
    char* nothrow = new (std::nothrow) char[100];
    ASSERT_NE(nothrow, nullptr);
    memset(array, 1, 100);
    memset(nothrow, 2, 100);
    delete[] array;
    delete[] nothrow;
}

}  // namespace
