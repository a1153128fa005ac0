// A lock and a condition variable on the system's slim reader/writer lock.
//
// The C++ library's mutex and condition variable here are built on kernel
// events and semaphores, made when first needed: under Wine every wait and
// every wake-up on them is a call to the wine server, and the event that a
// lock makes the first time two threads meet on it is a handle that appears
// at some later search. These wait in the process and hold no handle.
#pragma once

#include <windows.h>

#include <mutex>

class SlimMutex {
public:
    SlimMutex() = default;
    SlimMutex(const SlimMutex&) = delete;
    SlimMutex& operator=(const SlimMutex&) = delete;

    void lock() { AcquireSRWLockExclusive(&srw); }
    void unlock() { ReleaseSRWLockExclusive(&srw); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&srw) != 0; }
    SRWLOCK* Native() { return &srw; }

private:
    SRWLOCK srw = SRWLOCK_INIT;
};

class SlimCondition {
public:
    SlimCondition() = default;
    SlimCondition(const SlimCondition&) = delete;
    SlimCondition& operator=(const SlimCondition&) = delete;

    // Waits until `ready()` holds; `guard` must hold its lock.
    template <class Ready>
    void wait(std::unique_lock<SlimMutex>& guard, Ready ready) {
        while (!ready())
            SleepConditionVariableSRW(&condition, guard.mutex()->Native(), INFINITE, 0);
    }
    void notify_one() { WakeConditionVariable(&condition); }
    void notify_all() { WakeAllConditionVariable(&condition); }

private:
    CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};
