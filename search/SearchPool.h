// Worker threads that convert and match files, handing the finished jobs
// back in the order in which they were added.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/SlimLock.h"

struct FileJob;

// The number of workers a setting asks for: 0 means one per logical
// processor, at most kAutomaticThreads; anything else is held to 1..kMaxThreads.
constexpr int kAutomaticThreads = 16;
constexpr int kMaxThreads = 64;
int SearchThreadCount(int setting);

class SearchPool {
public:
    // Converts and matches one job on worker `worker` (0 .. workers - 1).
    using Work = std::function<void(FileJob& job, int worker)>;
    // Called on worker `worker`'s own thread just before it ends.
    using Leave = std::function<void(int worker)>;

    // Jobs held at once (waiting, running and finished but not yet taken),
    // per worker: the walk pauses when they are all in use.
    static constexpr int kJobsPerWorker = 4;
    // What a search with workers may need beyond the same search without,
    // whatever the files: the jobs running beside the largest one together
    // (kSpareBytes), and the buffers that the workers keep between files,
    // which share kKeptBytes (about a dozen kinds of buffer, each held to
    // kKeptBytes / workers on each worker), beside the fixed third of a MB
    // that each thread keeps for archives (an inflater and a few XML parsers).
    static constexpr ULONGLONG kSpareBytes = 128ull << 20;
    static constexpr size_t kKeptBytes = 8u << 20;

    SearchPool(int workers, Work work, Leave leave = nullptr);
    ~SearchPool();  // drops what waits, lets running jobs end, joins
    SearchPool(const SearchPool&) = delete;
    SearchPool& operator=(const SearchPool&) = delete;

    int Workers() const { return workerCount; }

    // --- the walking thread's side ---
    // A new search: clears the stop flag. Only when the pool is empty.
    void Begin();
    // Room for another job.
    bool HasRoom() const;
    // Adds a job that still has to run, with the memory its conversion may
    // need (`workingBytes`), or, with `finished`, one that is complete.
    void Add(std::unique_ptr<FileJob> job, ULONGLONG workingBytes, bool finished);
    // Takes the finished jobs at the front, in the order they were added.
    void TakeFinished(std::vector<std::unique_ptr<FileJob>>* out);
    // Drops every job that has not started and every finished one, and
    // raises the stop flag that running jobs see (FileJob::stop).
    void Cancel();
    // No job is held: none waits, runs or waits to be taken.
    bool IsEmpty() const;
    // The walking thread is about to wait for FinishedEvent: true when it
    // must, because the first job it can take back has not finished (its
    // worker sets the event when it has); false when there is a job to take
    // now. The event is set for nothing else: under Wine every set and every
    // wait is a call to the wine server, so a worker sets it only when the
    // walking thread waits for that very job.
    bool ArmFinishedEvent();
    // Auto-reset; set as ArmFinishedEvent says.
    HANDLE FinishedEvent() const { return finishedEvent; }
    // What the jobs' stop pointer points to.
    const std::atomic<bool>* StopFlag() const { return &stopped; }

    // Test hook: the largest sum of working bytes admitted at once, less the
    // largest single job among them.
    ULONGLONG PeakSpareBytes() const;

private:
    struct Slot {
        std::unique_ptr<FileJob> job;
        ULONGLONG workingBytes = 0;
        bool finished = false;
    };

    void WorkerLoop(int worker);
    // May `slot` start beside the running jobs? Called with `lock` held.
    bool Admits(const Slot& slot) const;

    Work work;
    Leave leave;
    int workerCount = 0;
    std::vector<std::thread> threads;
    HANDLE finishedEvent = nullptr;
    // Read by running jobs without the lock; written by the walking thread.
    std::atomic<bool> stopped{false};

    // Everything below is guarded by `lock`. Slots are owned by `slots`
    // (walk order); `waiting` points at those not yet started, in order;
    // `running` at those that run.
    mutable SlimMutex lock;
    SlimCondition wake;  // a job waits, memory came free or the pool closes
    std::deque<std::unique_ptr<Slot>> slots;
    std::deque<Slot*> waiting;
    std::vector<Slot*> running;
    bool closing = false;
    bool walkerWaits = false;  // armed: set the event when the front job finishes
    ULONGLONG peakSpare = 0;
};
