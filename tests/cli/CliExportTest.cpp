// The console's machine-readable output: JSON Lines and CSV, read back.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/TableReaders.h"
#include "tests/TestFiles.h"
#include "tests/cli/CliRun.h"

namespace {

TEST(CliExport, JsonLinesAndCsvOfEveryKindOfRow) {
    TempDir tree;
    // Below folders that take the path past the classic limit, a name with
    // a comma, a letter beyond ASCII and one beyond the first plane.
    std::wstring deep;
    for (int i = 0; i < 4; ++i)
        deep += std::wstring(80, static_cast<wchar_t>(L'p' + i)) + L"\\";
    const std::wstring odd = deep + L"a, b \u00E9\U0001F600.txt";
    tree.WriteFile(odd, "needle\tand 'needle'\n");
    // Typographic quotes, which the search matches folded and every output shows as written.
    tree.WriteFile(L"b.xlf", "<xliff version=\"1.2\"><file><body><trans-unit id=\"u,1\"><source>a \xE2\x80\x9Cneedle\xE2\x80\x9D"
                             "</source><target>eine \xE2\x80\x9ENadel\xE2\x80\x9C</target></trans-unit></body></file></xliff>");
    tree.WriteFile(L"broken.xlf", "<xliff><file><body><trans-unit><source>needle");

    RunResult r = RunCli({L"--json", L"-c", L"--segments", L"needle", tree.Path()});
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    std::map<std::string, JsonValue> rows;
    for (size_t i = 0; i < lines.size(); ++i) {
        JsonValue value;
        ASSERT_NO_THROW(value = ReadJson(lines[i])) << lines[i];
        if (i + 1 < lines.size())
            rows[value["path"].Utf8()] = value;
        else
            EXPECT_TRUE(value.Has("summary")) << "the summary comes last";
    }
    const JsonValue& text = rows.at(Utf8(tree / odd));
    EXPECT_EQ(text["count"].number, 2);
    EXPECT_EQ(text["name"].Utf8(), Utf8(L"a, b \u00E9\U0001F600.txt"));
    EXPECT_EQ(text["type"].Utf8(), "txt");
    EXPECT_EQ(text["size"].number, 20);
    EXPECT_EQ(text["updated"].Utf8().size(), 20u);
    ASSERT_EQ(text["matches"].items.size(), 2u);
    EXPECT_EQ(text["matches"].items[1]["start"].number, 12);
    EXPECT_EQ(text["matches"].items[0]["context"].Utf8(), "needle\tand 'needle'\n");
    EXPECT_TRUE(text["segments"].items.empty());
    const JsonValue& xliff = rows.at(Utf8(tree / L"b.xlf"));
    ASSERT_EQ(xliff["segments"].items.size(), 1u);
    EXPECT_EQ(xliff["segments"].items[0]["id"].Utf8(), "u,1");
    EXPECT_EQ(xliff["segments"].items[0]["target"].Utf8(), "eine \xE2\x80\x9ENadel\xE2\x80\x9C");
    EXPECT_NE(xliff["matches"].items[0]["context"].Utf8().find("\xE2\x80\x9Cneedle\xE2\x80\x9D"), std::string::npos);
    EXPECT_EQ(rows.at(Utf8(tree / L"broken.xlf"))["error"].Utf8(), "not well-formed XML, line 1, column 46");
    EXPECT_EQ(text["readAs"].Utf8(), "Text (Windows-1252)") << "plain ASCII is read in the ANSI code page";
    EXPECT_EQ(xliff["readAs"].Utf8(), "XLIFF 1.2");
    const JsonValue summary = ReadJson(lines.back())["summary"];
    EXPECT_EQ(summary["searched"].number, 3);
    EXPECT_EQ(summary["matched"].number, 2);
    EXPECT_EQ(summary["matches"].number, 3);
    EXPECT_EQ(summary["failed"].number, 1);

    // A listing: no counts to give.
    r = RunCli({L"--json", L"-q", L"", tree.Path()});
    const std::vector<std::string> listed = Lines(r.out);
    ASSERT_EQ(listed.size(), 4u) << r.out;
    EXPECT_TRUE(ReadJson(listed[0])["listed"].boolean);

    // CSV: the header, one line per file, one per segment.
    r = RunCli({L"--csv", L"-q", L"--segments", L"needle", tree.Path()});
    ASSERT_EQ(r.out.rfind("\xEF\xBB\xBF", 0), 0u);
    std::vector<std::vector<std::string>> records;
    ASSERT_NO_THROW(records = ReadCsv(r.out.substr(3))) << r.out;
    ASSERT_EQ(records.size(), 5u) << r.out;
    EXPECT_EQ(records[0][0], "Path");
    std::map<std::string, std::vector<std::string>> byPath;
    for (size_t i = 1; i < records.size(); ++i) {
        ASSERT_EQ(records[i].size(), 11u);
        byPath[records[i][0] + (records[i][7].empty() ? "" : "#" + records[i][7])] = records[i];
    }
    EXPECT_EQ(byPath.at(Utf8(tree / odd))[1], Utf8(L"a, b \u00E9\U0001F600.txt"));
    EXPECT_EQ(byPath.at(Utf8(tree / odd))[2], "2");
    EXPECT_EQ(byPath.at(Utf8(tree / L"broken.xlf"))[2], "read error");
    EXPECT_EQ(byPath.at(Utf8(tree / L"broken.xlf"))[5], "Failed");
    EXPECT_EQ(byPath.at(Utf8(tree / L"broken.xlf"))[10], "not well-formed XML, line 1, column 46");
    EXPECT_EQ(byPath.at(Utf8(tree / L"b.xlf"))[5], "XLIFF 1.2");
    EXPECT_EQ(byPath.at(Utf8(tree / L"b.xlf") + "#u,1")[8], "a \xE2\x80\x9Cneedle\xE2\x80\x9D");
    EXPECT_EQ(byPath.at(Utf8(tree / L"b.xlf") + "#u,1")[9], "eine \xE2\x80\x9ENadel\xE2\x80\x9C");

    // One format at a time.
    r = RunCli({L"--json", L"--csv", L"needle", tree.Path()});
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_NE(r.err.find("exclude each other"), std::string::npos) << r.err;
}

}  // namespace
