// A folder of hostile files searched end to end by mirlock-cli in every
// converter mode: each file gives the row (or no row) it should, nothing
// crashes or hangs, and the peak memory stays bounded.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/ConverterRegistration.h"
#include "tests/FilterRegistration.h"
#include "tests/TestFiles.h"
#include "tests/HostileFolder.h"
#include "tests/cli/CliRun.h"

namespace {

TEST(Hostile, FilesNamedLikeDevicesAreReadAsTheFilesTheyAre) {
    // Files the Linux side made under names that Windows reads as devices
    // (CON would wait for console input, NUL reads nothing): opened through
    // the verbatim form, each is the file it is, with its own text.
    const RunResult r = RunCli({L"-q", L"needle", std::wstring(MIRLOCK_DEVICE_FIXTURE)});
    std::vector<std::string> rows = Lines(r.out);
    std::sort(rows.begin(), rows.end());
    const std::string folder = Utf8(MIRLOCK_DEVICE_FIXTURE) + "\\";
    EXPECT_EQ(rows, (std::vector<std::string>{folder + "AUX.txt\t1", folder + "CON\t1", folder + "con.txt\t1",
                                              folder + "nul\t1", folder + "ok.txt\t1"}));
}

TEST(Hostile, LongNamesAndADirectoryLoop) {
    // A path of exactly 259 characters is searched, and so is one past it.
    TempDir dir;
    const std::wstring folder = std::wstring(200 - dir.Path().size(), L'd');
    const std::wstring fits = std::wstring(259 - 200 - 1 - 4, L'f') + L".txt";
    const std::wstring past = std::wstring(259 - 200 - 4, L'p') + L".txt";
    dir.WriteFile(folder + L"\\" + fits, "needle");
    dir.WriteFile(folder + L"\\" + past, "needle");
    ASSERT_EQ((dir / (folder + L"\\" + fits)).size(), 259u);
    RunResult r = RunCli({L"-q", L"needle", dir.Path()});
    std::vector<std::string> rows = Lines(r.out);
    std::sort(rows.begin(), rows.end());
    const std::string base = Utf8(dir / folder) + "\\";
    EXPECT_EQ(rows, (std::vector<std::string>{base + Utf8(fits) + "\t1", base + Utf8(past) + "\t1"}));
    // A circle of two directory links: never round the circle; each file is
    // found in its folder and through the one link into it.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring loop = self;
    loop = loop.substr(0, loop.find_last_of(L'\\') + 1) + L"..\\test-fixtures\\loop";
    r = RunCli({L"-q", L"-e", L"[xy]", loop});
    EXPECT_EQ(Lines(r.out).size(), 4u) << r.out;
}

TEST(Hostile, EveryFileGivesItsRowInEveryMode) {
    ASSERT_TRUE(RegisterTestFilter());
    ASSERT_TRUE(RegisterTestConverters());
    TempDir dir;
    const std::vector<HostileExpectation> expected = MakeHostileFolder(dir);
    // Held by this process with no sharing while the console searches.
    dir.WriteFile(L"locked.txt", "needle");
    HANDLE locked = CreateFileW((dir / L"locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    // Growing while it is read.
    dir.WriteFile(L"growing.txt", "needle ");
    std::atomic<bool> stop{false};
    std::thread grower([&] {
        HANDLE file = CreateFileW((dir / L"growing.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        const std::string more(4096, 'g');
        while (!stop) {
            DWORD written = 0;
            WriteFile(file, more.data(), static_cast<DWORD>(more.size()), &written, nullptr);
            Sleep(1);
        }
        CloseHandle(file);
    });

    const wchar_t* modes[] = {L"ifilter", L"office", L"text"};
    for (int m = 0; m < 3; ++m) {
        const RunResult r = RunCli({L"--mode", modes[m], L"-j", L"8", L"-q", L"--stats", L"needle", dir.Path()});
        // Eight workers give what one thread gives, line for line.
        const RunResult one = RunCli({L"--mode", modes[m], L"-j", L"1", L"-q", L"needle", dir.Path()});
        EXPECT_EQ(r.out, one.out) << "mode " << Utf8(modes[m]);
        EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << "mode " << Utf8(modes[m]) << ": exit " << r.exitCode;
        std::map<std::string, std::string> rows;
        for (const std::string& line : Lines(r.out)) {
            // Path TAB count, or path TAB "read error" TAB reason.
            const size_t tab = line.find('\t', Utf8(dir.Path()).size());
            const size_t end = line.find('\t', tab + 1);
            rows[line.substr(Utf8(dir.Path()).size(), tab - Utf8(dir.Path()).size())] =
                line.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
        }
        for (const HostileExpectation& e : expected) {
            const auto found = rows.find(Utf8(e.name));
            EXPECT_EQ(found == rows.end() ? "" : found->second, e.rows[m])
                << Utf8(e.name) << " in mode " << Utf8(modes[m]);
        }
        EXPECT_EQ(rows.size(), static_cast<size_t>(std::count_if(expected.begin(), expected.end(),
                                                                  [&](const HostileExpectation& e) { return *e.rows[m] != 0; })))
            << r.out;
        const size_t peak = r.err.find("peak working set: ");
        ASSERT_NE(peak, std::string::npos) << "exit " << r.exitCode << "\n" << r.err << "\n" << r.out;
        const double megabytes = std::stod(r.err.substr(peak + 18)) / 1e6;
        // The bomb's quarter gigabyte, read once, is the largest thing held.
        EXPECT_LT(megabytes, 700.0) << "mode " << Utf8(modes[m]);
        RecordProperty(std::string("peak MB, mode ") + Utf8(modes[m]), std::to_string(megabytes));
        printf("mode %ls: %zu rows, peak working set %.0f MB\n", modes[m], rows.size(), megabytes);
    }
    stop = true;
    grower.join();
    CloseHandle(locked);
}

// A folder of files that each need hundreds of megabytes: the workers take
// them one at a time (beside small ones), so their number does not multiply
// the memory the search needs.
TEST(Hostile, WorkersDoNotMultiplyTheMemoryOfHugeFiles) {
    TempDir dir;
    std::string huge(96u << 20, 'x');
    for (size_t i = 4096; i < huge.size(); i += 4096)
        huge[i] = '\n';
    memcpy(&huge[huge.size() - 8], "needle\r\n", 8);
    for (int i = 0; i < 4; ++i)
        dir.WriteFile(L"huge" + std::to_wstring(i) + L".txt", huge);
    huge = std::string();
    for (int i = 0; i < 20; ++i)
        dir.WriteFile(L"small" + std::to_wstring(i) + L".txt", "a needle");
    auto peak = [](const RunResult& r) {
        const size_t at = r.err.find("peak working set: ");
        return at == std::string::npos ? 0.0 : std::stod(r.err.substr(at + 18)) / 1048576.0;
    };
    const RunResult one = RunCli({L"-j", L"1", L"-q", L"--stats", L"needle", dir.Path()});
    const RunResult eight = RunCli({L"-j", L"8", L"-q", L"--stats", L"needle", dir.Path()});
    ASSERT_EQ(Lines(one.out).size(), 24u) << one.err;
    EXPECT_EQ(eight.out, one.out);
    ASSERT_GT(peak(one), 96.0) << one.err;
    EXPECT_LE(peak(eight), peak(one) + 256.0) << "MiB with one thread: " << peak(one);
    printf("peak working set: %.0f MiB with one thread, %.0f MiB with eight workers\n", peak(one), peak(eight));
}

}  // namespace
