// mirlock-test-fake-host.exe: stands in for the filter host where a test
// needs a host that misbehaves on the pipe. Started like the host (PIPE
// PARENT); what it does comes from MIRLOCK_FAKE_HOST:
//   huge     announces a text of 2^31 units
//   over     announces a text of 300,000,000 units (600 MB)
//   trickle  announces 100,000 units and sends them two bytes a millisecond
//   garbage  answers with a head that is no reply
//   odd      answers "the filter failed" with text after it
// then waits to be ended.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

#include "converters/installed/FilterHostProtocol.h"

namespace {

bool WriteAll(HANDLE pipe, const void* data, DWORD bytes) {
    DWORD written = 0;
    return WriteFile(pipe, data, bytes, &written, nullptr) && written == bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return 2;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && pipe == INVALID_HANDLE_VALUE; ++attempt) {
        pipe = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE)
            WaitNamedPipeW(argv[1], 100);
    }
    if (pipe == INVALID_HANDLE_VALUE)
        return 2;
    wchar_t mode[32] = L"";
    GetEnvironmentVariableW(L"MIRLOCK_FAKE_HOST", mode, 32);
    char request[sizeof(FilterHostRequest) + 2 * kFilterHostMaxPathUnits];
    DWORD got = 0;
    if (!ReadFile(pipe, request, sizeof request, &got, nullptr) || got < sizeof(FilterHostRequest))
        return 2;
    FilterHostReply reply;
    if (wcscmp(mode, L"garbage") == 0)
        reply.magic = 0x20202020;
    if (wcscmp(mode, L"odd") == 0)
        reply.outcome = 2;
    reply.units = wcscmp(mode, L"huge") == 0 ? (1ull << 31) : wcscmp(mode, L"over") == 0 ? 300000000ull
                  : wcscmp(mode, L"garbage") == 0                                        ? 0ull
                  : wcscmp(mode, L"odd") == 0                                            ? 5ull
                                                                                         : 100000ull;
    if (!WriteAll(pipe, &reply, sizeof reply))
        return 2;
    if (wcscmp(mode, L"trickle") == 0) {
        const wchar_t unit = L'x';
        for (uint64_t i = 0; i < reply.units; ++i) {
            if (!WriteAll(pipe, &unit, sizeof unit))
                return 0;
            Sleep(1);
        }
    }
    Sleep(INFINITE);
    return 0;
}
