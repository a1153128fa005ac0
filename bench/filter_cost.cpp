// The cost of a file read through the filter host against the same file
// read in this process, with the test content filter:
//   mirlock-filter-cost [FILES] [RUNS]
// writes FILES small filtered files (default 2,000) into a temporary
// folder and reads them all RUNS times (default 5) three ways (and, for the exchange alone,
// asks the host for files it has no filter for): in this
// process as the converter did before the host (load the filter to accept
// the file, then load it again and read), in this process reading only, and
// through one host. Prints the best run of each in microseconds per file.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/TextBlock.h"
#include "converters/installed/FilterHost.h"
#include "converters/installed/FilterLoader.h"
#include "converters/installed/FilterText.h"
#include "tests/FilterRegistration.h"

namespace {

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <class Read>
double BestMicroseconds(const std::vector<std::wstring>& paths, int runs, Read read) {
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        const double start = Now();
        for (const auto& path : paths) {
            if (!read(path)) {
                fwprintf(stderr, L"mirlock-filter-cost: %ls was not read\n", path.c_str());
                return -1;
            }
        }
        best = std::min(best, Now() - start);
    }
    return best * 1e6 / static_cast<double>(paths.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int files = argc > 1 ? _wtoi(argv[1]) : 2000;
    const int runs = argc > 2 ? _wtoi(argv[2]) : 5;
    if (files <= 0 || runs <= 0 || !RegisterTestFilter()) {
        fputs("usage: mirlock-filter-cost [FILES] [RUNS] (the test filter must be beside it)\n", stderr);
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"mirlock-filter-cost-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<std::wstring> paths;
    for (int i = 0; i < files; ++i) {
        paths.push_back(folder + L"\\doc" + std::to_wstring(i) + L".mtfb");
        const std::string script = "TEXT EOP A short document, number " + std::to_string(i) +
                                   ", as office files often are.\nVALUE Its title\nTEXT EOP Its second paragraph.\n";
        HANDLE file = CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, script.data(), static_cast<DWORD>(script.size()), &written, nullptr);
        CloseHandle(file);
    }

    std::wstring text;
    const double before = BestMicroseconds(paths, runs, [&](const std::wstring& path) {
        IUnknown* filter = nullptr;
        if (FAILED(LoadFilterForFile(path.c_str(), &filter)) || !filter)
            return false;
        filter->Release();
        return ReadFilterText(path.c_str(), &text) == FilterRead::kText;
    });
    const double here = BestMicroseconds(paths, runs, [&](const std::wstring& path) {
        return ReadFilterText(path.c_str(), &text) == FilterRead::kText;
    });
    FilterHost host;
    const FilterHost::Limits limits;
    // The host's start is paid once per worker and search, not per file.
    HGLOBAL first = nullptr;
    host.Read(paths[0].c_str(), limits, nullptr, &first);
    GlobalFree(first);
    const double hosted = BestMicroseconds(paths, runs, [&](const std::wstring& path) {
        HGLOBAL block = nullptr;
        const bool ok = host.Read(path.c_str(), limits, nullptr, &block) == FilterHost::Outcome::kText;
        GlobalFree(block);
        return ok;
    });
    // The exchange alone: files for which the host finds no filter.
    std::vector<std::wstring> unfiltered;
    for (const auto& path : paths)
        unfiltered.push_back(path.substr(0, path.size() - 5) + L".zzq");
    const double exchange = BestMicroseconds(unfiltered, runs, [&](const std::wstring& path) {
        HGLOBAL block = nullptr;
        return host.Read(path.c_str(), limits, nullptr, &block) == FilterHost::Outcome::kNoFilter;
    });
    wprintf(L"files %d, best of %d runs, microseconds per file\n", files, runs);
    wprintf(L"a request and its reply alone (no filter found):     %8.1f\n", exchange);
    wprintf(L"in process, accepted then read (as before the host): %8.1f\n", before);
    wprintf(L"in process, read only:                               %8.1f\n", here);
    wprintf(L"through the host:                                    %8.1f\n", hosted);
    wprintf(L"host / before: %.2f   host / read only: %.2f\n", hosted / before, hosted / here);

    for (const auto& path : paths)
        DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
    return before < 0 || here < 0 || hosted < 0 ? 1 : 0;
}
