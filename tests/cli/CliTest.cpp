// mirlock-cli.exe run as a child process over fixture trees, output compared
// line by line; and the option parser on its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ConsoleOutput.h"
#include "tests/ConverterRegistration.h"
#include "tests/FilterRegistration.h"
#include "tests/ProcessUsage.h"
#include "tests/TestFiles.h"
#include "tests/cli/CliRun.h"

namespace {

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        // One file per directory keeps the expected order independent of the
        // file system's enumeration order.
        tree.WriteFile(L"alpha.txt", "first needle\nthen \x93needle\x94 again");
        tree.WriteFile(L"sub\\empty.txt", "");
        tree.WriteFile(L"sub\\deeper\\caps.txt", "\xFF\xFE" + Utf16Bytes(L"NEEDLE\tcaf\u00E9 \\ needle"));
        tree.WriteFile(L"sub\\deeper\\deepest\\broken.xlf", "<xliff><file><body><trans-unit><source>needle");
        root = Utf8(tree.Path());
    }

    TempDir tree;
    std::string root;
};

TEST_F(CliTest, SearchPrintsFileLinesWithCountsAndSummary) {
    const RunResult r = RunCli({L"needle", tree.Path()});
    EXPECT_EQ(r.exitCode, 0u);
    // The empty file has no text and no line; the broken one could not be read.
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                                root + "alpha.txt\t2",
                                root + "sub\\deeper\\caps.txt\t1",
                                root + "sub\\deeper\\deepest\\broken.xlf\tread error\tnot well-formed XML, line 1, column 46",
                            }));
    EXPECT_EQ(r.err, "Searched 4 files, found 3 matches in 2 files; 1 file could not be read.\n");
}

TEST_F(CliTest, ContextLinesAreEscaped) {
    const RunResult r = RunCli({L"-i", L"-c", L"-q", L"needle", tree.Path() + L"sub"});
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                                root + "sub\\deeper\\caps.txt\t2",
                                "\t1\t7\t\xEF\xBB\xBFNEEDLE\\tcaf\xC3\xA9 \\\\ needle",
                                "\t15\t21\t\xEF\xBB\xBFNEEDLE\\tcaf\xC3\xA9 \\\\ needle",
                                root + "sub\\deeper\\deepest\\broken.xlf\tread error\tnot well-formed XML, line 1, column 46",
                                "\t0\t-1\t",
                            }));
    EXPECT_EQ(r.err, "") << "-q leaves out the summary";
}

TEST_F(CliTest, RegexListingPatternsAndLimits) {
    RunResult r = RunCli({L"-e", L"-n", L"-m", L"1", L"-c", L"-q", L"need\\w+", tree.Path()});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{root + "alpha.txt\t1+",
                                                      "\t6\t12\tfirst needle\\nthen \xE2\x80\x9Cneedle\xE2\x80\x9D again"}));

    r = RunCli({L"-f", L"*.txt", L"", tree.Path()});
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                                root + "alpha.txt\t-",
                                root + "sub\\empty.txt\t-",
                                root + "sub\\deeper\\caps.txt\t-",
                            }));
    EXPECT_EQ(r.err, "Listed 3 files.\n");

    r = RunCli({L"-f", L"alpha*", L"absent", tree.Path()});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Found 0 matches.\n");

    // A failed file is a printed line too, so the exit status is 0.
    r = RunCli({L"absent", tree.Path()});
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{root + "sub\\deeper\\deepest\\broken.xlf\tread error\tnot well-formed XML, line 1, column 46"});
    EXPECT_EQ(r.err, "Searched 4 files, found 0 matches in 0 files; 1 file could not be read.\n");

    // A comma separates patterns as a semicolon does; no file that matches is said so.
    r = RunCli({L"-f", L"alpha*, *.xlf", L"", tree.Path()});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{root + "alpha.txt\t-",
                                                      root + "sub\\deeper\\deepest\\broken.xlf\t-"}));
    EXPECT_EQ(r.err, "Listed 2 files.\n");
    r = RunCli({L"-f", L"*.none, *.nothing", L"needle", tree.Path()});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.err, "No file in this folder matches \"*.none, *.nothing\".\n");
    // Counts of one in every form.
    r = RunCli({L"-f", L"alpha.txt", L"first", tree.Path()});
    EXPECT_EQ(r.err, "Found 1 match.\n");
    r = RunCli({L"-n", L"-f", L"*.txt", L"needle", tree.Path()});
    EXPECT_EQ(r.err, "Found 2 matches in 1 file.\n");
    r = RunCli({L"-f", L"broken.xlf", L"needle", tree.Path()});
    EXPECT_EQ(r.err, "Searched 1 file, found 0 matches in 0 files; 1 file could not be read.\n");
}

TEST_F(CliTest, CaseUtf8PatternListsAndMissingFolders) {
    tree.WriteFile(L"day\\note.txt", "Caf\xC3\xA9 au lait, CAF\xC3\xA9 noir");
    tree.WriteFile(L"day\\old\\note.bak", "caf\xC3\xA9");
    tree.WriteFile(L"day\\x\\ui.xlf", "<xliff><file><body><trans-unit><source>caf\xC3\xA9</source></trans-unit></body></file></xliff>");
    const std::wstring day = tree.Path() + L"day";
    // UTF-8 without a byte-order mark is read as UTF-8 unless asked not to.
    RunResult r = RunCli({L"-q", L"-f", L"*.txt", L"Caf\u00E9", day});
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{root + "day\\note.txt\t1"});
    r = RunCli({L"-q", L"--no-utf8", L"-f", L"*.txt", L"Caf\u00E9", day});
    EXPECT_EQ(r.out, "");
    // -i applies to expressions too; "(?-i)" inside still asks for the case.
    r = RunCli({L"-q", L"-e", L"-f", L"*.txt", L"caf\u00E9 \\w+", day});
    EXPECT_EQ(r.out, "");
    r = RunCli({L"-q", L"-e", L"-i", L"-f", L"*.txt", L"caf\u00E9 \\w+", day});
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{root + "day\\note.txt\t2"});
    r = RunCli({L"-q", L"-e", L"-i", L"-f", L"*.txt", L"(?-i)caf\u00E9 \\w+", day});
    EXPECT_EQ(r.out, "");
    // Several patterns, exclusions of files and of folders.
    r = RunCli({L"-q", L"-i", L"-f", L"*.txt; *.xlf ;*.bak", L"caf\u00E9", day});
    EXPECT_EQ(Lines(r.out).size(), 3u) << r.out;
    r = RunCli({L"-q", L"-i", L"-f", L"-*.xlf;-old\\", L"caf\u00E9", day});
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{root + "day\\note.txt\t2"});
    // A folder that is not there is said so.
    r = RunCli({L"x", tree.Path() + L"nowhere"});
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "mirlock-cli: The folder " + root + "nowhere does not exist.\n");
    r = RunCli({L"x", tree / L"alpha.txt"});
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos);
}

TEST_F(CliTest, WholeWordsOnly) {
    tree.WriteFile(L"words\\w.txt", "needles needle_x (needle) xneedle NEEDLE");
    RunResult r = RunCli({L"-w", L"-c", L"-q", L"needle", tree.Path() + L"words"});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                                root + "words\\w.txt\t1",
                                "\t18\t24\tneedles needle_x (needle) xneedle NEEDLE",
                            }));
    r = RunCli({L"--word", L"-e", L"-q", L"(?i)ne+dle", tree.Path() + L"words"});
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{root + "words\\w.txt\t2"});
}

TEST_F(CliTest, ContentFiltersInTheDefaultMode) {
    ASSERT_TRUE(RegisterTestFilter());
    tree.WriteFile(L"filtered\\report.mtfb", "TEXT EOP find me\nVALUE secret title\nTEXT EOW and me\n");
    tree.WriteFile(L"filtered\\plain.txt", "find me too");
    const std::wstring folder = tree.Path() + L"filtered";
    RunResult r = RunCli({L"-c", L"-q", L"find", folder});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{root + "filtered\\plain.txt\t1", "\t0\t4\tfind me too",
                                                      root + "filtered\\report.mtfb\t1", "\t2\t6\tfind me and me"}));
    // Value chunks are not text; in the text-only mode the file is read as it stands.
    EXPECT_EQ(RunCli({L"-q", L"secret", folder}).out, "");
    r = RunCli({L"-q", L"--mode", L"text", L"secret", folder});
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{root + "filtered\\report.mtfb\t1"});
    r = RunCli({L"--dump-text", tree / L"filtered\\report.mtfb"});
    EXPECT_EQ(r.out, "\r\nfind me and me");
}

TEST_F(CliTest, AFilterThatFaultsFailsOnlyItsFile) {
    ASSERT_TRUE(RegisterTestFilter());
    // One file per folder keeps the order sure; two faults in a row.
    const std::pair<const wchar_t*, const char*> files[] = {
        {L"a\\found.txt", "find me"},
        {L"b\\access.mtfb", "TEXT EOP find\nFAULT ACCESS\n"},
        {L"c\\recurse.mtfb", "FAULT RECURSE\n"},
        {L"d\\read.mtfb", "TEXT EOP find this\n"},
        {L"e\\hang.mtfb", "FAULT HANG\n"},
        {L"f\\crash.mtfb", "TEXT EOP find\nCRASH\n"},
        {L"g\\abort.mtfb", "FAULT ABORT\n"},
        {L"h\\grow.mtfb", "FAULT GROW\n"},
        {L"i\\terminate.mtfb", "FAULT TERMINATE\n"},
        {L"j\\last.txt", "find me last"},
    };
    for (const auto& [name, text] : files)
        tree.WriteFile(std::wstring(L"faults\\") + name, text);
    const std::string at = root + "faults\\";
    const std::vector<std::string> expected = {
        // Each fault with its reason.
        at + "a\\found.txt\t1",
        at + "b\\access.mtfb\tread error\tthe content filter crashed",
        at + "c\\recurse.mtfb\tread error\tthe content filter crashed",
        at + "d\\read.mtfb\t1",
        at + "e\\hang.mtfb\tread error\tthe content filter did not answer within 1 second",
        at + "f\\crash.mtfb\tread error\tthe content filter crashed",
        at + "g\\abort.mtfb\tread error\tthe content filter crashed",
        at + "h\\grow.mtfb\tread error\tthe content filter passed the memory limit",
        at + "i\\terminate.mtfb\tread error\tthe content filter crashed",
        at + "j\\last.txt\t1"};
    for (const wchar_t* threads : {L"1", L"3"}) {
        const ULONGLONG start = GetTickCount64();
        const RunResult r =
            RunCli({L"-j", threads, L"--filter-timeout", L"1", L"find", tree.Path() + L"faults"});
        std::vector<std::string> lines = Lines(r.out);
        // On a busy machine the growing filter may meet the time limit
        // before the memory limit: either ends it.
        for (std::string& line : lines) {
            const std::string late = "grow.mtfb\tread error\tthe content filter did not answer within 1 second";
            if (line.size() >= late.size() && line.compare(line.size() - late.size(), late.size(), late) == 0)
                line = at + "h\\grow.mtfb\tread error\tthe content filter passed the memory limit";
        }
        EXPECT_EQ(lines, expected) << threads << " threads";
        EXPECT_EQ(r.err, "Searched 10 files, found 3 matches in 3 files; 7 files could not be read.\n")
            << threads << " threads";
        EXPECT_LT(GetTickCount64() - start, 30000u) << "the hang is cut at the time limit";
        EXPECT_EQ(CountChildProcesses(r.processId, L"mirlock-filterhost.exe"), 0u) << "no host outlives the program";
    }
    // --dump-text through the host too; a fault is a read error.
    EXPECT_EQ(RunCli({L"--dump-text", tree / L"faults\\d\\read.mtfb"}).out, "\r\nfind this");
    const RunResult dumped = RunCli({L"--dump-text", tree / L"faults\\b\\access.mtfb"});
    EXPECT_EQ(dumped.err, "read error\n");
    EXPECT_EQ(dumped.exitCode, 2u);
}

TEST_F(CliTest, AMissingFilterHostIsReportedOnce) {
    ASSERT_TRUE(RegisterTestFilter());
    // The console program alone in a folder: no host beside it.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring cli = self;
    cli = cli.substr(0, cli.find_last_of(L'\\') + 1) + L"mirlock-cli.exe";
    const std::wstring alone = tree / L"alone\\mirlock-cli.exe";
    tree.MakeDir(L"alone");
    ASSERT_TRUE(CopyFileW(cli.c_str(), alone.c_str(), FALSE));
    tree.WriteFile(L"docs\\a\\one.mtfb", "TEXT EOP find\n");
    tree.WriteFile(L"docs\\b\\two.mtfb", "TEXT EOP find\n");
    tree.WriteFile(L"docs\\c\\three.txt", "find");
    for (const wchar_t* threads : {L"1", L"2"}) {
        const RunResult r = RunProgram(alone, {L"-j", threads, L"-q", L"find", tree.Path() + L"docs"});
        EXPECT_EQ(Lines(r.out), (std::vector<std::string>{root + "docs\\a\\one.mtfb\tread error\tno content filter host",
                                                          root + "docs\\b\\two.mtfb\tread error\tno content filter host",
                                                          root + "docs\\c\\three.txt\t1"}));
        const std::vector<std::string> err = Lines(r.err);
        ASSERT_EQ(err.size(), 1u) << r.err;
        EXPECT_NE(err[0].find("mirlock-filterhost.exe could not be started"), std::string::npos) << r.err;
    }
}

TEST_F(CliTest, ImportConvertersInTheOfficeMode) {
    ASSERT_TRUE(RegisterTestConverters());
    tree.WriteFile(L"office\\letter.mtc",
                   "MTCV\n{\\rtf1\\ansi Dear colleague, {\\v hidden note} the colour {\\strike struck colour}\\par}");
    const std::wstring folder = tree.Path() + L"office";
    RunResult r = RunCli({L"-q", L"--mode", L"office", L"colour", folder});
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{root + "office\\letter.mtc\t1"}) << "struck text is left out";
    r = RunCli({L"-q", L"--mode", L"office", L"note", folder});
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{root + "office\\letter.mtc\t1"});
    r = RunCli({L"-q", L"--mode", L"office", L"--ignore-hidden", L"note", folder});
    EXPECT_EQ(r.out, "");
    r = RunCli({L"--dump-text", L"--mode", L"office", tree / L"office\\letter.mtc"});
    EXPECT_EQ(r.out.find("struck"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Dear colleague"), std::string::npos) << r.out;
}

TEST_F(CliTest, StatsCountFilesAndBytes) {
    const RunResult r = RunCli({L"-q", L"--stats", L"needle", tree.Path()});
    EXPECT_EQ(r.exitCode, 0u);
    // alpha.txt (32 bytes), empty.txt (0), caps.txt (2 + 2 x 20 bytes) and broken.xlf (45).
    EXPECT_EQ(r.err.rfind("files searched: 4\nbytes read: 119\nseconds: ", 0), 0u) << r.err;
    // The time is this run's, the memory a real peak.
    double seconds = -1;
    unsigned long long peak = 0;
    const size_t at = r.err.find("seconds: ");
    ASSERT_NE(at, std::string::npos) << r.err;
    ASSERT_EQ(sscanf(r.err.c_str() + at, "seconds: %lf\npeak working set: %llu", &seconds, &peak), 2) << r.err;
    EXPECT_GE(seconds, 0.0);
    EXPECT_LT(seconds, 60.0);
    EXPECT_GT(peak, 1024ull * 1024);

    // A file refused for its size (3 GiB, sparse) is searched but not read.
    tree.WriteFile(L"big\\small.txt", "needle");
    const std::wstring huge = tree / L"big\\huge.txt";
    tree.WriteFile(L"big\\huge.txt", "needle");
    ASSERT_TRUE(ExtendFile(huge, 3LL << 30));
    const RunResult big = RunCli({L"-q", L"--stats", L"needle", tree.Path() + L"big"});
    EXPECT_EQ(big.err.rfind("files searched: 2\nbytes read: 6\nseconds: ", 0), 0u) << big.err;
    DeleteFileW(huge.c_str());
}

TEST_F(CliTest, BadRegexAndUsageErrorsExitWithTwo) {
    RunResult r = RunCli({L"-e", L"ab(c", tree.Path()});
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("Bad regex syntax (position 4).\n", 0), 0u) << r.err;

    EXPECT_EQ(RunCli({L"only-text"}).exitCode, 2u);
    EXPECT_EQ(RunCli({L"--bogus", L"x", tree.Path()}).exitCode, 2u);
    EXPECT_EQ(RunCli({L"-m", L"many", L"x", tree.Path()}).exitCode, 2u);
    const RunResult none = RunCli({L"-m", L"0", L"x", tree.Path()});
    EXPECT_EQ(none.exitCode, 2u);
    EXPECT_NE(none.err.find("-m must be 1 or more"), std::string::npos) << none.err;
}

TEST_F(CliTest, DumpTextWritesTheFilesOwnTextAsUtf8) {
    RunResult r = RunCli({L"--dump-text", tree / L"alpha.txt"});
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.out, "first needle\nthen \xE2\x80\x9Cneedle\xE2\x80\x9D again");

    r = RunCli({L"--dump-text", L"--mode", L"text", tree / L"sub\\deeper\\caps.txt"});
    EXPECT_EQ(r.out, "\xEF\xBB\xBFNEEDLE\tcaf\xC3\xA9 \\ needle");

    // Controls show as spaces, as the search sees them; the rest as written.
    tree.WriteFile(L"sub\\controls.txt", "a\x01" "b\x0C" "c \xE2\x80\x93 d");
    EXPECT_EQ(RunCli({L"--dump-text", tree / L"sub\\controls.txt"}).out, "a b c \xE2\x80\x93 d");

    // Valid UTF-8 is read as such unless asked not to; "Ã©" is the ANSI reading.
    tree.WriteFile(L"sub\\utf8.txt", "caf\xC3\xA9");
    EXPECT_EQ(RunCli({L"--dump-text", L"--no-utf8", tree / L"sub\\utf8.txt"}).out, "caf\xC3\x83\xC2\xA9");
    EXPECT_EQ(RunCli({L"--dump-text", tree / L"sub\\utf8.txt"}).out, "caf\xC3\xA9");
    EXPECT_EQ(RunCli({L"--dump-text", L"--utf8", tree / L"sub\\utf8.txt"}).out, "caf\xC3\xA9");
    RunResult found = RunCli({L"--utf8", L"-f", L"utf8.txt", L"caf\u00E9", tree.Path()});
    EXPECT_EQ(found.exitCode, 0u);
    EXPECT_NE(found.out.find("utf8.txt"), std::string::npos) << found.out;

    r = RunCli({L"--dump-text", tree / L"sub\\empty.txt"});
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_EQ(r.err, "read error\n");
    EXPECT_EQ(RunCli({L"--dump-text", tree / L"missing.txt"}).exitCode, 2u);
}

TEST(CliOffice, DocumentsReadWithoutInstalledComponentsExceptAsText) {
    TempDir tree;
    const std::wstring fixtures = std::wstring(MIRLOCK_TEST_DATA) + L"\\office\\fixture.";
    for (const wchar_t* extension : {L"docx", L"xlsx", L"odp", L"ods"}) {
        const std::wstring name = std::wstring(L"f") + extension + L"\\fixture." + extension;
        tree.MakeDir(std::wstring(L"f") + extension);
        ASSERT_TRUE(CopyFileW((fixtures + extension).c_str(), (tree / name).c_str(), FALSE));
    }
    const std::string root = Utf8(tree.Path());
    for (const wchar_t* mode : {L"ifilter", L"office"}) {
        const RunResult r = RunCli({L"--mode", mode, L"-q", L"Datei", tree.Path()});
        EXPECT_EQ(Lines(r.out), (std::vector<std::string>{root + "fods\\fixture.ods\t1", root + "fxlsx\\fixture.xlsx\t1"}))
            << Utf8(mode);
    }
    // Read as text, a package is compressed bytes.
    EXPECT_EQ(RunCli({L"--mode", L"text", L"-q", L"Datei", tree.Path()}).exitCode, 1u);
    const RunResult slides = RunCli({L"--dump-text", L"--ignore-hidden", tree / L"fodp\\fixture.odp"});
    EXPECT_EQ(slides.exitCode, 0u);
    EXPECT_EQ(slides.out, "First slide title\r\nThird slide text\r\nNotes of slide one\r\n");
    const RunResult word = RunCli({L"--dump-text", L"--ignore-tags", L"Source Text", tree / L"fdocx\\fixture.docx"});
    EXPECT_NE(word.out.find("Plain hidden wordsvisible end.\r\n"), std::string::npos) << word.out;
    EXPECT_EQ(word.out.find("Source sentence"), std::string::npos) << word.out;
}

TEST(CliHelp, HelpAndVersionOnStdoutWithSuccess) {
    for (const wchar_t* flag : {L"--help", L"-h"}) {
        const RunResult r = RunCli({flag});
        EXPECT_EQ(r.exitCode, 0u) << Utf8(flag);
        EXPECT_EQ(r.out.rfind("usage: mirlock-cli [options] TEXT FOLDER\n", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("--utf8"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(RunCli({L"-i", L"--help", L"x"}).exitCode, 0u) << "help wins over the rest of the line";
    // The version is the one of the executable's version resource.
    const RunResult r = RunCli({L"--version"});
    EXPECT_EQ(r.exitCode, 0u);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring cli = self;
    cli = cli.substr(0, cli.find_last_of(L'\\') + 1) + L"mirlock-cli.exe";
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(cli.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(cli.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::string expected = "mirlock-cli " + std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                 std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                 std::to_string(HIWORD(fixed->dwFileVersionLS)) + "\n";
    EXPECT_EQ(r.out, expected);
}

TEST(CliOptions, DefaultsAndEveryFlag) {
    CliOptions o;
    std::wstring error;
    ASSERT_TRUE(ParseCliOptions({L"t", L"C:\\f"}, &o, &error));
    EXPECT_EQ(o.caseSensitive, 1);
    EXPECT_EQ(o.recursion, 1);
    EXPECT_EQ(o.maximumMatch, 999);
    EXPECT_EQ(o.fileNameSpec, L"*.*");
    EXPECT_EQ(o.includeHidden, 1);
    EXPECT_EQ(o.wholeWords, 0);
    EXPECT_EQ(o.threads, 0) << "one worker per logical processor unless asked";
    EXPECT_TRUE(o.readUtf8);
    ASSERT_TRUE(ParseCliOptions({L"--no-utf8", L"t", L"C:\\f"}, &o, &error));
    EXPECT_FALSE(o.readUtf8);
    ASSERT_TRUE(ParseCliOptions({L"--utf8", L"t", L"C:\\f"}, &o, &error));
    EXPECT_TRUE(o.readUtf8);

    CliOptions all;
    ASSERT_TRUE(ParseCliOptions({L"--regex", L"--ignore-case", L"--no-recurse", L"--files", L"",
                                 L"--max", L"7", L"--mode", L"office", L"--ignore-hidden",
                                 L"--ignore-tags", L"src", L"--context", L"--quiet", L"--word", L"--", L"-x",
                                 L"C:\\f"},
                                &all, &error))
        << testing::PrintToString(error);
    EXPECT_EQ(all.regex, 1);
    EXPECT_EQ(all.caseSensitive, 0);
    EXPECT_EQ(all.wholeWords, 1);
    EXPECT_EQ(all.recursion, 0);
    EXPECT_EQ(all.fileNameSpec, L"*.*") << "an empty pattern means *.*";
    EXPECT_EQ(all.maximumMatch, 7);
    EXPECT_FALSE(ParseCliOptions({L"--max", L"-3", L"t", L"C:\\f"}, &o, &error)) << "fewer than one match per file";
    EXPECT_EQ(all.mode, 1);
    EXPECT_EQ(all.includeHidden, 0);
    EXPECT_EQ(all.ignoreTags, L"src");
    EXPECT_TRUE(all.context && all.quiet);
    EXPECT_EQ(all.text, L"-x");

    CliOptions bad;
    EXPECT_FALSE(ParseCliOptions({std::wstring(260, L'a'), L"C:\\"}, &bad, &error));
    EXPECT_FALSE(ParseCliOptions({L"--mode", L"word", L"a", L"b"}, &bad, &error));
    EXPECT_FALSE(ParseCliOptions({L"--dump-text"}, &bad, &error));
    EXPECT_FALSE(ParseCliOptions({L"-f"}, &bad, &error));
    for (const auto& [count, value] : {std::pair{L"0", 0}, std::pair{L"1", 1}, std::pair{L"64", 64}}) {
        CliOptions threads;
        ASSERT_TRUE(ParseCliOptions({L"-j", count, L"a", L"b"}, &threads, &error)) << count;
        EXPECT_EQ(threads.threads, value);
        ASSERT_TRUE(ParseCliOptions({L"--threads", count, L"a", L"b"}, &threads, &error)) << count;
        EXPECT_EQ(threads.threads, value);
    }
    for (const wchar_t* count : {L"-1", L"65", L"2x", L""}) {
        CliOptions threads;
        EXPECT_FALSE(ParseCliOptions({L"-j", count, L"a", L"b"}, &threads, &error)) << testing::PrintToString(count);
        EXPECT_NE(error.find(L"--threads"), std::wstring::npos) << testing::PrintToString(error);
    }
    // The content filter time limit: 30 seconds unless set, 1 to 3600.
    EXPECT_EQ(o.filterTimeout, 30);
    for (const auto& [seconds, value] : {std::pair{L"1", 1}, std::pair{L"3600", 3600}}) {
        CliOptions limit;
        ASSERT_TRUE(ParseCliOptions({L"--filter-timeout", seconds, L"a", L"b"}, &limit, &error)) << seconds;
        EXPECT_EQ(limit.filterTimeout, value);
    }
    for (const wchar_t* seconds : {L"0", L"3601", L"-5", L"1s", L""}) {
        CliOptions limit;
        EXPECT_FALSE(ParseCliOptions({L"--filter-timeout", seconds, L"a", L"b"}, &limit, &error))
            << testing::PrintToString(seconds);
        EXPECT_NE(error.find(L"--filter-timeout"), std::wstring::npos) << testing::PrintToString(error);
    }
    // A count is a 32-bit number: nothing wraps into range, nothing trails it.
    for (const wchar_t* count : {L"4294967296", L"2147483648", L"-2147483649", L"99999999999999999999", L"12x", L""}) {
        CliOptions fresh;
        EXPECT_FALSE(ParseCliOptions({L"-m", count, L"a", L"b"}, &fresh, &error)) << testing::PrintToString(count);
    }
    for (const auto& [count, value] : {std::pair{L"2147483647", 2147483647}, std::pair{L"1", 1}}) {
        CliOptions edge;
        ASSERT_TRUE(ParseCliOptions({L"-m", count, L"a", L"b"}, &edge, &error)) << count;
        EXPECT_EQ(edge.maximumMatch, value);
    }
    CliOptions least;
    EXPECT_FALSE(ParseCliOptions({L"-m", L"-2147483648", L"a", L"b"}, &least, &error)) << "a number, but below 1";
}

TEST(ConsoleOutput, EscapesContextAndEncodesUtf8) {
    EXPECT_EQ(EscapeContext(L"a\\b\tc\nd\re\u00E9"), "a\\\\b\\tc\\nd\\re\xC3\xA9");
    EXPECT_EQ(ToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
}

}  // namespace

namespace {

TEST(CliTranslationFiles, SearchesAndDumpsTtxAndXliff) {
    TempDir tree;
    tree.WriteFile(L"job.ttx", "\xFF\xFE" + Utf16Bytes(L"<TRADOStag><Tu><Tuv Lang=\"EN-US\">Hello world</Tuv>"
                                                     L"<Tuv Lang=\"DE-DE\">Hallo Welt</Tuv></Tu></TRADOStag>"));
    tree.WriteFile(L"x\\job.xlf", "<xliff><file><trans-unit><source>Hello there</source>"
                                  "<target>Hallo da</target></trans-unit></file></xliff>");
    const std::string root = Utf8(tree.Path());

    RunResult r = RunCli({L"-q", L"Hello", tree.Path()});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{root + "job.ttx\t1", root + "x\\job.xlf\t1"}));

    r = RunCli({L"-q", L"--ignore-hidden", L"--ignore-tags", L"source", L"Hello", tree.Path()});
    EXPECT_EQ(r.exitCode, 1u) << "source segments and source elements are left out";
    EXPECT_EQ(r.out, "");

    r = RunCli({L"--dump-text", L"--ignore-hidden", tree / L"job.ttx"});
    EXPECT_EQ(r.out, "\xEF\xBB\xBFHallo Welt\n");
    r = RunCli({L"--dump-text", L"--ignore-tags", L"target", tree / L"x\\job.xlf"});
    EXPECT_EQ(r.out, "Hello there \r\n");
    // In the text-only mode the same file is read as plain text.
    r = RunCli({L"--dump-text", L"--mode", L"2", tree / L"x\\job.xlf"});
    EXPECT_EQ(r.out.rfind("<xliff>", 0), 0u);
    // The segments after the text, on lines of their own; none for a file without.
    r = RunCli({L"--dump-text", L"--segments", tree / L"x\\job.xlf"});
    EXPECT_EQ(r.out, "Hello there \r\nHallo da \n\tsegment\t#1\tHello there\tHallo da\n");
    r = RunCli({L"--dump-text", L"--segments", L"--mode", L"2", tree / L"x\\job.xlf"});
    EXPECT_EQ(r.out.find("\tsegment\t"), std::string::npos);
}

TEST(CliSegments, SidesTargetConditionAndSegmentLines) {
    TempDir tree;
    tree.WriteFile(L"a.xlf",
                   "<xliff version=\"1.2\"><file><body>"
                   "<trans-unit id=\"u1\"><source>The red house</source><target>Das rote Haus</target></trans-unit>"
                   "<trans-unit id=\"u2\"><source>A red car, red</source><target>Ein Auto red</target></trans-unit>"
                   "<trans-unit id=\"u3\"><source>No target: red</source></trans-unit>"
                   "</body></file></xliff>");
    tree.WriteFile(L"b.po", "msgid \"red light\"\nmsgstr \"rotes\tLicht\"\n");
    tree.WriteFile(L"plain.txt", "red text\n");
    const std::string root = Utf8(tree.Path());

    // Every hit counts by default; the segment lines follow the match lines.
    RunResult r = RunCli({L"-q", L"-c", L"--segments", L"red", tree.Path()});
    EXPECT_EQ(r.exitCode, 0u);
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 14u) << r.out;
    EXPECT_EQ(lines[0], root + "a.xlf\t5");
    EXPECT_EQ(lines[1].rfind("\t4\t7\t", 0), 0u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.begin() + 9),
              (std::vector<std::string>{"\tsegment\tu1\tThe red house\tDas rote Haus",
                                        "\tsegment\tu2\tA red car, red\tEin Auto red",
                                        "\tsegment\tu3\tNo target: red\t"}));
    EXPECT_EQ(lines[9], root + "b.po\t1");
    EXPECT_EQ(lines[11], "\tsegment\t#1\tred light\trotes Licht") << "a tab in a text is a space";
    EXPECT_EQ(lines[12], root + "plain.txt\t1") << "a file without segments has no segment lines";

    // Sides: files without segments are searched whole.
    r = RunCli({L"-q", L"--side", L"target", L"--segments", L"red", tree.Path()});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{root + "a.xlf\t1", "\tsegment\tu2\tA red car, red\tEin Auto red",
                                                      root + "plain.txt\t1"}));
    r = RunCli({L"-q", L"--side", L"both", L"red", tree.Path()});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{root + "a.xlf\t5", root + "b.po\t1", root + "plain.txt\t1"}))
        << "both sides: every hit, as without --side";
    r = RunCli({L"-q", L"--side", L"source", L"red", tree.Path()});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{root + "a.xlf\t4", root + "b.po\t1", root + "plain.txt\t1"}));

    // The reviewer's question: red in the source, the target without "rot".
    r = RunCli({L"-q", L"-i", L"--side", L"source", L"--not-target", L"ROT", L"--segments", L"red", tree.Path()});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{root + "a.xlf\t3", "\tsegment\tu2\tA red car, red\tEin Auto red",
                                                      "\tsegment\tu3\tNo target: red\t"}))
        << "files without segments give no row under a target condition";
    r = RunCli({L"-q", L"--target", L"Haus", L"red", tree.Path()});
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{root + "a.xlf\t1"});
    // The limit counts only the hits that count; a third that counts shows as the plus.
    r = RunCli({L"-q", L"-m", L"2", L"--side", L"source", L"red", tree.Path()});
    EXPECT_EQ(Lines(r.out)[0], root + "a.xlf\t2+");

    // Usage errors.
    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"--target", L"", L"red", tree.Path()},
          std::vector<std::wstring>{L"--not-target"},
          std::vector<std::wstring>{L"--side", L"left", L"red", tree.Path()},
          std::vector<std::wstring>{L"--target", L"x", L"", tree.Path()}}) {
        r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2u) << testing::PrintToString(args);
        EXPECT_EQ(r.err.rfind("mirlock-cli: ", 0), 0u) << r.err;
    }
}

}  // namespace

namespace {

TEST(CliRtf, DumpRtfUsesTheOfficeHostOptions) {
    TempDir dir;
    dir.WriteFile(L"doc.rtf",
                  "{\\rtf1{\\stylesheet{\\s1 Src;}}{\\s1 source}T\\'e9xt {\\v hid}{\\strike s}{\\noproof np1}\\par}");
    RunResult r = RunCli({L"--dump-rtf", dir / L"doc.rtf"});
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.out, "sourceT\xC3\xA9xt hid1\n");
    r = RunCli({L"--dump-rtf", L"--ignore-hidden", L"--ignore-tags", L"Src", dir / L"doc.rtf"});
    EXPECT_EQ(r.out, " T\xC3\xA9xt 1\n");
    r = RunCli({L"--dump-rtf", dir / L"none.rtf"});
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_EQ(r.err, "read error\n");
}

}  // namespace
