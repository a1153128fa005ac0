// The filter host: faults of a filter cost its file and its host, never this
// process; the time limit, the memory limit and the stop end a busy host;
// a host that cannot start is reported once; no host outlives its use.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/ScopedHandle.h"
#include "base/TextBlock.h"
#include "converters/installed/FilterHost.h"
#include "converters/installed/HostPipe.h"
#include "tests/FilterRegistration.h"
#include "tests/ProcessUsage.h"
#include "tests/TestFiles.h"

namespace {

class FilterHostTest : public testing::Test {
protected:
    static void SetUpTestSuite() { registered = RegisterTestFilter(); }
    void SetUp() override { ASSERT_TRUE(registered); }

    std::wstring File(const std::string& script) {
        const std::wstring name = L"f" + std::to_wstring(++serial) + L".mtfb";
        files.WriteFile(name, script);
        return files / name;
    }

    // Reads `script` through `host`; `text` gets the text when there is one.
    FilterHost::Outcome Read(FilterHost& host, const std::string& script, std::wstring* text = nullptr,
                             const FilterHost::Limits& limits = FilterHost::Limits(),
                             const FilterHost::StopCheck& stop = nullptr) {
        HGLOBAL block = nullptr;
        const FilterHost::Outcome outcome = host.Read(File(script).c_str(), limits, stop, &block);
        ScopedTextBlock owned(block);
        GlobalLockGuard<wchar_t> units(block);
        if (text)
            *text = units.Get() ? units.Get() : L"";
        return outcome;
    }

    static unsigned Hosts() { return CountChildProcesses(GetCurrentProcessId(), L"mirlock-filterhost.exe"); }
    static std::wstring BesideTests(const wchar_t* name) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::wstring path = self;
        return path.substr(0, path.find_last_of(L'\\') + 1) + name;
    }

    static inline bool registered = false;
    TempDir files;
    int serial = 0;
};

using Outcome = FilterHost::Outcome;

}  // namespace

TEST_F(FilterHostTest, EachFaultCostsItsFileAndItsHostOnly) {
    const unsigned before = Hosts();
    FilterHost host;
    std::wstring text;
    ASSERT_EQ(Read(host, "TEXT EOW first\n", &text), Outcome::kText);
    EXPECT_EQ(text, L" first");
    const DWORD firstHost = host.ProcessId();
    ASSERT_NE(firstHost, 0u);
    EXPECT_EQ(Read(host, "TEXT EOW second\n", &text), Outcome::kText);
    EXPECT_EQ(host.ProcessId(), firstHost) << "one host serves the files that follow";
    EXPECT_EQ(Hosts(), before + 1);
    // In a job that ends it with this program and holds its memory where
    // the system enforces that.
    ScopedKernelHandle running(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, firstHost));
    BOOL inJob = FALSE;
    ASSERT_TRUE(running);
    ASSERT_TRUE(IsProcessInJob(running.Get(), nullptr, &inJob)) << GetLastError();
    EXPECT_TRUE(inJob);

    // Two faults in a row among them, each followed by a file that reads.
    for (const char* fault : {"FAULT ACCESS\n", "FAULT RECURSE\n", "FAULT RECURSE\n", "FAULT ABORT\n",
                              "FAULT TERMINATE\n", "TEXT EOW partial\nCRASH\n"}) {
        const DWORD faulted = host.ProcessId();
        EXPECT_EQ(Read(host, fault, &text), Outcome::kCrashed) << fault;
        EXPECT_EQ(host.ProcessId(), 0u) << fault;
        EXPECT_EQ(Hosts(), before) << fault << ": the host that faulted is gone";
        ScopedKernelHandle old(OpenProcess(SYNCHRONIZE, FALSE, faulted));
        EXPECT_TRUE(!old || WaitForSingleObject(old.Get(), 0) == WAIT_OBJECT_0) << fault;
        EXPECT_EQ(Read(host, "TEXT EOW after\n", &text), Outcome::kText) << fault;
        EXPECT_EQ(text, L" after") << fault << ": a fresh host reads the next file";
    }
    // The filter's own failures and a thrown exception are the filter's
    // answer, not a fault: the host stays.
    const DWORD kept = host.ProcessId();
    EXPECT_EQ(Read(host, "TEXT NONE a\nTHROW\n"), Outcome::kFailed);
    EXPECT_EQ(Read(host, "FAILINIT\n"), Outcome::kFailed);
    EXPECT_EQ(host.ProcessId(), kept);
    host.End();
    EXPECT_EQ(Hosts(), before) << "a host that is ended leaves no process behind";

    // Asked to leave, a host lets its filters' library go, every filter
    // released, before it ends by itself.
    const std::wstring log = files / L"detach.log";
    SetEnvironmentVariableW(L"MIRLOCK_TEST_FILTER_DETACH_LOG", log.c_str());
    FilterHost leaving;
    EXPECT_EQ(Read(leaving, "TEXT EOW last\n", &text), Outcome::kText);
    ScopedKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, leaving.ProcessId()));
    ASSERT_TRUE(process);
    leaving.End();
    SetEnvironmentVariableW(L"MIRLOCK_TEST_FILTER_DETACH_LOG", nullptr);
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_EQ(WaitForSingleObject(process.Get(), 10000), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeProcess(process.Get(), &exitCode));
    EXPECT_EQ(exitCode, 0u) << "not ended from outside";
    EXPECT_EQ(ReadWholeFile(log), "detach live=0\n");
}

TEST_F(FilterHostTest, TheTimeTheMemoryAndTheStopEndABusyHost) {
    const unsigned before = Hosts();
    FilterHost host;
    FilterHost::Limits limits;
    limits.timeoutMs = 1000;
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(Read(host, "FAULT HANG\n", nullptr, limits), Outcome::kTimedOut);
    ULONGLONG took = GetTickCount64() - start;
    EXPECT_GE(took, 1000u);
    EXPECT_LT(took, 10000u);
    EXPECT_EQ(Hosts(), before);

    // A filter that allocates without end is ended when its host passes the
    // limit, long before the time limit.
    limits.timeoutMs = 60000;
    limits.memoryBytes = 256ull << 20;
    start = GetTickCount64();
    EXPECT_EQ(Read(host, "FAULT GROW\n", nullptr, limits), Outcome::kOutOfMemory);
    EXPECT_LT(GetTickCount64() - start, 30000u);
    EXPECT_EQ(Hosts(), before);

    // The stop ends a host that hangs at once.
    limits.memoryBytes = 1ull << 30;
    start = GetTickCount64();
    const auto stopAfter = [&] { return GetTickCount64() - start > 300; };
    EXPECT_EQ(Read(host, "FAULT HANG\n", nullptr, limits, stopAfter), Outcome::kStopped);
    took = GetTickCount64() - start;
    EXPECT_GE(took, 300u);
    EXPECT_LT(took, 5000u);
    EXPECT_EQ(Hosts(), before);

    std::wstring text;
    EXPECT_EQ(Read(host, "TEXT EOW fine\n", &text), Outcome::kText);
    EXPECT_EQ(text, L" fine");
    // A search that is stopped already starts no host.
    host.End();
    EXPECT_EQ(Read(host, "TEXT EOW fine\n", &text, limits, [] { return true; }), Outcome::kStopped);
    EXPECT_EQ(host.ProcessId(), 0u);
}

TEST_F(FilterHostTest, AHostThatCannotStartIsReportedOncePerSearch) {
    BeginFilterHostSearch();
    SetFilterHostPath(files / L"missing\\mirlock-filterhost.exe");
    FilterHost first, second;
    EXPECT_EQ(Read(first, "TEXT EOW a\n"), Outcome::kNoHost);
    EXPECT_EQ(Read(second, "TEXT EOW a\n"), Outcome::kNoHost);
    EXPECT_EQ(Read(first, "TEXT EOW a\n"), Outcome::kNoHost);
    std::wstring message;
    ASSERT_TRUE(TakeFilterHostNotice(&message));
    EXPECT_NE(message.find(files / L"missing\\mirlock-filterhost.exe"), std::wstring::npos) << message;
    EXPECT_FALSE(TakeFilterHostNotice(&message)) << "once, not per file";

    // A program that ends without connecting is no host either.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring other = self;
    other = other.substr(0, other.find_last_of(L'\\') + 1) + L"mirlock-cli.exe";
    BeginFilterHostSearch();
    SetFilterHostPath(other);
    FilterHost third;
    EXPECT_EQ(Read(third, "TEXT EOW a\n"), Outcome::kNoHost);
    ASSERT_TRUE(TakeFilterHostNotice(&message));
    EXPECT_NE(message.find(other), std::wstring::npos) << message;
    EXPECT_EQ(third.ProcessId(), 0u);

    // The next search tries again: the program may have been put back.
    SetFilterHostPath(L"");
    BeginFilterHostSearch();
    std::wstring text;
    EXPECT_EQ(Read(first, "TEXT EOW back\n", &text), Outcome::kText);
    EXPECT_EQ(text, L" back");
    EXPECT_FALSE(TakeFilterHostNotice(&message));
}

TEST_F(FilterHostTest, OnlyTheHostThatWasStartedIsServed) {
    // Another process of the machine that opens the pipe before the host:
    // here a client in this process, which is not the host either.
    std::vector<std::wstring> names;
    ScopedKernelHandle impostor;
    SetFilterHostPipeWatcher([&](const std::wstring& name) {
        names.push_back(name);
        if (!impostor)
            impostor.Reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    });
    FilterHost host;
    FilterHost::Limits limits;
    limits.timeoutMs = 5000;
    std::wstring text;
    EXPECT_EQ(Read(host, "TEXT EOW secret\n", &text, limits), Outcome::kText);
    EXPECT_EQ(text, L" secret") << "the real host still reads the file";
    ASSERT_TRUE(impostor) << "the pipe was there to be opened: " << GetLastError();
    char got[64];
    DWORD count = 0;
    EXPECT_FALSE(ReadFile(impostor.Get(), got, sizeof got, &count, nullptr)) << "the impostor was sent something";
    EXPECT_EQ(count, 0u);
    host.End();
    EXPECT_EQ(Read(host, "TEXT EOW again\n", &text), Outcome::kText);
    SetFilterHostPipeWatcher(nullptr);

    // Each pipe has a name of its own with 128 random bits.
    ASSERT_EQ(names.size(), 2u);
    EXPECT_NE(names[0], names[1]);
    for (const std::wstring& name : names) {
        const std::wstring prefix = L"\\\\.\\pipe\\mirlock-filterhost-";
        ASSERT_EQ(name.compare(0, prefix.size(), prefix), 0) << name;
        EXPECT_EQ(name.size() - prefix.size(), 32u) << name;
        EXPECT_EQ(name.find_first_not_of(L"0123456789abcdef", prefix.size()), std::wstring::npos) << name;
    }

    // The pipe's descriptor: one entry, this user, and a list of its own
    // (no entries from the system's defaults).
    OwnerOnlySecurity security;
    ASSERT_TRUE(security.Valid());
    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(const_cast<SECURITY_DESCRIPTOR*>(security.Descriptor()), &present, &dacl,
                                          &defaulted));
    ASSERT_TRUE(present && dacl);
    EXPECT_FALSE(defaulted);
    ASSERT_EQ(dacl->AceCount, 1u);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    char user[256];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &size));
    CloseHandle(token);
    EXPECT_TRUE(EqualSid(&ace->SidStart, reinterpret_cast<TOKEN_USER*>(user)->User.Sid));
}

TEST_F(FilterHostTest, AReplyTooLargeOrSentByTheByteIsEndedByTheWatch) {
    const std::wstring fake = BesideTests(L"mirlock-test-fake-host.exe");
    const auto fakes = [] { return CountChildProcesses(GetCurrentProcessId(), L"mirlock-test-fake-host.exe"); };
    SetFilterHostPath(fake);
    FilterHost host;
    FilterHost::Limits limits;
    limits.memoryBytes = 256ull << 20;
    limits.timeoutMs = 20000;
    // More units than a search takes, and more text than the memory limit:
    // refused at the reply's head, and the host ended.
    for (const wchar_t* mode : {L"huge", L"over"}) {
        SetEnvironmentVariableW(L"MIRLOCK_FAKE_HOST", mode);
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(Read(host, "TEXT EOW a\n", nullptr, limits), Outcome::kTooLarge) << mode;
        EXPECT_LT(GetTickCount64() - start, 10000u) << mode;
        EXPECT_EQ(host.ProcessId(), 0u) << mode;
        EXPECT_EQ(fakes(), 0u) << mode;
    }
    // A head that is no reply, or a failure with text after it, ends the
    // host like a crash.
    for (const wchar_t* mode : {L"garbage", L"odd"}) {
        SetEnvironmentVariableW(L"MIRLOCK_FAKE_HOST", mode);
        EXPECT_EQ(Read(host, "TEXT EOW a\n", nullptr, limits), Outcome::kCrashed) << mode;
        EXPECT_EQ(fakes(), 0u) << mode;
    }
    // A reply that arrives two bytes at a time meets the time limit and the
    // stop as a silent host does.
    SetEnvironmentVariableW(L"MIRLOCK_FAKE_HOST", L"trickle");
    limits.timeoutMs = 700;
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(Read(host, "TEXT EOW a\n", nullptr, limits), Outcome::kTimedOut);
    EXPECT_LT(GetTickCount64() - start, 10000u);
    limits.timeoutMs = 60000;
    start = GetTickCount64();
    const auto stopAfter = [&] { return GetTickCount64() - start > 500; };
    EXPECT_EQ(Read(host, "TEXT EOW a\n", nullptr, limits, stopAfter), Outcome::kStopped);
    EXPECT_LT(GetTickCount64() - start, 10000u);
    EXPECT_EQ(fakes(), 0u);
    SetEnvironmentVariableW(L"MIRLOCK_FAKE_HOST", nullptr);
    SetFilterHostPath(L"");
}

TEST_F(FilterHostTest, AModalLoopAndAHostThatLeftDoNotFailTheFile) {
    FilterHost host;
    FilterHost::Limits limits;
    limits.timeoutMs = 1000;
    std::wstring text;
    ASSERT_EQ(Read(host, "TEXT EOW first\n", &text, limits), Outcome::kText);

    // The pump holds the thread longer than the time limit, as a menu held
    // open does; the reply that came meanwhile is read.
    int pumped = 0;
    SetFilterHostInputPump([&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ++pumped;
        Sleep(1500);
    });
    MSG queue;
    PeekMessageW(&queue, nullptr, 0, 0, PM_NOREMOVE);  // this thread's message queue
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0));
    EXPECT_EQ(Read(host, "TEXT EOW during a menu\n", &text, limits), Outcome::kText);
    EXPECT_EQ(text, L" during a menu");
    EXPECT_EQ(pumped, 1);
    // The filter's own time still counts.
    EXPECT_EQ(Read(host, "FAULT HANG\n", nullptr, limits), Outcome::kTimedOut);
    SetFilterHostInputPump(nullptr);

    // A host that was ended while it waited for the next file: the file
    // goes to a fresh one.
    ASSERT_EQ(Read(host, "TEXT EOW before\n", &text, limits), Outcome::kText);
    const DWORD first = host.ProcessId();
    ScopedKernelHandle running(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, first));
    ASSERT_TRUE(running);
    ASSERT_TRUE(TerminateProcess(running.Get(), 1));
    ASSERT_EQ(WaitForSingleObject(running.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(Read(host, "TEXT EOW after\n", &text, limits), Outcome::kText);
    EXPECT_EQ(text, L" after");
    EXPECT_NE(host.ProcessId(), first);
    EXPECT_NE(host.ProcessId(), 0u);
}
