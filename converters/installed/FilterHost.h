// The program's side of a filter host: a process of our own that runs the
// content filters, so that a filter that crashes, hangs or eats memory
// costs one file, never the search. One host serves one thread (each
// search worker has its own), started on first need and kept for the files
// that follow; after a fault the next file gets a fresh one.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/ScopedHandle.h"

class FilterHost {
public:
    enum class Outcome {
        kText,         // *block holds the text
        kNoFilter,     // no filter could be loaded for the file
        kFailed,       // the filter failed (no partial text)
        kCrashed,      // the host ended while it worked on the file
        kTimedOut,     // the file took longer than the time limit
        kOutOfMemory,  // the host's memory passed the limit
        kStopped,      // the search was stopped while the host worked
        kNoHost,       // no host could be started (see TakeFilterHostNotice)
        kTooLarge,     // the host announced a text larger than the limits allow
    };
    // The time is the calling thread's time outside its input pump.
    struct Limits {
        DWORD timeoutMs = 30000;
        ULONGLONG memoryBytes = 1ull << 30;
    };
    // Asked now and then while the host works: true stops the file.
    using StopCheck = std::function<bool()>;

    FilterHost() = default;
    ~FilterHost();  // ends the host
    FilterHost(const FilterHost&) = delete;
    FilterHost& operator=(const FilterHost&) = delete;

    // The text of `path` (a full path) through the host: a text block that
    // the caller owns in *block when the outcome is kText. A host that
    // faults is ended before this returns.
    Outcome Read(const wchar_t* path, const Limits& limits, const StopCheck& stop, HGLOBAL* block);

    // The running host's process id (0: none runs).
    DWORD ProcessId() const { return processId; }
    // Ends the host: asked to leave, ended if it does not.
    void End();

private:
    enum class Wait { kDone, kGone, kTimedOut, kOutOfMemory, kStopped, kTooLarge };
    bool Start(const Limits& limits, const StopCheck& stop);
    // Waits until the host connects to the pipe; a client that is not the
    // host is cut off and the pipe waits again, until the start time runs out.
    bool AwaitHost(const std::wstring& program, const Limits& limits, const StopCheck& stop);
    // Moves at least `minimum` and at most `capacity` bytes through the
    // pipe (*moved tells how many), watching the host while it waits.
    Wait Transfer(bool write, char* data, size_t capacity, size_t minimum, size_t* moved, ULONGLONG deadline,
                  const Limits& limits, const StopCheck& stop);
    static Outcome FaultOutcome(Wait wait);
    Wait WatchHost(ULONGLONG deadline, const Limits& limits, const StopCheck& stop) const;
    // Ends a host that faulted or must stop, and waits until it is gone.
    void Kill();

    ScopedKernelHandle process;
    ScopedKernelHandle job;
    ScopedKernelHandle pipe;
    ScopedKernelHandle event;
    DWORD processId = 0;
    std::vector<char> buffer;  // a request, and the first read of a reply
};

// Where the host program is: beside this program's file, unless a test set
// another path (an empty path restores that).
std::wstring FilterHostPath();
void SetFilterHostPath(const std::wstring& path);

// Once a host could not be started, hosts are not started again until the
// next search (BeginFilterHostSearch); the first failure's message is handed
// out once by TakeFilterHostNotice. Both may be called from any thread.
void BeginFilterHostSearch();
bool TakeFilterHostNotice(std::wstring* message);

// The thread that calls this, which runs the window, answers its input while
// it waits on a host (the user's Stop among it): `pump` is called there
// whenever input arrives. Other threads only let the system deliver what
// other programs send. An empty pump ends it.
// The time the pump takes (a modal loop that holds the thread: a menu, a
// window being moved, a dialog) does not count against a filter's time.
void SetFilterHostInputPump(std::function<void()> pump);

// Called with the name of each pipe made for a host, before the host is
// started (tests use it to stand in for another process on the machine).
void SetFilterHostPipeWatcher(std::function<void(const std::wstring& pipeName)> watcher);
