// Size and date bounds from the console: which files are read and counted,
// what the day bounds take, and the values refused.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "search/FileFilters.h"
#include "tests/TestFiles.h"
#include "tests/cli/CliRun.h"

namespace {

// Sets the file's time of last change to local noon of the given day, or
// to `hoursAgo` hours before now.
void SetChanged(const std::wstring& path, unsigned long long time) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME changed{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &changed));
    CloseHandle(file);
}

unsigned long long LocalNoon(int year, int month, int day) {
    unsigned long long start = 0;
    EXPECT_TRUE(LocalDayStart(year, month, day, false, &start));
    return start + 12ull * 36000000000ull;
}

std::vector<std::string> Names(const std::string& out) {
    std::vector<std::string> names;
    for (const std::string& line : Lines(out)) {
        const size_t slash = line.find_last_of('\\');
        const size_t tab = line.find('\t');
        names.push_back(line.substr(slash + 1, (tab == std::string::npos ? line.size() : tab) - slash - 1));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(FileFiltersCli, SizeAndDayBoundsTakeOnlyTheFilesWithin) {
    TempDir dir;
    dir.WriteFile(L"small.txt", "term");                                     // 4 bytes
    dir.WriteFile(L"kilo.txt", "term" + std::string(1020, 'x'));             // 1 K exactly
    dir.WriteFile(L"big.txt", "term" + std::string(3000, 'x'));              // past 2 K
    dir.WriteFile(L"sub\\deep.txt", "term" + std::string(1500, 'x'));        // folders are walked
    SetChanged(dir / L"small.txt", LocalNoon(2026, 10, 31));
    SetChanged(dir / L"kilo.txt", LocalNoon(2026, 11, 1));
    SetChanged(dir / L"big.txt", LocalNoon(2026, 11, 2));
    SetChanged(dir / L"sub\\deep.txt", FileTimeNow() - 5 * 36000000000ull);  // five hours ago
    const struct {
        std::vector<std::wstring> options;
        std::vector<std::string> names;
        const char* searched;
    } cases[] = {
        {{L"--min-size", L"1K"}, {"big.txt", "deep.txt", "kilo.txt"}, "files searched: 3"},
        {{L"--max-size", L"1k"}, {"kilo.txt", "small.txt"}, "files searched: 2"},
        {{L"--min-size", L"1025", L"--max-size", L"2KB"}, {"deep.txt"}, "files searched: 1"},
        // After 1 November: from the 2nd on; before 1 November: up to the 31st.
        {{L"--newer", L"2026-11-01"}, {"big.txt", "deep.txt"}, "files searched: 2"},
        {{L"--older", L"2026-11-01"}, {"small.txt"}, "files searched: 1"},
        {{L"--newer", L"2026-10-31", L"--older", L"2026-11-02"}, {"kilo.txt"}, "files searched: 1"},
        {{L"--within", L"6h"}, {"deep.txt"}, "files searched: 1"},
        {{L"--within", L"1d", L"--min-size", L"2K"}, {}, "files searched: 0"},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> args = c.options;
        for (const wchar_t* a : {L"-l", L"--stats", L"term"})
            args.push_back(a);
        args.push_back(dir.Path());
        const RunResult r = RunCli(args);
        EXPECT_EQ(Names(r.out), c.names) << testing::PrintToString(c.options) << r.err;
        // Files left out are not opened: neither counted nor read.
        EXPECT_NE(r.err.find(c.searched), std::string::npos) << testing::PrintToString(c.options) << r.err;
    }
}

TEST(FileFiltersCli, BadBoundsAreUsageErrors) {
    TempDir dir;
    for (const std::vector<std::wstring>& options :
         std::vector<std::vector<std::wstring>>{{L"--min-size", L"ten"}, {L"--max-size", L"5T"}, {L"--max-size", L"0"},
                                                {L"--min-size", L"-3"}, {L"--newer", L"2026-02-30"},
                                                {L"--older", L"1.11.2026"}, {L"--within", L"3w"}, {L"--within"}}) {
        std::vector<std::wstring> args = options;
        args.push_back(L"term");
        args.push_back(dir.Path());
        const RunResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2u) << testing::PrintToString(options);
        EXPECT_NE(r.err.find(Utf8(options[0])), std::string::npos) << r.err;
    }
}

TEST(FileFilters, ByteSizesAndDays) {
    unsigned long long bytes = 0;
    ASSERT_TRUE(ParseByteSize(L"64K", &bytes));
    EXPECT_EQ(bytes, 65536u);
    ASSERT_TRUE(ParseByteSize(L"2mb", &bytes));
    EXPECT_EQ(bytes, 2u << 20);
    ASSERT_TRUE(ParseByteSize(L"1G", &bytes));
    EXPECT_EQ(bytes, 1u << 30);
    EXPECT_FALSE(ParseByteSize(L"", &bytes));
    EXPECT_FALSE(ParseByteSize(L"99999999999G", &bytes)) << "past 2^63";
    unsigned long long first = 0, next = 0;
    ASSERT_TRUE(ParseLocalDay(L"2026-11-01", false, &first));
    ASSERT_TRUE(ParseLocalDay(L"2026-11-01", true, &next));
    EXPECT_EQ(next - first, 24ull * 36000000000ull);
    ASSERT_TRUE(ParseLocalDay(L"2024-02-29", false, &first)) << "a leap day";
    EXPECT_FALSE(ParseLocalDay(L"2026-02-29", false, &first));
    unsigned long long since = 0;
    ASSERT_TRUE(ParseWithin(L"2d", 100ull * 36000000000ull, &since));
    EXPECT_EQ(since, 52ull * 36000000000ull);
    ASSERT_TRUE(ParseWithin(L"3", 100ull * 36000000000ull, &since)) << "a bare number is days";
    EXPECT_EQ(since, 28ull * 36000000000ull);
}

TEST(FilesFromCli, TheListedFilesInTheirOrderAndOnlyThePathsWithHits) {
    TempDir dir;
    dir.WriteFile(L"a.txt", "alpha beta");
    dir.WriteFile(L"sub\\b.txt", "alpha");
    dir.WriteFile(L"\u00e9t\u00e9.txt", "beta");
    // UTF-8 with its mark, CR LF and LF, a blank line, a folder and a path
    // that names nothing.
    dir.WriteFile(L"list.txt", "\xEF\xBB\xBF" + Utf8(dir / L"\u00e9t\u00e9.txt") + "\r\n" + Utf8(dir / L"a.txt") +
                                   "\n\n" + Utf8(dir / L"sub") + "\r\n" + Utf8(dir / L"gone.txt") + "\n" +
                                   Utf8(dir / L"sub\\b.txt"));
    const RunResult all = RunCli({L"--files-from", dir / L"list.txt", L"beta"});
    EXPECT_EQ(all.exitCode, 0u) << all.err;
    const std::vector<std::string> lines = Lines(all.out);
    ASSERT_EQ(lines.size(), 3u) << all.out;
    EXPECT_EQ(lines[0], Utf8(dir / L"\u00e9t\u00e9.txt") + "\t1") << "in the list's order, not the walk's";
    EXPECT_EQ(lines[1], Utf8(dir / L"a.txt") + "\t1");
    EXPECT_EQ(lines[2].rfind(Utf8(dir / L"gone.txt") + "\tread error\t", 0), 0u) << lines[2];
    EXPECT_NE(all.err.find("Searched 4 files"), std::string::npos) << all.err;

    // -l: the paths of the files with hits alone, ready for the next list.
    const RunResult paths = RunCli({L"-l", L"--files-from", dir / L"list.txt", L"alpha"});
    EXPECT_EQ(Lines(paths.out), (std::vector<std::string>{Utf8(dir / L"a.txt"), Utf8(dir / L"sub\\b.txt")}));
    EXPECT_NE(paths.err.find(Utf8(dir / L"gone.txt") + ": read error"), std::string::npos) << paths.err;
    dir.WriteFile(L"next.txt", paths.out);
    const RunResult narrowed = RunCli({L"-l", L"--files-from", dir / L"next.txt", L"beta"});
    EXPECT_EQ(Lines(narrowed.out), std::vector<std::string>{Utf8(dir / L"a.txt")});

    EXPECT_EQ(RunCli({L"--files-from", dir / L"nothing.txt", L"beta"}).exitCode, 2u) << "a list that is not there";
    EXPECT_EQ(RunCli({L"--files-from", dir / L"list.txt", L"beta", dir.Path()}).exitCode, 2u) << "a folder besides";
    EXPECT_EQ(RunCli({L"-l", L"--json", L"beta", dir.Path()}).exitCode, 2u);
}

TEST(AccentBlindCli, LettersMatchTheirBaseLettersWhateverTheOptions) {
    TempDir dir;
    dir.WriteFile(L"fr.txt", "Le caf\xC3\xA9 est ouvert. La cr\xC3\xA8me, cafe\xCC\x81 cr\xC3\xA9" "dit.\n");
    dir.WriteFile(L"pl.txt", "\xC5\x81\xC3\xB3" "d\xC5\xBA i Gda\xC5\x84sk\n");
    dir.WriteFile(L"u.xlf", "<xliff version=\"1.2\"><file><body>"
                            "<trans-unit id=\"1\"><source>Save</source><target>Enregistr\xC3\xA9</target></trans-unit>"
                            "<trans-unit id=\"2\"><source>Safe</source><target>S\xC3\xBBr</target></trans-unit>"
                            "</body></file></xliff>");
    auto hits = [&](std::vector<std::wstring> options) {
        options.push_back(dir.Path());
        std::vector<std::string> lines;
        for (const std::string& line : Lines(RunCli(options).out))
            lines.push_back(line.substr(line.find_last_of('\\') + 1));
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    EXPECT_EQ(hits({L"--ignore-accents", L"cafe"}), std::vector<std::string>{"fr.txt\t2"}) << "precomposed and decomposed";
    EXPECT_EQ(hits({L"cafe"}), std::vector<std::string>{"fr.txt\t1"}) << "without the option only the decomposed one";
    EXPECT_EQ(hits({L"--ignore-accents", L"-i", L"CR\u00c9ME"}), std::vector<std::string>{"fr.txt\t1"});
    EXPECT_EQ(hits({L"--ignore-accents", L"-w", L"caf\u00e9"}), std::vector<std::string>{"fr.txt\t2"})
        << "a word that ends in a mark ends where the mark does";
    EXPECT_EQ(hits({L"--ignore-accents", L"Lodz"}), std::vector<std::string>{"pl.txt\t1"});
    EXPECT_EQ(hits({L"--ignore-accents", L"-e", L"Gda.sk|cr[e]dit"}), (std::vector<std::string>{"fr.txt\t1", "pl.txt\t1"}))
        << "expressions run on the accent-blind text";
    EXPECT_EQ(hits({L"--ignore-accents", L"--target", L"Enregistre", L"Save"}), std::vector<std::string>{"u.xlf\t1"})
        << "the target condition too";
    // What is shown is the file's own text.
    const RunResult shown = RunCli({L"--ignore-accents", L"-c", L"Lodz", dir.Path()});
    EXPECT_NE(shown.out.find("\xC5\x81\xC3\xB3" "d\xC5\xBA"), std::string::npos) << shown.out;
}
