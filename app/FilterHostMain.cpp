// mirlock-filterhost.exe: runs content filters for the program that started
// it, one file per request, so that a filter that crashes or hangs takes
// only this process down. Whatever goes wrong in a filter ends the process
// at once and quietly: no error box, no debugger, nothing for the user to
// dismiss; the program sees the pipe break and fails the file.
#include <windows.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cwchar>
#include <exception>
#include <cstring>
#include <string>
#include <vector>

#include "converters/installed/FilterHostProtocol.h"
#include "converters/installed/FilterLoader.h"
#include "converters/installed/FilterText.h"

namespace {

constexpr UINT kFaultExit = 0xE0F17E00;  // the host ended itself after a fault

[[noreturn]] void EndNow(UINT code) {
    TerminateProcess(GetCurrentProcess(), code);
    for (;;)
        Sleep(INFINITE);
}

LONG WINAPI EndOnException(EXCEPTION_POINTERS*) { EndNow(kFaultExit | 1); }

// A stack that overflowed has no room left for the search of handlers:
// end at the first sight of it.
LONG WINAPI EndOnStackOverflow(EXCEPTION_POINTERS* exception) {
    if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW)
        EndNow(kFaultExit | 4);
    return EXCEPTION_CONTINUE_SEARCH;
}
void EndOnSignal(int) { EndNow(kFaultExit | 2); }
void EndOnTerminate() { EndNow(kFaultExit | 3); }

// The program that started the host ended: so does the host, even in the
// middle of a filter that never returns.
DWORD WINAPI WatchParent(void* parent) {
    WaitForSingleObject(static_cast<HANDLE>(parent), INFINITE);
    EndNow(0);
}

// The pipe of the program that started this host. While another process
// holds it the program cuts that one off and waits again, so a busy pipe is
// tried again; a pipe served by any process but the parent is left alone.
HANDLE OpenProgramPipe(const wchar_t* name, DWORD parentId) {
    const ULONGLONG until = GetTickCount64() + 15000;
    for (;;) {
        HANDLE pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            ULONG server = 0;
            if (GetNamedPipeServerProcessId(pipe, &server) && server == parentId)
                return pipe;
            CloseHandle(pipe);
            return INVALID_HANDLE_VALUE;
        }
        if (GetLastError() != ERROR_PIPE_BUSY || GetTickCount64() >= until)
            return INVALID_HANDLE_VALUE;
        WaitNamedPipeW(name, 500);
    }
}

// Reads at least `minimum` and at most `capacity` bytes; how many in *got.
bool ReadAtLeast(HANDLE pipe, char* data, size_t capacity, size_t minimum, size_t* got) {
    *got = 0;
    while (*got < minimum) {
        DWORD read = 0;
        if (!ReadFile(pipe, data + *got, static_cast<DWORD>(std::min<size_t>(capacity - *got, 1u << 20)), &read,
                      nullptr) ||
            read == 0)
            return false;
        *got += read;
    }
    return true;
}

bool WriteAll(HANDLE pipe, const char* data, size_t bytes) {
    while (bytes > 0) {
        DWORD written = 0;
        if (!WriteFile(pipe, data, static_cast<DWORD>(std::min<size_t>(bytes, 1u << 20)), &written, nullptr) ||
            written == 0)
            return false;
        data += written;
        bytes -= written;
    }
    return true;
}

// Answers requests until the program closes the pipe. A request comes in
// one read and its reply leaves in one write where the pipe allows it.
int Serve(HANDLE pipe) {
    constexpr size_t kMaxRequest = sizeof(FilterHostRequest) + kFilterHostMaxPathUnits * sizeof(wchar_t);
    std::vector<char> in(kMaxRequest), out;
    std::wstring path, text;
    for (;;) {
        size_t got = 0;
        if (!ReadAtLeast(pipe, in.data(), in.size(), sizeof(FilterHostRequest), &got))
            return 0;  // the program is done with this host
        FilterHostRequest request;
        memcpy(&request, in.data(), sizeof request);
        if (request.magic != kFilterRequestMagic || request.pathUnits == 0 ||
            request.pathUnits > kFilterHostMaxPathUnits)
            return 1;
        const size_t requestBytes = sizeof request + request.pathUnits * sizeof(wchar_t);
        size_t more = 0;
        if (got > requestBytes ||
            (got < requestBytes && !ReadAtLeast(pipe, in.data() + got, requestBytes - got, requestBytes - got, &more)))
            return 1;
        path.assign(reinterpret_cast<const wchar_t*>(in.data() + sizeof request), request.pathUnits);
        FilterRead outcome = FilterRead::kFailed;
        try {
            outcome = ReadFilterText(path.c_str(), &text);
        } catch (...) {
            text.clear();  // a filter that throws fails its file
        }
        FilterHostReply reply;
        reply.outcome = static_cast<uint32_t>(outcome);
        reply.units = outcome == FilterRead::kText ? text.size() : 0;
        const size_t textBytes = reply.units * sizeof(wchar_t);
        out.resize(sizeof reply + textBytes);
        memcpy(out.data(), &reply, sizeof reply);
        memcpy(out.data() + sizeof reply, text.data(), textBytes);
        if (!WriteAll(pipe, out.data(), out.size()))
            return 0;
        // A large text is not kept for the next, small file.
        if (out.capacity() > (16u << 20)) {
            std::vector<char>().swap(out);
            std::wstring().swap(text);
        }
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnException);
    AddVectoredExceptionHandler(1, EndOnStackOverflow);
    ULONG guarantee = 64 * 1024;  // room to end the process after a stack overflow
    SetThreadStackGuarantee(&guarantee);
    std::signal(SIGABRT, EndOnSignal);
    std::set_terminate(EndOnTerminate);
    if (argc != 3)
        return 2;

    const DWORD parentId = static_cast<DWORD>(wcstoul(argv[2], nullptr, 10));
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentId);
    if (!parent)
        return 2;
    HANDLE watcher = CreateThread(nullptr, 64 * 1024, WatchParent, parent, 0, nullptr);
    if (watcher)
        CloseHandle(watcher);

    HANDLE pipe = OpenProgramPipe(argv[1], parentId);
    if (pipe == INVALID_HANDLE_VALUE)
        return 2;
    // Filters expect a single-threaded apartment.
    const bool com = SUCCEEDED(InitializeComApartment());
    const int code = Serve(pipe);
    CloseHandle(pipe);
    // Every filter was released before its reply went out. The libraries
    // that made them are unloaded before the process ends, so that each
    // learns of its end the regular way; the program ends a host that
    // takes too long at it.
    if (com)
        UninitializeComApartment();
    // Filters that keep threads or objects alive do not hold the host back.
    EndNow(static_cast<UINT>(code));
}
