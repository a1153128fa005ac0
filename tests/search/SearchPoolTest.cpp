// The worker pool: walk order kept whatever the jobs' durations, memory
// admitted as promised, a stop that drops what waits, threads that end.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "search/FileJob.h"
#include "search/SearchPool.h"

namespace {

std::unique_ptr<FileJob> NumberedJob(int n) {
    auto job = std::make_unique<FileJob>();
    job->path = std::to_wstring(n);
    return job;
}

// Takes finished jobs until `count` came or the pool is empty.
std::vector<std::wstring> TakeAll(SearchPool& pool, size_t count) {
    std::vector<std::wstring> order;
    for (int waits = 0; order.size() < count && waits < 2000; ++waits) {
        std::vector<std::unique_ptr<FileJob>> done;
        pool.TakeFinished(&done);
        for (auto& job : done) order.push_back(job->path);
        if (pool.IsEmpty())
            break;
        if (order.size() < count && pool.ArmFinishedEvent()) {
            EXPECT_EQ(WaitForSingleObject(pool.FinishedEvent(), 10000), WAIT_OBJECT_0);
        }
    }
    return order;
}

TEST(SearchPool, JobsComeBackInTheOrderTheyWereAddedWhateverTheyTake) {
    std::atomic<int> ran{0};
    SearchPool pool(4, [&](FileJob& job, int worker) {
        EXPECT_GE(worker, 0);
        EXPECT_LT(worker, 4);
        // Early jobs take longest, so later ones finish first.
        const int n = std::stoi(job.path);
        if (n % 7 == 0)
            Sleep(static_cast<DWORD>(12 - n % 12));
        job.contextWidth = n * 3;
        ++ran;
    });
    std::vector<std::wstring> expected;
    std::vector<std::wstring> order;
    for (int n = 0; n < 150; ++n) {
        while (!pool.HasRoom()) {
            std::vector<std::unique_ptr<FileJob>> done;
            pool.TakeFinished(&done);
            for (auto& job : done) {
                EXPECT_EQ(job->contextWidth, std::stoi(job->path) * 3)
                    << "a job was handed back before its work was done";
                order.push_back(job->path);
            }
            if (done.empty() && pool.ArmFinishedEvent()) {
                EXPECT_EQ(WaitForSingleObject(pool.FinishedEvent(), 10000), WAIT_OBJECT_0);
            }
        }
        EXPECT_TRUE(pool.HasRoom());
        // Every fifth job needs no worker: it is finished when it is added.
        const bool finished = n % 5 == 0;
        auto job = NumberedJob(n);
        if (finished)
            job->contextWidth = n * 3;
        pool.Add(std::move(job), 0, finished);
        expected.push_back(std::to_wstring(n));
    }
    const std::vector<std::wstring> rest = TakeAll(pool, expected.size() - order.size());
    order.insert(order.end(), rest.begin(), rest.end());
    EXPECT_EQ(order, expected);
    EXPECT_EQ(ran.load(), 120);
    EXPECT_TRUE(pool.IsEmpty());
}

TEST(SearchPool, TheJobsBesideTheLargestNeverNeedMoreThanTheSpareMemory) {
    // Working bytes per job, in MiB: huge files among small ones.
    const std::vector<int> mib = {900, 4,  4, 100, 100, 100, 4, 700, 60, 60,
                                  60,  60, 4, 4,   130, 130, 1, 1,   1,  500};
    std::mutex lock;
    std::vector<ULONGLONG> running;
    ULONGLONG worstSpare = 0;
    int ran = 0;
    SearchPool pool(8, [&](FileJob& job, int) {
        const ULONGLONG bytes = static_cast<ULONGLONG>(mib[std::stoi(job.path)]) << 20;
        {
            std::lock_guard<std::mutex> guard(lock);
            running.push_back(bytes);
            ULONGLONG total = 0, largest = 0;
            for (ULONGLONG b : running) {
                total += b;
                largest = std::max(largest, b);
            }
            worstSpare = std::max(worstSpare, total - largest);
            ++ran;
        }
        Sleep(15);
        std::lock_guard<std::mutex> guard(lock);
        running.erase(std::find(running.begin(), running.end(), bytes));
    });
    for (size_t i = 0; i < mib.size(); ++i) {
        while (!pool.HasRoom()) TakeAll(pool, 1);
        pool.Add(NumberedJob(static_cast<int>(i)), static_cast<ULONGLONG>(mib[i]) << 20, false);
    }
    TakeAll(pool, mib.size());
    // Jobs larger than the spare memory run too (beside little, or alone).
    EXPECT_EQ(ran, static_cast<int>(mib.size()));
    EXPECT_GT(worstSpare, 0u) << "jobs never ran side by side";
    EXPECT_LE(worstSpare, SearchPool::kSpareBytes);
    EXPECT_LE(pool.PeakSpareBytes(), SearchPool::kSpareBytes);
}

TEST(SearchPool, CancelDropsWaitingJobsAndRunningOnesSeeTheStopFlag) {
    std::atomic<int> started{0};
    std::atomic<int> sawStop{0};
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SearchPool pool(2, [&](FileJob& job, int) {
        ++started;
        WaitForSingleObject(release, 5000);
        if (job.stop && job.stop->load())
            ++sawStop;
    });
    for (int n = 0; n < 8; ++n) {
        auto job = NumberedJob(n);
        job->stop = pool.StopFlag();
        pool.Add(std::move(job), 0, n == 0);
    }
    while (started.load() < 2) Sleep(1);
    pool.Cancel();
    SetEvent(release);
    // Only the two running jobs remain, and nothing else starts.
    const std::vector<std::wstring> left = TakeAll(pool, 2);
    EXPECT_EQ(left.size(), 2u);
    EXPECT_TRUE(pool.IsEmpty());
    EXPECT_EQ(started.load(), 2);
    EXPECT_EQ(sawStop.load(), 2);
    // The next search starts with the flag down.
    pool.Begin();
    EXPECT_FALSE(pool.StopFlag()->load());
    CloseHandle(release);
}

// The event says one thing: the job that the walking thread waits for, the
// first it can take back, has finished. Jobs behind it, and jobs nobody waits
// for, do not set it (each set is a call to the wine server).
TEST(SearchPool, TheEventSaysThatTheJobWaitedForHasFinished) {
    HANDLE releaseFirst = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> finished{0};
    SearchPool pool(3, [&](FileJob& job, int) {
        if (job.path == L"0")
            WaitForSingleObject(releaseFirst, 10000);
        ++finished;
    });
    EXPECT_FALSE(pool.ArmFinishedEvent()) << "nothing to wait for";
    for (int n = 0; n < 3; ++n) pool.Add(NumberedJob(n), 0, false);
    ASSERT_TRUE(pool.ArmFinishedEvent());
    // The two jobs behind the first finish; the walking thread sleeps on.
    for (int waits = 0; finished.load() < 2 && waits < 1000; ++waits) Sleep(5);
    ASSERT_EQ(finished.load(), 2);
    EXPECT_EQ(WaitForSingleObject(pool.FinishedEvent(), 100), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(releaseFirst);
    EXPECT_EQ(WaitForSingleObject(pool.FinishedEvent(), 10000), WAIT_OBJECT_0);
    std::vector<std::unique_ptr<FileJob>> done;
    pool.TakeFinished(&done);
    EXPECT_EQ(done.size(), 3u);
    // The set disarmed it: the next job that finishes first sets nothing.
    pool.Add(NumberedJob(3), 0, false);
    for (int waits = 0; finished.load() < 4 && waits < 1000; ++waits) Sleep(5);
    Sleep(20);
    EXPECT_EQ(WaitForSingleObject(pool.FinishedEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    // A job that finishes between the last look and the arming is seen by the arming.
    EXPECT_FALSE(pool.ArmFinishedEvent());
    pool.TakeFinished(&done);
    EXPECT_TRUE(pool.IsEmpty());
    CloseHandle(releaseFirst);
}

TEST(SearchPool, EveryWorkerLeavesOnItsOwnThreadAndTheCountFollowsTheSetting) {
    std::mutex lock;
    std::map<int, DWORD> workThreads;
    std::map<int, DWORD> leaveThreads;
    {
        SearchPool pool(
            3,
            [&](FileJob&, int worker) {
                std::lock_guard<std::mutex> guard(lock);
                workThreads[worker] = GetCurrentThreadId();
                Sleep(5);
            },
            [&](int worker) {
                std::lock_guard<std::mutex> guard(lock);
                leaveThreads[worker] = GetCurrentThreadId();
            });
        EXPECT_EQ(pool.Workers(), 3);
        for (int n = 0; n < 12; ++n) pool.Add(NumberedJob(n), 0, false);
        TakeAll(pool, 12);
    }
    ASSERT_EQ(leaveThreads.size(), 3u);
    for (const auto& [worker, thread] : workThreads) {
        EXPECT_EQ(leaveThreads[worker], thread) << "worker " << worker;
        EXPECT_NE(thread, GetCurrentThreadId());
    }

    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_EQ(SearchThreadCount(0),
              std::clamp(static_cast<int>(info.dwNumberOfProcessors), 1, kAutomaticThreads));
    EXPECT_EQ(SearchThreadCount(1), 1);
    EXPECT_EQ(SearchThreadCount(37), 37);
    EXPECT_EQ(SearchThreadCount(64), 64);
    EXPECT_EQ(SearchThreadCount(500), kMaxThreads);
}

}  // namespace
