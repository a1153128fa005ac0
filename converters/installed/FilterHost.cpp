// Starting a filter host, the exchange of one file with it, and the watch
// kept on it meanwhile: its exit, the time limit, its memory and the stop.
#include "converters/installed/FilterHost.h"

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "base/ResourceText.h"
#include "base/SlimLock.h"
#include "converters/installed/FilterHostProtocol.h"
#include "converters/installed/HostPipe.h"
#include "resource.h"

namespace {

// How often a waiting thread looks at the host's memory and the stop.
constexpr DWORD kWatchSliceMs = 20;
// A host has this long (or the file's time limit, if longer) to connect.
constexpr DWORD kStartMs = 15000;
// A host asked to leave has this long before it is ended.
constexpr DWORD kLeaveMs = 2000;
// Pieces in which a reply is read (a pipe moves large texts in pieces anyway).
constexpr size_t kPieceBytes = 1u << 20;
// The first read of a reply: its head and the text of most files.
constexpr size_t kFirstReadBytes = 64u << 10;

// Process-wide state of the hosts; guarded by `stateLock`.
SlimMutex stateLock;
std::wstring hostPath;      // set by tests; empty: beside this program
std::wstring startFailure;  // the first failure to start a host, this search
bool noticeTaken = false;   // that failure was handed out
std::atomic<bool> startFailed{false};
// The window's thread and what answers its input there; the pump is only
// touched by that thread.
std::atomic<DWORD> pumpThread{0};
std::function<void()> inputPump;
// How long this thread's pump has run so far: a modal loop inside it (a menu,
// a window being moved, a dialog) holds the thread, and that time is not the
// filter's.
thread_local ULONGLONG pumpedMs = 0;
std::function<void(const std::wstring&)> pipeWatcher;  // guarded by stateLock

// The clock that limits hosts: this thread's time outside the input pump.
ULONGLONG WorkClock() { return GetTickCount64() - pumpedMs; }

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

void RecordStartFailure(const std::wstring& program, const std::wstring& why) {
    std::lock_guard<SlimMutex> guard(stateLock);
    if (!startFailed.exchange(true)) {
        std::wstring text;
        if (!FormatResourceText(&text, IDS_FILTER_HOST_MISSING, program.c_str(), why.c_str()))
            text = program + L": " + why;
        startFailure = text;
        noticeTaken = false;
    }
}

void RecordStartFailure(const std::wstring& program, DWORD error) {
    RecordStartFailure(program, SystemErrorText(error));
}

// A job that ends the host with this program and holds it to the memory
// limit where the system enforces one. Best effort: where jobs are not
// available the watch and the host's own look at its parent do the same.
HANDLE MakeJob(ULONGLONG memoryBytes) {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                                              JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION |
                                              JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limits.ProcessMemoryLimit = static_cast<SIZE_T>(memoryBytes);
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    return job;
}

// The memory the host has committed or holds, whichever is more.
ULONGLONG HostMemory(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        return 0;
    return std::max<ULONGLONG>(counters.PrivateUsage, counters.WorkingSetSize);
}

// Waits for `count` handles or the time. Meanwhile the window's thread
// answers its input, and any thread with windows lets the system deliver
// messages that other programs send.
DWORD WaitAnswering(DWORD count, const HANDLE* handles, DWORD ms) {
    const bool pumps = pumpThread.load() == GetCurrentThreadId() && inputPump;
    if (!pumps && !IsGUIThread(FALSE))
        return WaitForMultipleObjects(count, handles, FALSE, ms);
    const DWORD r = MsgWaitForMultipleObjectsEx(count, handles, ms, pumps ? QS_ALLINPUT : QS_SENDMESSAGE,
                                                pumps ? MWMO_INPUTAVAILABLE : 0);
    if (r == WAIT_OBJECT_0 + count) {
        if (pumps) {
            const ULONGLONG entered = GetTickCount64();
            inputPump();
            pumpedMs += GetTickCount64() - entered;
        } else {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        return WAIT_TIMEOUT;  // look again
    }
    return r;
}

}  // namespace

std::wstring FilterHostPath() {
    {
        std::lock_guard<SlimMutex> guard(stateLock);
        if (!hostPath.empty())
            return hostPath;
    }
    return ProgramFolder() + kFilterHostProgram;
}

void SetFilterHostPath(const std::wstring& path) {
    std::lock_guard<SlimMutex> guard(stateLock);
    hostPath = path;
}

void BeginFilterHostSearch() {
    std::lock_guard<SlimMutex> guard(stateLock);
    startFailed = false;
    startFailure.clear();
    noticeTaken = false;
}

bool TakeFilterHostNotice(std::wstring* message) {
    if (!startFailed)
        return false;
    std::lock_guard<SlimMutex> guard(stateLock);
    if (noticeTaken || startFailure.empty())
        return false;
    noticeTaken = true;
    *message = startFailure;
    return true;
}

void SetFilterHostInputPump(std::function<void()> pump) {
    inputPump = std::move(pump);
    pumpThread = inputPump ? GetCurrentThreadId() : 0;
}

void SetFilterHostPipeWatcher(std::function<void(const std::wstring&)> watcher) {
    std::lock_guard<SlimMutex> guard(stateLock);
    pipeWatcher = std::move(watcher);
}

FilterHost::~FilterHost() { End(); }

bool FilterHost::Start(const Limits& limits, const StopCheck& stop) {
    if (startFailed)
        return false;
    const std::wstring program = FilterHostPath();
    // A name nobody can guess and a pipe that only this user may open: the
    // paths sent to filters are the user's own business.
    const std::wstring pipeName = RandomHostPipeName();
    OwnerOnlySecurity security;
    if (pipeName.empty() || !security.Valid()) {
        RecordStartFailure(program, GetLastError() ? GetLastError() : ERROR_ACCESS_DENIED);
        return false;
    }
    pipe.Reset(CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                64 * 1024, 64 * 1024, 0, security.Attributes()));
    if (!pipe)
        return false;
    event.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return false;
    {
        std::function<void(const std::wstring&)> watcher;
        {
            std::lock_guard<SlimMutex> guard(stateLock);
            watcher = pipeWatcher;
        }
        if (watcher)
            watcher(pipeName);
    }

    std::wstring commandLine = L"\"" + program + L"\" " + pipeName + L" " + std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // A program that is not there fails at once; any other failure may pass
    // (Wine now and then fails a start under load): tried twice more.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                           CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
            error = ERROR_SUCCESS;
            break;
        }
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_ACCESS_DENIED ||
            error == ERROR_BAD_EXE_FORMAT)
            break;
        Sleep(50);
    }
    if (error != ERROR_SUCCESS) {
        RecordStartFailure(program, error);
        pipe.Reset();
        return false;
    }
    process.Reset(info.hProcess);
    processId = info.dwProcessId;
    job.Reset(MakeJob(limits.memoryBytes));
    if (job && !AssignProcessToJobObject(job.Get(), process.Get()))
        job.Reset();
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    return AwaitHost(program, limits, stop);
}

bool FilterHost::AwaitHost(const std::wstring& program, const Limits& limits, const StopCheck& stop) {
    const ULONGLONG until = WorkClock() + std::max(kStartMs, limits.timeoutMs);
    for (;;) {
        OVERLAPPED connect{};
        connect.hEvent = event.Get();
        DWORD error = ConnectNamedPipe(pipe.Get(), &connect) ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_IO_PENDING) {
            const HANDLE handles[] = {event.Get(), process.Get()};
            DWORD r = WAIT_TIMEOUT;
            bool stopped = false;
            while (r == WAIT_TIMEOUT && WorkClock() < until && !(stopped = stop && stop()))
                r = WaitAnswering(2, handles, kWatchSliceMs);
            DWORD ignored = 0;
            if (r != WAIT_OBJECT_0 || !GetOverlappedResult(pipe.Get(), &connect, &ignored, FALSE)) {
                CancelIoEx(pipe.Get(), &connect);
                GetOverlappedResult(pipe.Get(), &connect, &ignored, TRUE);
                Kill();
                if (!stopped)
                    RecordStartFailure(program, r == WAIT_TIMEOUT ? ERROR_TIMEOUT : ERROR_PROCESS_ABORTED);
                return false;
            }
        } else if (error != ERROR_SUCCESS && error != ERROR_PIPE_CONNECTED) {
            Kill();
            RecordStartFailure(program, error);
            return false;
        }
        if (PipeClientIs(pipe.Get(), processId))
            return true;
        // Some other process came first: it is cut off before anything is
        // sent, and the pipe waits again for the host.
        DisconnectNamedPipe(pipe.Get());
        if (WorkClock() >= until || (stop && stop())) {
            const bool stopped = stop && stop();
            Kill();
            if (!stopped)
                RecordStartFailure(program, L"Another process connected to its pipe.");
            return false;
        }
    }
}

FilterHost::Outcome FilterHost::Read(const wchar_t* path, const Limits& limits, const StopCheck& stop,
                                     HGLOBAL* block) {
    *block = nullptr;
    const size_t pathUnits = wcslen(path);
    if (pathUnits == 0 || pathUnits > kFilterHostMaxPathUnits)
        return Outcome::kFailed;
    if (stop && stop())
        return Outcome::kStopped;

    // One write for the request and, for most files, one read for the whole
    // reply: under Wine every call on a pipe is a trip through its server.
    const size_t requestBytes = sizeof(FilterHostRequest) + pathUnits * sizeof(wchar_t);
    if (buffer.size() < std::max(requestBytes, kFirstReadBytes))
        buffer.resize(std::max(requestBytes, kFirstReadBytes));
    FilterHostRequest request;
    request.pathUnits = static_cast<uint32_t>(pathUnits);
    memcpy(buffer.data(), &request, sizeof request);
    memcpy(buffer.data() + sizeof request, path, pathUnits * sizeof(wchar_t));

    ULONGLONG deadline = 0;
    size_t moved = 0;
    Wait wait = Wait::kDone;
    // A host that ended while it waited for this file (killed, or ended by
    // the system) did not fail it: the file goes to a fresh host, once.
    for (int attempt = 0;; ++attempt) {
        const bool idle = process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
        if (process && !idle)
            Kill();
        if (!process && !Start(limits, stop)) {
            if (startFailed)
                return Outcome::kNoHost;
            return stop && stop() ? Outcome::kStopped : Outcome::kCrashed;
        }
        deadline = WorkClock() + limits.timeoutMs;
        wait = Transfer(true, buffer.data(), requestBytes, requestBytes, &moved, deadline, limits, stop);
        if (wait == Wait::kGone && idle && attempt == 0) {
            Kill();
            continue;
        }
        break;
    }
    if (wait == Wait::kDone)
        wait = Transfer(false, buffer.data(), kFirstReadBytes, sizeof(FilterHostReply), &moved, deadline, limits, stop);
    FilterHostReply reply;
    if (wait == Wait::kDone) {
        memcpy(&reply, buffer.data(), sizeof reply);
        // Anything but our host's reply (a text that does not fit this
        // process, more bytes than it announced) ends the host.
        if (reply.magic != kFilterReplyMagic || reply.outcome > 2 || (reply.outcome != 0 && reply.units != 0))
            wait = Wait::kGone;
        // A text longer than a search can take, or than the memory limit
        // allows, is refused before anything is allocated for it.
        else if (reply.units > kFilterReplyMaxUnits || reply.units * sizeof(wchar_t) > limits.memoryBytes)
            wait = Wait::kTooLarge;
        else if (moved - sizeof reply > reply.units * sizeof(wchar_t))
            wait = Wait::kGone;
    }
    if (wait != Wait::kDone) {
        Kill();
        return FaultOutcome(wait);
    }
    if (reply.outcome == 1)
        return Outcome::kNoFilter;
    if (reply.outcome == 2)
        return Outcome::kFailed;

    // The text into the block the search reads, its NUL after it: what came
    // with the reply's head, then the rest straight from the pipe.
    const size_t textBytes = static_cast<size_t>(reply.units) * sizeof(wchar_t);
    ScopedGlobal text(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, textBytes + sizeof(wchar_t)));
    if (!text) {
        Kill();  // the rest of the reply would stand in the pipe
        return Outcome::kFailed;
    }
    {
        GlobalLockGuard<char> units(text.Get());
        const size_t arrived = moved - sizeof reply;
        if (units.Get()) {
            memcpy(units.Get(), buffer.data() + sizeof reply, arrived);
            if (arrived < textBytes)
                wait = Transfer(false, units.Get() + arrived, textBytes - arrived, textBytes - arrived, &moved,
                                deadline, limits, stop);
        } else {
            wait = Wait::kGone;
        }
    }
    if (wait != Wait::kDone) {
        Kill();
        return FaultOutcome(wait);
    }
    *block = text.Detach();
    return Outcome::kText;
}

FilterHost::Outcome FilterHost::FaultOutcome(Wait wait) {
    switch (wait) {
    case Wait::kTimedOut: return Outcome::kTimedOut;
    case Wait::kOutOfMemory: return Outcome::kOutOfMemory;
    case Wait::kStopped: return Outcome::kStopped;
    case Wait::kTooLarge: return Outcome::kTooLarge;
    default: return Outcome::kCrashed;
    }
}

FilterHost::Wait FilterHost::Transfer(bool write, char* data, size_t capacity, size_t minimum, size_t* moved,
                                      ULONGLONG deadline, const Limits& limits, const StopCheck& stop) {
    *moved = 0;
    ULONGLONG watched = WorkClock();
    while (*moved < minimum) {
        // The call resets the event when it begins.
        OVERLAPPED io{};
        io.hEvent = event.Get();
        const DWORD piece = static_cast<DWORD>(std::min(capacity - *moved, kPieceBytes));
        const BOOL done = write ? WriteFile(pipe.Get(), data + *moved, piece, nullptr, &io)
                                : ReadFile(pipe.Get(), data + *moved, piece, nullptr, &io);
        if (!done && GetLastError() != ERROR_IO_PENDING)
            return Wait::kGone;
        Wait state = Wait::kDone;
        if (!done) {
            for (;;) {
                const HANDLE handles[] = {event.Get(), process.Get()};
                const DWORD r = WaitAnswering(2, handles, kWatchSliceMs);
                if (r == WAIT_OBJECT_0)
                    break;
                state = r == WAIT_OBJECT_0 + 1 ? Wait::kGone : WatchHost(deadline, limits, stop);
                watched = WorkClock();
                if (state != Wait::kDone)
                    break;
            }
        }
        DWORD count = 0;
        if (state != Wait::kDone) {
            // The buffer must not be written to after this returns.
            CancelIoEx(pipe.Get(), &io);
            GetOverlappedResult(pipe.Get(), &io, &count, TRUE);
            return state;
        }
        if (!GetOverlappedResult(pipe.Get(), &io, &count, FALSE) || count == 0)
            return Wait::kGone;
        *moved += count;
        // A host that sends a few bytes at a time never leaves the wait
        // above for long: it is watched as often all the same.
        if (*moved < minimum && WorkClock() - watched >= kWatchSliceMs) {
            state = WatchHost(deadline, limits, stop);
            watched = WorkClock();
            if (state != Wait::kDone)
                return state;
        }
    }
    return Wait::kDone;
}

FilterHost::Wait FilterHost::WatchHost(ULONGLONG deadline, const Limits& limits, const StopCheck& stop) const {
    if (stop && stop())
        return Wait::kStopped;
    if (HostMemory(process.Get()) > limits.memoryBytes)
        return Wait::kOutOfMemory;
    if (WorkClock() >= deadline)
        return Wait::kTimedOut;
    return Wait::kDone;
}

void FilterHost::Kill() {
    if (process) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), INFINITE);
    }
    process.Reset();
    job.Reset();
    pipe.Reset();
    processId = 0;
}

void FilterHost::End() {
    if (!process)
        return;
    // A host whose pipe closes has nothing more to do and leaves.
    pipe.Reset();
    if (WaitForSingleObject(process.Get(), kLeaveMs) != WAIT_OBJECT_0)
        TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), INFINITE);
    process.Reset();
    job.Reset();
    processId = 0;
}
