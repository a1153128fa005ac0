// The fuzzer's loop: seeds, mutations, coverage, findings.
//
//   mirlock-fuzz TARGET|all [--runs N] [--seconds S] [--seed N] [--findings DIR] [--check-guards]
//   mirlock-fuzz TARGET --replay FILE...
//   mirlock-fuzz --list
#include "tests/fuzz/FuzzEngine.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/fuzz/GuardHeap.h"

namespace {

constexpr size_t kMapSize = 1 << 16;
uint8_t hits[kMapSize];  // the points this run reached
uint8_t seen[kMapSize];  // every point reached so far
uint16_t touched[kMapSize];  // the points of `hits` set, in order
size_t touchedCount = 0;

const FuzzTarget* current = nullptr;
std::string currentInput;
std::wstring findingsFolder = L".";
volatile LONGLONG execStart = 0;  // QueryPerformanceCounter at the start of the run, 0 between runs
LONGLONG frequency = 1;

void SaveInput(const char* kind) {
    static int saved = 0;
    wchar_t path[MAX_PATH];
    swprintf(path, MAX_PATH, L"%ls\\mirlock-fuzz-%hs-%hs-%d.bin", findingsFolder.c_str(),
             current ? current->name : "none", kind, ++saved);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, currentInput.data(), static_cast<DWORD>(currentInput.size()), &written, nullptr);
        CloseHandle(file);
    }
    fprintf(stderr, "input saved as %ls (%zu bytes)\n", path, currentInput.size());
}

[[noreturn]] void Finish(const char* kind, const char* what) {
    fprintf(stderr, "FINDING in %s: %s\n", current ? current->name : "?", what);
    SaveInput(kind);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 2);
    for (;;) {
    }
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR: {
        char what[128];
        snprintf(what, sizeof what, "exception %08lX at %p (address %p)", code,
                 info->ExceptionRecord->ExceptionAddress,
                 code == EXCEPTION_ACCESS_VIOLATION ? reinterpret_cast<void*>(info->ExceptionRecord->ExceptionInformation[1])
                                                     : nullptr);
        Finish("crash", what);
    }
    default:
        return EXCEPTION_CONTINUE_SEARCH;
    }
}

DWORD WINAPI Watchdog(void*) {
    for (;;) {
        Sleep(1000);
        const LONGLONG start = execStart;
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (start && (now.QuadPart - start) / frequency > 20)
            Finish("hang", "one run took more than 20 seconds");
    }
}

// One run of the target; true when it reached a point never reached before.
bool RunOne(const std::string& input, size_t* newPoints) {
    currentInput = input;
    for (size_t i = 0; i < touchedCount; ++i)
        hits[touched[i]] = 0;
    touchedCount = 0;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    execStart = now.QuadPart;
    try {
        current->run(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    } catch (...) {
        // Converters may throw: the search counts that as a failed file.
    }
    execStart = 0;
    size_t fresh = 0;
    for (size_t i = 0; i < touchedCount; ++i) {
        if (!seen[touched[i]]) {
            seen[touched[i]] = 1;
            ++fresh;
        }
    }
    if (newPoints)
        *newPoints += fresh;
    return fresh > 0;
}

class Mutator {
public:
    explicit Mutator(uint32_t seed) : rng(seed) {}

    std::string Mutate(const std::vector<std::string>& corpus, const FuzzTarget& target) {
        std::string s = corpus[Pick(corpus.size())];
        const int steps = 1 + static_cast<int>(Pick(4));
        for (int i = 0; i < steps; ++i)
            Step(&s, corpus, target);
        if (s.size() > target.maxLength)
            s.resize(target.maxLength);
        return s;
    }

private:
    size_t Pick(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng) : 0; }

    void Step(std::string* s, const std::vector<std::string>& corpus, const FuzzTarget& target) {
        static const char kInteresting[] = {'\0', '\xFF', '<', '>', '/', '"', '\'', '\\', '{', '}', '&', ';',
                                            '#', '\x80', '\xC3', ' ', '\n', '0', '9', 'x', '=', '!', '?', '['};
        const size_t n = s->size();
        switch (Pick(9)) {
        case 0:
            if (n)
                (*s)[Pick(n)] ^= static_cast<char>(1u << Pick(8));
            break;
        case 1:
            if (n)
                (*s)[Pick(n)] = static_cast<char>(Pick(256));
            break;
        case 2:
            if (n)
                (*s)[Pick(n)] = kInteresting[Pick(sizeof kInteresting)];
            break;
        case 3: {  // delete a range
            if (!n)
                break;
            const size_t at = Pick(n);
            s->erase(at, 1 + Pick(std::min<size_t>(n - at, 32)));
            break;
        }
        case 4: {  // copy a range elsewhere (repeats nesting, lengthens)
            if (!n)
                break;
            const size_t at = Pick(n);
            const std::string piece = s->substr(at, 1 + Pick(std::min<size_t>(n - at, 64)));
            s->insert(Pick(n + 1), piece);
            break;
        }
        case 5:
        case 6:
            if (!target.dictionary.empty())
                s->insert(Pick(n + 1), target.dictionary[Pick(target.dictionary.size())]);
            break;
        case 7: {  // splice with another input
            const std::string& other = corpus[Pick(corpus.size())];
            if (other.empty())
                break;
            const size_t from = Pick(other.size());
            s->insert(Pick(n + 1), other.substr(from, 1 + Pick(std::min<size_t>(other.size() - from, 256))));
            break;
        }
        default: {  // a 16- or 32-bit number somewhere
            if (n < 4)
                break;
            const uint32_t values[] = {0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF, 0x10000, 0x10FFFF};
            const uint32_t v = values[Pick(10)];
            memcpy(&(*s)[Pick(n - 3)], &v, Pick(2) ? 4 : 2);
            break;
        }
        }
    }

    std::mt19937 rng;
};

size_t CountSeen() { return static_cast<size_t>(std::count(seen, seen + kMapSize, 1)); }

int Fuzz(const FuzzTarget& target, long long runs, double seconds, uint32_t seed) {
    current = &target;
    memset(seen, 0, sizeof seen);
    std::vector<std::string> corpus = target.seeds();
    if (corpus.empty())
        corpus.push_back(std::string());
    long long executions = 0;
    for (const std::string& seed : corpus) {
        RunOne(seed, nullptr);
        ++executions;
    }
    const size_t seedPoints = CountSeen();
    Mutator mutator(seed);
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    for (long long i = 0; (runs < 0 || i < runs) && (seconds <= 0 || elapsed() < seconds); ++i) {
        std::string input = mutator.Mutate(corpus, target);
        if (RunOne(input, nullptr))
            corpus.push_back(std::move(input));
        ++executions;
    }
    const double time = elapsed();
    printf("%-8s %10lld runs %8.0f/s  corpus %6zu  points %5zu (seeds %5zu)  findings 0\n", target.name, executions,
           time > 0 ? static_cast<double>(executions - static_cast<long long>(target.seeds().size())) / time : 0.0,
           corpus.size(), CountSeen(), seedPoints);
    fflush(stdout);
    return 0;
}

}  // namespace

// Coverage: the code under test calls this at every basic block.
extern "C" void __sanitizer_cov_trace_pc() {
    const auto pc = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    const size_t point = (pc ^ (pc >> 16)) & (kMapSize - 1);
    if (!hits[point]) {
        hits[point] = 1;
        touched[touchedCount++] = static_cast<uint16_t>(point);
    }
}

void ReportFinding(const char* what) { Finish("differs", what); }

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty())
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    return bytes;
}


const std::wstring& FuzzScratchFolder() {
    static const std::wstring folder = [] {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        std::wstring path = std::wstring(temp) + L"mirlock-fuzz-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }();
    return folder;
}

// A fault of each kind the guards must catch, made on purpose in a child
// process: the run is worth nothing if they pass unseen.
[[noreturn]] void MakeFault(const std::wstring& kind) {
    static FuzzTarget faulty{"guards", nullptr, nullptr, {}, 0};
    current = &faulty;
    volatile char sink = 0;
    if (kind == L"overflow") {
        std::vector<char> block(13);
        sink = block.data()[13];  // one past the end
    } else if (kind == L"underflow") {
        std::string* block = new std::string(40, 'x');
        (&(*block)[0])[-20] = 1;  // before the start of the characters, seen when they are freed
        delete block;
    } else if (kind == L"use-after-free") {
        std::vector<int>* block = new std::vector<int>(4);
        int* items = block->data();
        delete block;
        sink = static_cast<char>(items[1]);
    }
    (void)sink;
    fprintf(stderr, "the %ls was not caught\n", kind.c_str());
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;) {
    }
}

bool GuardsCatchFaults() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    int caught = 0;
    const wchar_t* kinds[] = {L"overflow", L"underflow", L"use-after-free"};
    for (const wchar_t* kind : kinds) {
        std::wstring command = L"\"" + std::wstring(self) + L"\" --fault " + kind + L" --findings \"" +
                               FuzzScratchFolder() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            continue;
        WaitForSingleObject(process.hProcess, 60000);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        if (code == 2)
            ++caught;
        else
            fprintf(stderr, "guards: the %ls went unseen (exit code %lu)\n", kind, code);
    }
    printf("guards: %d of 3 deliberate faults caught\n", caught);
    return caught == 3;
}

int wmain(int argc, wchar_t** argv) {
    SetGuardFailureHandler([](const char* what) { Finish("heap", what); });
    ULONG guarantee = 64 * 1024;
    SetThreadStackGuarantee(&guarantee);
    AddVectoredExceptionHandler(1, OnException);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    frequency = f.QuadPart;
    CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

    if (argc >= 3 && wcscmp(argv[1], L"--fault") == 0) {
        if (argc >= 5 && wcscmp(argv[3], L"--findings") == 0)
            findingsFolder = argv[4];
        MakeFault(argv[2]);
    }
    if (argc < 2 || wcscmp(argv[1], L"--list") == 0) {
        for (const FuzzTarget& t : FuzzTargets())
            printf("%s\n", t.name);
        return argc < 2 ? 1 : 0;
    }
    long long runs = -1;
    double seconds = 0;
    uint32_t seed = 1;
    std::vector<std::wstring> replay;
    bool checkGuards = false;
    for (int i = 2; i < argc; ++i) {
        if (wcscmp(argv[i], L"--runs") == 0 && i + 1 < argc)
            runs = _wtoi64(argv[++i]);
        else if (wcscmp(argv[i], L"--seconds") == 0 && i + 1 < argc)
            seconds = _wtof(argv[++i]);
        else if (wcscmp(argv[i], L"--seed") == 0 && i + 1 < argc)
            seed = static_cast<uint32_t>(_wtoi(argv[++i]));
        else if (wcscmp(argv[i], L"--findings") == 0 && i + 1 < argc)
            findingsFolder = argv[++i];
        else if (wcscmp(argv[i], L"--check-guards") == 0)
            checkGuards = true;
        else if (wcscmp(argv[i], L"--replay") == 0)
            for (++i; i < argc; ++i)
                replay.push_back(argv[i]);
    }
    if (runs < 0 && seconds <= 0)
        runs = 1000;
    const std::string name(argv[1], argv[1] + wcslen(argv[1]));
    int found = 0;
    for (const FuzzTarget& target : FuzzTargets()) {
        if (name != "all" && name != target.name)
            continue;
        ++found;
        if (!replay.empty()) {
            current = &target;
            for (const std::wstring& path : replay)
                RunOne(ReadFileBytes(path), nullptr);
            printf("%s: %zu inputs replayed, no finding\n", target.name, replay.size());
            continue;
        }
        Fuzz(target, runs, seconds, seed);
    }
    if (!found) {
        fprintf(stderr, "mirlock-fuzz: no target %s (--list names them)\n", name.c_str());
        return 1;
    }
    const int status = checkGuards && !GuardsCatchFaults() ? 1 : 0;
    // The scratch files go with the run (a finding keeps them for a look).
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((FuzzScratchFolder() + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((FuzzScratchFolder() + L"\\" + entry.cFileName).c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(FuzzScratchFolder().c_str());
    return status;
}
