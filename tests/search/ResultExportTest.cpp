// Exported results read back as other programs read them: CSV and
// tab-separated tables, JSON Lines and the HTML report.
#include <gtest/gtest.h>

#include <rapidxml/rapidxml.hpp>

#include <string>
#include <vector>

#include "base/SearchRecords.h"
#include "search/ResultExport.h"
#include "tests/TableReaders.h"
#include "tests/TestFiles.h"

namespace {

struct RowOwner {
    std::vector<FileResult*> rows;
    ~RowOwner() {
        for (FileResult* r : rows)
            r->Release();
    }
    FileResult* Add(const std::wstring& path, int status, unsigned long long size = 1234) {
        WIN32_FIND_DATAW entry{};
        const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
        wcsncpy(entry.cFileName, name.c_str(), MAX_PATH - 1);
        entry.nFileSizeLow = static_cast<DWORD>(size);
        entry.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        SYSTEMTIME t{2026, 12, 2, 8, 9, 5, 7, 0};
        SystemTimeToFileTime(&t, &entry.ftLastWriteTime);
        FileResult* r = FileResult::Create(path.c_str(), entry);
        r->AddRef();
        r->status = status;
        rows.push_back(r);
        return r;
    }
};

void AddHit(FileResult* r, int start, int end, const std::wstring& context, int contextStart) {
    auto m = Match::Hit(start, end);
    m->context = context;
    m->contextStart = contextStart;
    r->matches.push_back(std::move(m));
}

// Names and texts that break naive writers.
const std::wstring kOddName = L"a, \"b\" \u00E9\u4E2D\U0001F600.txt";
const std::wstring kDeep = L"C:\\" + std::wstring(300, L'd') + L"\\";

TEST(ResultExport, TablesReadBackFieldForField) {
    RowOwner own;
    FileResult* odd = own.Add(L"C:\\p, q\\" + kOddName, kFileSearched, 5000000000ULL);
    odd->fileType = L"Text (Windows-1252)";
    AddHit(odd, 0, 1, L"x", 0);
    AddHit(odd, 2, 3, L"x", 0);
    FileResult* failed = own.Add(kDeep + L"broken.XLZ", kFileFailed);
    failed->matches.push_back(Match::Failure());
    failed->reason = L"not an archive";
    FileResult* bilingual = own.Add(L"C:\\t\\b.xlf", kFileSearched, 10);
    AddHit(bilingual, 0, 6, L"needle", 0);
    bilingual->segments.push_back({L"u,1", L"needle \"one\"\r\nline two", L"Nadel\teins", {{0, 6}}, {}, {}});
    bilingual->segments.push_back({L"#2", L" lead", L"", {}, {}, {}});
    own.Add(L"C:\\t\\ lead.txt", kFileListed);

    std::string csv = kUtf8Bom + TableHeader(TableFormat::kCsv);
    for (FileResult* r : own.rows)
        csv += TableRows(*r, TableFormat::kCsv);
    ASSERT_EQ(csv.compare(0, 3, "\xEF\xBB\xBF"), 0) << "spreadsheets need the byte-order mark";
    EXPECT_EQ(csv.find('\n'), csv.find("\r\n") + 1) << "lines end with CR LF";
    std::vector<std::vector<std::string>> records;
    ASSERT_NO_THROW(records = ReadCsv(csv.substr(3))) << csv;
    ASSERT_EQ(records.size(), 7u);
    for (const auto& record : records)
        EXPECT_EQ(record.size(), 11u);
    EXPECT_EQ(records[0], (std::vector<std::string>{"Path", "Name", "Matches", "Location", "Size", "File type",
                                                     "Updated", "Segment", "Source", "Target", "Reason"}));
    EXPECT_EQ(records[1], (std::vector<std::string>{Utf8(L"C:\\p, q\\" + kOddName), Utf8(kOddName), "2",
                                                     "C:\\p, q\\", "5000000000", "Text (Windows-1252)",
                                                     "2026-12-08T09:05:07Z", "", "", "", ""}));
    EXPECT_EQ(records[2][0], Utf8(kDeep + L"broken.XLZ")) << "a long path is never cut";
    EXPECT_EQ(records[2][2], "read error");
    EXPECT_EQ(records[2][5], "Failed");
    EXPECT_EQ(records[2][10], "not an archive");
    EXPECT_EQ(records[3][2], "1");
    EXPECT_EQ(records[4], (std::vector<std::string>{"C:\\t\\b.xlf", "", "", "", "", "", "", "u,1",
                                                     "needle \"one\"\r\nline two", "Nadel\teins", ""}));
    EXPECT_EQ(records[5][7], "#2");
    EXPECT_EQ(records[5][8], " lead") << "leading spaces survive quoting";
    EXPECT_EQ(records[6][1], " lead.txt");
    EXPECT_EQ(records[6][2], "-") << "a listed file has no count";

    // Tab-separated: tabs and line breaks inside fields become spaces.
    std::string tabs = TableHeader(TableFormat::kTabs);
    for (FileResult* r : own.rows)
        tabs += TableRows(*r, TableFormat::kTabs);
    // Fields that hold a quote come quoted, as a quote-aware reader takes them.
    std::vector<std::vector<std::string>> lines;
    ASSERT_NO_THROW(lines = ReadCsv(tabs, '\t')) << tabs;
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[4][8], "needle \"one\"  line two");
    EXPECT_EQ(lines[4][9], "Nadel eins");
    EXPECT_EQ(lines[1][0], Utf8(L"C:\\p, q\\" + kOddName));
}

TEST(ResultExport, JsonRowsAreValidUtf8WhateverTheNamesHold) {
    RowOwner own;
    // A lone surrogate and control characters: file names on Windows are
    // sequences of units, not necessarily text.
    const std::wstring lone = std::wstring(L"lone") + wchar_t(0xD83D) + L"x\x01" + wchar_t(0xDFFF) + wchar_t(0xD800) +
                              L".txt";
    FileResult* odd = own.Add(L"C:\\d\\" + lone, kFileSearched);
    AddHit(odd, 10, 16, L"a \"quoted\" \\ needle\ttab", 4);
    odd->segments.push_back({L"7", L"src \U0001F600", L"tgt", {}, {}, {}});
    FileResult* failed = own.Add(kDeep + L"f.txt", kFileFailed);
    failed->matches.push_back(Match::Failure());
    own.Add(L"C:\\d\\listed.txt", kFileListed);

    std::vector<JsonValue> rows;
    for (FileResult* r : own.rows) {
        const std::string line = JsonRow(*r, true, true);
        ASSERT_EQ(line.back(), '\n');
        ASSERT_EQ(line.find('\n'), line.size() - 1) << "one object a line";
        rows.push_back(ReadJson(line));
    }
    const JsonValue& first = rows[0];
    std::u16string expectedPath = u"C:\\d\\lone";
    expectedPath += char16_t(0xD83D);
    expectedPath += u"x\x01";
    expectedPath += char16_t(0xDFFF);
    expectedPath += char16_t(0xD800);
    expectedPath += u".txt";
    EXPECT_EQ(first["path"].string, expectedPath) << "the lone unit survives as an escape";
    EXPECT_EQ(first["count"].number, 1);
    EXPECT_EQ(first["size"].number, 1234);
    EXPECT_EQ(first["updated"].Utf8(), "2026-12-08T09:05:07Z");
    EXPECT_EQ(first["type"].Utf8(), "txt");
    ASSERT_EQ(first["matches"].items.size(), 1u);
    EXPECT_EQ(first["matches"].items[0]["start"].number, 10);
    EXPECT_EQ(first["matches"].items[0]["end"].number, 16);
    EXPECT_EQ(first["matches"].items[0]["contextStart"].number, 4);
    EXPECT_EQ(first["matches"].items[0]["context"].Utf8(), "a \"quoted\" \\ needle\ttab");
    ASSERT_EQ(first["segments"].items.size(), 1u);
    EXPECT_EQ(first["segments"].items[0]["source"].Utf8(), Utf8(L"src \U0001F600"));
    EXPECT_EQ(rows[1]["error"].Utf8(), "read error");
    EXPECT_FALSE(rows[1].Has("count"));
    EXPECT_EQ(rows[1]["path"].Utf8(), Utf8(kDeep + L"f.txt"));
    EXPECT_TRUE(rows[2]["listed"].boolean);
    EXPECT_FALSE(rows[2].Has("matches")) << "a listed file has no hits to give";

    // Without -c and --segments the row stays short.
    const JsonValue plain = ReadJson(JsonRow(*odd, false, false));
    EXPECT_FALSE(plain.Has("matches"));
    EXPECT_FALSE(plain.Has("segments"));

    SearchRequest request{};
    request.filesSearched = 9;
    request.filesMatched = 2;
    request.matchCount = 5;
    request.filesFailed = 1;
    const JsonValue summary = ReadJson(JsonSummary(request, L"Searched 9 files."))["summary"];
    EXPECT_EQ(summary["searched"].number, 9);
    EXPECT_EQ(summary["matched"].number, 2);
    EXPECT_EQ(summary["matches"].number, 5);
    EXPECT_EQ(summary["failed"].number, 1);
    EXPECT_EQ(summary["text"].Utf8(), "Searched 9 files.");
}

// The text of an element and everything below it.
std::string AllText(rapidxml::xml_node<>* node) {
    if (node->type() == rapidxml::node_data)
        return node->value();
    std::string text;
    for (auto* child = node->first_node(); child; child = child->next_sibling())
        text += AllText(child);
    return text;
}

std::vector<std::string> MarkedTexts(rapidxml::xml_node<>* node, const char* markClass) {
    std::vector<std::string> marks;
    for (auto* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        if (std::string(child->name()) == "mark") {
            auto* cls = child->first_attribute("class");
            if ((cls ? std::string(cls->value()) : std::string()) == markClass)
                marks.push_back(AllText(child));
        }
        for (const std::string& m : MarkedTexts(child, markClass))
            marks.push_back(m);
    }
    return marks;
}

TEST(ResultExport, HtmlReportParsesWithItsTableRowsAndMarks) {
    RowOwner own;
    FileResult* plain = own.Add(L"C:\\d\\<a&b>.txt", kFileSearched);
    AddHit(plain, 0, 0, L"", 0);  // a record without a line is passed over
    AddHit(plain, 12, 18, L"line with a needle\there", 0);
    FileResult* failed = own.Add(L"C:\\d\\bad.xlz", kFileFailed);
    failed->matches.push_back(Match::Failure());
    failed->reason = L"no XLIFF entry in the archive";
    plain->fileType = L"Text (UTF-8)";
    FileResult* bilingual = own.Add(L"C:\\d\\b.xlf", kFileSearched);
    AddHit(bilingual, 0, 6, L"needle", 0);
    bilingual->segments.push_back({L"u1", L"the needle", L"die Nadel", {{4, 10}}, {}, {{4, 9}}});

    ReportHeading heading;
    heading.title = L"Mirlock: \"needle\"";
    heading.request = {{L"Search for", L"needle"}, {L"Look in", L"C:\\d"}};
    heading.summary = L"Found 2 matches in 2 files.";
    std::string html = HtmlReport(heading, {plain, failed, bilingual});
    ASSERT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("<td>the <mark>needle</mark></td>"), std::string::npos);
    EXPECT_NE(html.find("@media print"), std::string::npos);
    rapidxml::xml_document<> doc;
    ASSERT_NO_THROW(doc.parse<0>(html.data())) << "the report is well formed";
    auto* root = doc.first_node("html");
    ASSERT_TRUE(root);
    auto* body = root->first_node("body");
    ASSERT_TRUE(body);
    EXPECT_EQ(AllText(root->first_node("head")->first_node("title")), "Mirlock: \"needle\"");
    auto* table = body->first_node("table");
    ASSERT_TRUE(table);
    auto* tbody = table->first_node("tbody");
    ASSERT_TRUE(tbody);
    std::vector<std::string> fileRows;
    int lineRows = 0;
    for (auto* tr = tbody->first_node("tr"); tr; tr = tr->next_sibling("tr")) {
        const std::string cls = tr->first_attribute("class")->value();
        if (cls == "lines") {
            ++lineRows;
            continue;
        }
        std::vector<std::string> cells;
        for (auto* td = tr->first_node("td"); td; td = td->next_sibling("td"))
            cells.push_back(AllText(td));
        ASSERT_EQ(cells.size(), 7u);
        fileRows.push_back(cells[0] + "|" + cells[1] + "|" + cells[2] + "|" + cells[4] + "|" + cells[6] + "|" + cls);
    }
    EXPECT_EQ(fileRows, (std::vector<std::string>{"<a&b>.txt|2|C:\\d\\|Text (UTF-8)||file",
                                                  "bad.xlz|read error|C:\\d\\|Failed|no XLIFF entry in the archive|failed",
                                                  "b.xlf|1|C:\\d\\|||file"}));
    EXPECT_EQ(lineRows, 2) << "a failed file has no lines under it";
    EXPECT_EQ(MarkedTexts(tbody, ""), (std::vector<std::string>{"needle", "needle", "needle"}));
    EXPECT_EQ(MarkedTexts(tbody, "c"), (std::vector<std::string>{"Nadel"})) << "the target condition's hit";
}

}  // namespace

TEST(ResultExport, CellsThatSpreadsheetsWouldRunAreWrittenAsText) {
    RowOwner own;
    FileResult* formula = own.Add(L"C:\\d\\=1+1.txt", kFileSearched);
    AddHit(formula, 0, 1, L"x", 0);
    formula->segments.push_back({L"1", L"=HYPERLINK(\"http://x\",\"y\")", L"-5 +3", {}, {}, {}});
    formula->segments.push_back({L"@2", L"+x", L"\tindented", {}, {}, {}});
    std::string csv = TableHeader(TableFormat::kCsv) + TableRows(*formula, TableFormat::kCsv);
    std::vector<std::vector<std::string>> records;
    ASSERT_NO_THROW(records = ReadCsv(csv)) << csv;
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1][1], "'=1+1.txt");
    EXPECT_EQ(records[2][8], "'=HYPERLINK(\"http://x\",\"y\")");
    EXPECT_EQ(records[2][9], "'-5 +3");
    EXPECT_EQ(records[3][7], "'@2");
    EXPECT_EQ(records[3][8], "'+x");
    EXPECT_EQ(records[3][9], "'\tindented");
    EXPECT_EQ(records[1][0], "C:\\d\\=1+1.txt") << "a cell that only holds such a character later is left alone";
    // Tab-separated: the same apostrophe; the tab inside is a space as ever.
    const std::string tabs = TableRows(*formula, TableFormat::kTabs);
    EXPECT_NE(tabs.find("\t'=1+1.txt\t"), std::string::npos) << tabs;
    EXPECT_NE(tabs.find("\t' indented"), std::string::npos) << tabs;

    // A tab-separated field that holds a quote is written quoted, so that a
    // reader that knows quotes neither merges columns nor swallows the rows
    // after it; every other field is written as it is.
    FileResult* quoted = own.Add(L"C:\\d\\\"q.txt", kFileSearched);
    AddHit(quoted, 0, 1, L"x", 0);
    quoted->segments.push_back({L"\"7", L"\"Quoted\" start", L"mid \" quote", {}, {}, {}});
    quoted->segments.push_back({L"8", L"\"", L"after", {}, {}, {}});
    const std::string table = TableHeader(TableFormat::kTabs) + TableRows(*quoted, TableFormat::kTabs);
    ASSERT_NO_THROW(records = ReadCsv(table, '\t')) << table;
    ASSERT_EQ(records.size(), 4u) << table;
    for (const auto& record : records)
        EXPECT_EQ(record.size(), 11u) << table;
    EXPECT_EQ(records[1][1], "\"q.txt");
    EXPECT_EQ(records[2][7], "\"7");
    EXPECT_EQ(records[2][8], "\"Quoted\" start");
    EXPECT_EQ(records[2][9], "mid \" quote");
    EXPECT_EQ(records[3][8], "\"");
    EXPECT_EQ(records[3][9], "after");
    EXPECT_NE(table.find("\t8\t\"\"\"\"\tafter\t"), std::string::npos) << "other fields as they are";
}
