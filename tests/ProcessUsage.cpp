// Handle values probed one by one, heaps walked, windows enumerated.
#include "tests/ProcessUsage.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>

namespace {

unsigned CountHandles() {
    unsigned count = 0;
    for (uintptr_t value = 4; value < 4 * 2048; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

// A GDI handle is its table index with a generation in the high word; the
// index alone names the object, whatever its generation.
unsigned CountGdiObjects() {
    unsigned count = 0;
    for (uintptr_t index = 1; index < 16384; ++index) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)))
            ++count;
    }
    return count;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<unsigned*>(count);
    return TRUE;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    ++*reinterpret_cast<unsigned*>(count);
    EnumChildWindows(window, CountChild, count);
    return TRUE;
}

size_t HeapBytes() {
    HANDLE heaps[256];
    const DWORD n = GetProcessHeaps(256, heaps);
    size_t bytes = 0;
    for (DWORD i = 0; i < n && i < 256; ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                bytes += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return bytes;
}

unsigned CountThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    unsigned count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

}  // namespace

ProcessUsage MeasureProcessUsage() {
    // Handles last: the first calls into the window system open some.
    ProcessUsage usage{};
    usage.gdiObjects = CountGdiObjects();
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&usage.windows));
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    usage.workingSet = memory.WorkingSetSize;
    usage.heapBytes = HeapBytes();
    usage.threads = CountThreads();
    usage.handles = CountHandles();
    return usage;
}

unsigned CountChildProcesses(unsigned long parent, const wchar_t* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    unsigned count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, name) == 0)
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}
