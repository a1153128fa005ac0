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
#include <string>

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

bool ReadAll(HANDLE pipe, void* data, size_t bytes) {
    auto* at = static_cast<char*>(data);
    while (bytes > 0) {
        DWORD read = 0;
        if (!ReadFile(pipe, at, static_cast<DWORD>(std::min<size_t>(bytes, 1u << 20)), &read, nullptr) || read == 0)
            return false;
        at += read;
        bytes -= read;
    }
    return true;
}

bool WriteAll(HANDLE pipe, const void* data, size_t bytes) {
    const auto* at = static_cast<const char*>(data);
    while (bytes > 0) {
        DWORD written = 0;
        if (!WriteFile(pipe, at, static_cast<DWORD>(std::min<size_t>(bytes, 1u << 20)), &written, nullptr) ||
            written == 0)
            return false;
        at += written;
        bytes -= written;
    }
    return true;
}

// Answers requests until the program closes the pipe.
int Serve(HANDLE pipe) {
    std::wstring path, text;
    for (;;) {
        FilterHostRequest request;
        if (!ReadAll(pipe, &request, sizeof request))
            return 0;  // the program is done with this host
        if (request.magic != kFilterRequestMagic || request.pathUnits == 0 ||
            request.pathUnits > kFilterHostMaxPathUnits)
            return 1;
        path.assign(request.pathUnits, L'\0');
        if (!ReadAll(pipe, path.data(), path.size() * sizeof(wchar_t)))
            return 1;
        FilterRead outcome = FilterRead::kFailed;
        try {
            outcome = ReadFilterText(path.c_str(), &text);
        } catch (...) {
            text.clear();  // a filter that throws fails its file
        }
        FilterHostReply reply;
        reply.outcome = static_cast<uint32_t>(outcome);
        reply.units = outcome == FilterRead::kText ? text.size() : 0;
        if (!WriteAll(pipe, &reply, sizeof reply) || !WriteAll(pipe, text.data(), reply.units * sizeof(wchar_t)))
            return 0;
        // A large text is not kept for the next, small file.
        if (text.capacity() > (16u << 20))
            std::wstring().swap(text);
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

    HANDLE pipe = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return 2;
    // Filters expect a single-threaded apartment.
    InitializeComApartment();
    const int code = Serve(pipe);
    CloseHandle(pipe);
    // Filters that keep threads or objects alive do not hold the host back.
    EndNow(static_cast<UINT>(code));
}
