// The worker pool: jobs wait in walk order, start in walk order as memory
// allows, and are taken back in walk order.
#include "search/SearchPool.h"

#include <algorithm>

#include "base/TextBlock.h"
#include "base/ThreadScratch.h"
#include "search/FileJob.h"

int SearchThreadCount(int setting) {
    if (setting > 0)
        return std::min(setting, kMaxThreads);
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const int processors = static_cast<int>(info.dwNumberOfProcessors);
    return std::clamp(processors, 1, kAutomaticThreads);
}

SearchPool::SearchPool(int workers, Work work, Leave leave)
    : work(std::move(work)), leave(std::move(leave)) {
    finishedEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    workers = std::clamp(workers, 1, kMaxThreads);
    workerCount = workers;
    threads.reserve(workers);
    for (int i = 0; i < workers; ++i) threads.emplace_back([this, i] { WorkerLoop(i); });
}

SearchPool::~SearchPool() {
    stopped = true;
    {
        std::lock_guard<SlimMutex> guard(lock);
        closing = true;
    }
    wake.notify_all();
    for (auto& t : threads) t.join();
    if (finishedEvent)
        CloseHandle(finishedEvent);
}

void SearchPool::Begin() {
    std::lock_guard<SlimMutex> guard(lock);
    if (slots.empty()) {
        stopped = false;
        peakSpare = 0;
    }
}

bool SearchPool::HasRoom() const {
    std::lock_guard<SlimMutex> guard(lock);
    return slots.size() < static_cast<size_t>(kJobsPerWorker * workerCount);
}

void SearchPool::Add(std::unique_ptr<FileJob> job, ULONGLONG workingBytes, bool finished) {
    auto slot = std::make_unique<Slot>();
    slot->job = std::move(job);
    slot->workingBytes = workingBytes;
    slot->finished = finished;
    {
        std::lock_guard<SlimMutex> guard(lock);
        if (!finished)
            waiting.push_back(slot.get());
        slots.push_back(std::move(slot));
    }
    if (!finished)
        wake.notify_one();
}

void SearchPool::TakeFinished(std::vector<std::unique_ptr<FileJob>>* out) {
    std::lock_guard<SlimMutex> guard(lock);
    while (!slots.empty() && slots.front()->finished) {
        out->push_back(std::move(slots.front()->job));
        slots.pop_front();
    }
}

void SearchPool::Cancel() {
    stopped = true;
    std::vector<std::unique_ptr<FileJob>> dropped;
    {
        std::lock_guard<SlimMutex> guard(lock);
        waiting.clear();
        for (auto it = slots.begin(); it != slots.end();) {
            if (std::find(running.begin(), running.end(), it->get()) == running.end()) {
                dropped.push_back(std::move((*it)->job));
                it = slots.erase(it);
            } else {
                ++it;
            }
        }
    }
    // The dropped jobs (and their records) are freed outside the lock.
}

bool SearchPool::ArmFinishedEvent() {
    std::lock_guard<SlimMutex> guard(lock);
    walkerWaits = !slots.empty() && !slots.front()->finished;
    return walkerWaits;
}

bool SearchPool::IsEmpty() const {
    std::lock_guard<SlimMutex> guard(lock);
    return slots.empty();
}

ULONGLONG SearchPool::PeakSpareBytes() const {
    std::lock_guard<SlimMutex> guard(lock);
    return peakSpare;
}

// The jobs running beside the largest one may need kSpareBytes together: the
// largest alone is what the same file costs a search without workers.
bool SearchPool::Admits(const Slot& slot) const {
    if (running.empty())
        return true;
    ULONGLONG total = slot.workingBytes;
    ULONGLONG largest = slot.workingBytes;
    for (const Slot* s : running) {
        total += s->workingBytes;
        largest = std::max(largest, s->workingBytes);
    }
    return total - largest <= kSpareBytes;
}

void SearchPool::WorkerLoop(int worker) {
    SetKeptBufferBytes(kKeptBytes / workerCount);
    for (;;) {
        Slot* slot = nullptr;
        {
            std::unique_lock<SlimMutex> guard(lock);
            wake.wait(guard,
                      [&] { return closing || (!waiting.empty() && Admits(*waiting.front())); });
            if (closing)
                break;
            slot = waiting.front();
            waiting.pop_front();
            running.push_back(slot);
            ULONGLONG total = 0;
            ULONGLONG largest = 0;
            for (const Slot* s : running) {
                total += s->workingBytes;
                largest = std::max(largest, s->workingBytes);
            }
            peakSpare = std::max(peakSpare, total - largest);
        }
        if (!stopped.load()) {
            try {
                work(*slot->job, worker);
            } catch (...) {
                // The work function fails its own file; nothing may escape a thread.
            }
        }
        bool front = false;
        {
            std::lock_guard<SlimMutex> guard(lock);
            running.erase(std::find(running.begin(), running.end(), slot));
            slot->finished = true;
            // A running job is never dropped, so the slot is still held.
            front = walkerWaits && slots.front().get() == slot;
            if (front)
                walkerWaits = false;
        }
        // Memory came free: a job that waited for it may start now.
        wake.notify_all();
        if (front)
            SetEvent(finishedEvent);
    }
    if (leave)
        leave(worker);
    // Last: the thread's buffers go before the thread does.
    EndThreadScratch();
}
