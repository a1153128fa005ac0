// What outlives a pass: the ignore list between runs, and the checks'
// exports as other programs read them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qa/CheckReport.h"
#include "qa/IgnoreList.h"
#include "tests/TableReaders.h"
#include "tests/TestFiles.h"

namespace {

CheckRow Row(CheckKind kind, const std::wstring& path, const std::wstring& id, const std::wstring& source,
             const std::wstring& target) {
    ShownSegment segment{id, source, target, {}, {}, {}};
    return MakeCheckRow(path, segment, kind, L"3.5 missing in the target", {{0, 3}}, {});
}

}  // namespace

TEST(IgnoreList, KeepsANoteAcrossRunsUntilItsSegmentChanges) {
    TempDir dir;
    const std::wstring file = dir / L"Ignored checks.txt";
    const CheckRow numbers = Row(CheckKind::kNumbers, L"C:\\Project\\de\\a.xlf", L"tu\t7", L"3.5 kg", L"3 kg");
    const CheckRow tags = Row(CheckKind::kTags, L"C:\\Project\\de\\a.xlf", L"tu\t7", L"3.5 kg", L"3 kg");
    {
        IgnoreList list;
        ASSERT_TRUE(list.Load(file)) << "a list that is not there yet is empty";
        EXPECT_EQ(list.Size(), 0u);
        list.Add(numbers);
        DWORD error = 0;
        ASSERT_TRUE(list.Save(file, &error)) << error;
    }
    IgnoreList again;
    ASSERT_TRUE(again.Load(file));
    EXPECT_TRUE(again.Contains(numbers));
    EXPECT_FALSE(again.Contains(tags)) << "another check on the same segment";
    CheckRow otherCase = numbers;
    otherCase.path = L"c:\\project\\DE\\A.XLF";
    EXPECT_TRUE(again.Contains(otherCase)) << "file names are compared without case";
    CheckRow edited = numbers;
    edited.target = L"3,5 kg";
    EXPECT_FALSE(again.Contains(edited)) << "an edited target brings the note back";
    CheckRow editedSource = numbers;
    editedSource.source = L"3.5 kg ";
    EXPECT_FALSE(again.Contains(editedSource));
    CheckRow otherId = numbers;
    otherId.id = L"tu 7";
    EXPECT_FALSE(again.Contains(otherId)) << "a tab in the id survives the file";
    again.Remove(numbers);
    EXPECT_FALSE(again.Contains(numbers));
    EXPECT_EQ(IgnoreList::TextHash(L"ab", L"c") == IgnoreList::TextHash(L"a", L"bc"), false);
}

TEST(IgnoreList, PassesOverLinesItCannotRead) {
    TempDir dir;
    const CheckRow kept = Row(CheckKind::kSpaces, L"C:\\p\\b.po", L"12", L"a  b", L"x  y");
    IgnoreList list;
    list.Add(kept);
    DWORD error = 0;
    ASSERT_TRUE(list.Save(dir / L"list.txt", &error));
    const std::string good = ReadWholeFile(dir / L"list.txt");
    dir.WriteFile(L"list.txt", "garbage\r\nnot-a-check\t0123456789abcdef\tx\tC:\\f\r\nspaces\tnothex!!nothex!!\t1\tC:\\f\r\n"
                               "spaces\t0123\t1\tC:\\f\r\n" + good + "numbers\t0123456789abcdef\t1\t");
    IgnoreList read;
    ASSERT_TRUE(read.Load(dir / L"list.txt"));
    EXPECT_EQ(read.Size(), 1u);
    EXPECT_TRUE(read.Contains(kept));
}

TEST(CheckExport, TablesReadBackWithTheirColumns) {
    const CheckRow a = Row(CheckKind::kNumbers, L"C:\\p\\de\\a.xlf", L"1", L"Add 3.5, then \"stir\"", L"=3 dazu\nrühren");
    const CheckRow b = Row(CheckKind::kTags, L"C:\\p\\de\\b.tmx", L"tu2", L"x\ty", L"x y");
    for (TableFormat format : {TableFormat::kCsv, TableFormat::kTabs}) {
        const std::string bytes = CheckTable({&a, &b}, format);
        ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u);
        const auto records = ReadCsv(bytes.substr(3), format == TableFormat::kCsv ? ',' : '\t');
        ASSERT_EQ(records.size(), 3u);
        EXPECT_EQ(records[0], (std::vector<std::string>{"Check", "File", "Id", "Message", "Source", "Target", "Path"}));
        EXPECT_EQ(records[1][0], "numbers");
        EXPECT_EQ(records[1][1], "a.xlf");
        EXPECT_EQ(records[1][6], "C:\\p\\de\\a.xlf");
        EXPECT_EQ(records[2][0], "tags");
        EXPECT_EQ(records[2][2], "tu2");
        if (format == TableFormat::kCsv) {
            EXPECT_EQ(records[1][4], "Add 3.5, then \"stir\"");
            EXPECT_EQ(records[1][5], "'=3 dazu\nrühren") << "a formula cell is made harmless";
        } else {
            EXPECT_EQ(records[2][4], "x y");
        }
    }
}

TEST(CheckExport, HtmlGroupsByCheckWithCountsAndMarks) {
    const CheckRow n1 = Row(CheckKind::kNumbers, L"C:\\p\\a.xlf", L"1", L"3.5 <kg>", L"3 kg");
    const CheckRow t1 = Row(CheckKind::kTags, L"C:\\p\\a.xlf", L"2", L"a", L"b");
    const CheckRow n2 = Row(CheckKind::kNumbers, L"C:\\p\\b.xlf", L"9", L"7 & 8", L"7");
    const std::string html = CheckHtml(L"Checks", L"Checked 3 segments", {&t1, &n1, &n2});
    const size_t numbers = html.find("<h2>Numbers (2)</h2>");
    const size_t tags = html.find("<h2>Tags (1)</h2>");
    ASSERT_NE(numbers, std::string::npos) << html;
    ASSERT_NE(tags, std::string::npos);
    EXPECT_LT(numbers, tags) << "groups in the checks' order, not the rows'";
    EXPECT_LT(html.find("b.xlf"), tags) << "both numbers rows sit in their group";
    EXPECT_NE(html.find("<mark>3.5</mark> &lt;kg&gt;"), std::string::npos) << "the span is marked, the text escaped";
    EXPECT_NE(html.find("<mark>7 &amp;</mark> 8"), std::string::npos);
}
