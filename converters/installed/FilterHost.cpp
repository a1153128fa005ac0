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
std::atomic<unsigned> pipeSerial{0};

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

void RecordStartFailure(const std::wstring& program, DWORD error) {
    std::lock_guard<SlimMutex> guard(stateLock);
    if (!startFailed.exchange(true)) {
        std::wstring text;
        if (!FormatResourceText(&text, IDS_FILTER_HOST_MISSING, program.c_str(), SystemErrorText(error).c_str()))
            text = program + L": " + SystemErrorText(error);
        startFailure = text;
        noticeTaken = false;
    }
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
            inputPump();
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

FilterHost::~FilterHost() { End(); }

bool FilterHost::Start(const Limits& limits, const StopCheck& stop) {
    if (startFailed)
        return false;
    const std::wstring program = FilterHostPath();
    const std::wstring pipeName = L"\\\\.\\pipe\\mirlock-filterhost-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(++pipeSerial);
    // One instance, made here: no other process can stand in for the host.
    pipe.Reset(CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                64 * 1024, 64 * 1024, 0, nullptr));
    if (!pipe)
        return false;
    event.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return false;

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

    OVERLAPPED connect{};
    connect.hEvent = event.Get();
    if (!ConnectNamedPipe(pipe.Get(), &connect)) {
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            const HANDLE handles[] = {event.Get(), process.Get()};
            const ULONGLONG until = GetTickCount64() + std::max(kStartMs, limits.timeoutMs);
            DWORD r = WAIT_TIMEOUT;
            bool stopped = false;
            while (r == WAIT_TIMEOUT && GetTickCount64() < until && !(stopped = stop && stop()))
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
        } else if (error != ERROR_PIPE_CONNECTED) {
            Kill();
            return false;
        }
    }
    return true;
}

FilterHost::Outcome FilterHost::Read(const wchar_t* path, const Limits& limits, const StopCheck& stop,
                                     HGLOBAL* block) {
    *block = nullptr;
    const size_t pathUnits = wcslen(path);
    if (pathUnits == 0 || pathUnits > kFilterHostMaxPathUnits)
        return Outcome::kFailed;
    if (stop && stop())
        return Outcome::kStopped;
    if (!process && !Start(limits, stop)) {
        if (startFailed)
            return Outcome::kNoHost;
        return stop && stop() ? Outcome::kStopped : Outcome::kCrashed;
    }

    const ULONGLONG deadline = GetTickCount64() + limits.timeoutMs;
    // One write for the request and, for most files, one read for the whole
    // reply: under Wine every call on a pipe is a trip through its server.
    const size_t requestBytes = sizeof(FilterHostRequest) + pathUnits * sizeof(wchar_t);
    if (buffer.size() < std::max(requestBytes, kFirstReadBytes))
        buffer.resize(std::max(requestBytes, kFirstReadBytes));
    FilterHostRequest request;
    request.pathUnits = static_cast<uint32_t>(pathUnits);
    memcpy(buffer.data(), &request, sizeof request);
    memcpy(buffer.data() + sizeof request, path, pathUnits * sizeof(wchar_t));
    size_t moved = 0;
    Wait wait = Transfer(true, buffer.data(), requestBytes, requestBytes, &moved, deadline, limits, stop);
    if (wait == Wait::kDone)
        wait = Transfer(false, buffer.data(), kFirstReadBytes, sizeof(FilterHostReply), &moved, deadline, limits, stop);
    FilterHostReply reply;
    if (wait == Wait::kDone) {
        memcpy(&reply, buffer.data(), sizeof reply);
        // Anything but our host's reply (a text that does not fit this
        // process, more bytes than it announced) ends the host.
        if (reply.magic != kFilterReplyMagic || reply.outcome > 2 || reply.units >= (SIZE_MAX / sizeof(wchar_t)) - 1 ||
            moved - sizeof reply > reply.units * sizeof(wchar_t) || (reply.outcome != 0 && reply.units != 0))
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
    default: return Outcome::kCrashed;
    }
}

FilterHost::Wait FilterHost::Transfer(bool write, char* data, size_t capacity, size_t minimum, size_t* moved,
                                      ULONGLONG deadline, const Limits& limits, const StopCheck& stop) {
    *moved = 0;
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
    }
    return Wait::kDone;
}

FilterHost::Wait FilterHost::WatchHost(ULONGLONG deadline, const Limits& limits, const StopCheck& stop) const {
    if (stop && stop())
        return Wait::kStopped;
    if (HostMemory(process.Get()) > limits.memoryBytes)
        return Wait::kOutOfMemory;
    if (GetTickCount64() >= deadline)
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
