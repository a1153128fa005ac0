// What the process holds, counted by hand: Wine answers neither
// GetProcessHandleCount, PrivateUsage nor GetGuiResources (all 0).
#pragma once

#include <cstddef>

struct ProcessUsage {
    unsigned handles;     // kernel handles the system knows for this process
    unsigned gdiObjects;  // GDI objects alive in the process
    unsigned windows;     // windows of this thread, children included
    unsigned threads;     // threads of this process
    size_t heapBytes;     // busy blocks of every heap of the process
    size_t workingSet;
};

ProcessUsage MeasureProcessUsage();

// Processes alive now that were started by process `parent` from a program
// file named `name` ("mirlock-filterhost.exe").
unsigned CountChildProcesses(unsigned long parent, const wchar_t* name);
