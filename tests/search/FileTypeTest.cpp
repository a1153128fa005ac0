// Each row says what its file was read as, and each failed row why it failed:
// one fixture per kind and per reason, through the real walk and converters.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "converters/ConverterList.h"
#include "search/Searcher.h"
#include "tests/RecordingSink.h"
#include "tests/TestFiles.h"
#include "tests/ZipWriter.h"

namespace {

std::string Zip(std::vector<std::pair<std::string, std::string>> parts) {
    ZipLayout layout;
    for (auto& [name, data] : parts)
        layout.entries.push_back({name, data});
    return BuildZip(layout);
}

const char kXliff12[] =
    "<xliff version=\"1.2\"><file><body><trans-unit id=\"1\"><source>needle</source></trans-unit></body></file></xliff>";

TEST(FileType, EveryRowSaysWhatItWasReadAsOrWhyItFailed) {
    TempDir dir;
    struct Fixture {
        const wchar_t* name;
        std::string bytes;
        const wchar_t* fileType;  // for a row that was read
        const wchar_t* reason;    // for a failed row
    };
    const std::string wordXml =
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body><w:p><w:r>"
        "<w:t>needle</w:t></w:r></w:p></w:body></w:document>";
    const Fixture fixtures[] = {
        {L"utf8.txt", "caf\xC3\xA9 needle", L"Text (UTF-8)", nullptr},
        {L"utf16.txt", std::string("\xFF\xFEn\0e\0e\0d\0l\0e\0", 14), L"Text (UTF-16)", nullptr},
        {L"ansi.txt", "needle \x93q\x94", L"Text (Windows-1252)", nullptr},
        {L"a.xlf", kXliff12, L"XLIFF 1.2", nullptr},
        {L"b.xlf",
         "<xliff version=\"2.0\"><file><unit id=\"1\"><segment><source>needle</source></segment></unit></file></xliff>",
         L"XLIFF 2.0", nullptr},
        {L"c.xlz", Zip({{"content.xlf", kXliff12}}), L"XLZ", nullptr},
        {L"d.ttx", "\xFF\xFE" + Utf16Bytes(L"<TRADOStag><Body><Raw><Tu><Tuv Lang=\"EN\">needle</Tuv></Tu></Raw></Body></TRADOStag>"), L"TTX", nullptr},
        {L"e.tmx", "<tmx><body><tu><tuv xml:lang=\"en\"><seg>needle</seg></tuv></tu></body></tmx>", L"TMX", nullptr},
        {L"f.po", "msgid \"needle\"\nmsgstr \"Nadel\"\n", L"PO", nullptr},
        {L"g.docx", Zip({{"word/document.xml", wordXml}}), L"Word document", nullptr},
        {L"h.lwo", Zip({{"doc.xml", "<lwo><p lc=\"en-US\">needle</p></lwo>"}}), L"LWO", nullptr},
        // One per reason.
        {L"bad.tmx", "<tmx><body>\n<tu><tuv><seg>needle</tu>", nullptr, L"not well-formed XML, line 2, column "},
        // A variant outside the units is read in one parse of the whole
        // memory, its white space between elements marked first.
        {L"whole.tmx", "<tmx><body><x:tu><tuv><seg>needle</seg></tuv></x:tu>\n\n<broken</body></tmx>", nullptr,
         L"not well-formed XML, line 3, column "},
        {L"broken.xlf", "<xliff>\n  <file><body>\n<trans-unit>needle", nullptr, L"not well-formed XML, line 3, column "},
        {L"wide.xlf", std::string("\xFF\xFE<\0x\0", 6), nullptr, L"an XLIFF document in UTF-16"},
        {L"plain.xlz", "needle, but no archive", nullptr, L"not an archive"},
        {L"empty.xlz", Zip({{"readme.txt", "needle"}}), nullptr, L"no XLIFF entry in the archive"},
        {L"cut.xlz", Zip({{"content.xlf", kXliff12}}).substr(0, 60) + std::string(30, 'x') +
                         Zip({{"content.xlf", kXliff12}}).substr(Zip({{"content.xlf", kXliff12}}).size() - 22),
         nullptr, L"a damaged archive"},
        {L"locked.docx", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 needle", nullptr, L"an encrypted or damaged office document"},
        {L"hollow.docx", Zip({{"word/document.xml", "<w:document><w:body>needle"}}), nullptr,
         L"a damaged office document"},
    };
    for (const Fixture& f : fixtures)
        dir.WriteFile(f.name, f.bytes);
    ConverterList converters;
    converters.SetReadUtf8(true);
    converters.BuildConverters(ConverterModeIFilter);
    SearchRequest request;
    RecordingSink sink(&request);
    for (int workers : {1, 2}) {
        request = MakeRequest(L"needle", dir.Path(), &sink);
        sink.results.clear();
        Searcher searcher;
        searcher.SetWorkers(workers);
        ASSERT_TRUE(searcher.StartSearch(&request, &converters));
        for (int steps = 0; searcher.Step() && steps < 100000; ++steps) {
            if (searcher.IsWaiting())
                WaitForSingleObject(searcher.WorkerEvent(), 10000);
        }
        std::map<std::wstring, const FileResult*> rows;
        for (const FileResult* r : sink.results)
            rows[r->name] = r;
        for (const Fixture& f : fixtures) {
            const auto found = rows.find(f.name);
            ASSERT_NE(found, rows.end()) << testing::PrintToString(std::wstring(f.name));
            const FileResult& row = *found->second;
            if (f.fileType) {
                EXPECT_EQ(row.status, kFileSearched) << testing::PrintToString(row.reason);
                EXPECT_EQ(row.fileType, f.fileType);
            } else {
                EXPECT_EQ(row.status, kFileFailed) << testing::PrintToString(std::wstring(f.name));
                EXPECT_EQ(row.reason.rfind(f.reason, 0), 0u)
                    << testing::PrintToString(std::wstring(f.name)) << " " << testing::PrintToString(row.reason);
            }
        }
    }
}

}  // namespace

namespace {

std::vector<const FileResult*> SearchFolder(const std::wstring& folder, const wchar_t* text, int regex,
                                            RecordingSink& sink, SearchRequest& request, ConverterList& converters) {
    request = MakeRequest(text, folder, &sink);
    request.regex = regex;
    sink.results.clear();
    Searcher searcher;
    EXPECT_TRUE(searcher.StartSearch(&request, &converters));
    while (searcher.Step()) {
    }
    return {sink.results.begin(), sink.results.end()};
}

}  // namespace

TEST(FileType, AFileHeldByAnotherProgramAndAnExpressionTooComplexSayWhy) {
    TempDir dir;
    dir.WriteFile(L"locked.txt", "needle");
    dir.WriteFile(L"long.txt", std::string(6000, 'x'));  // no y: the library gives up before any hit
    ConverterList converters;
    converters.BuildConverters(ConverterModeTextOnly);
    SearchRequest request;
    RecordingSink sink(&request);
    {
        // Held open with no sharing, as an editor that locks its file does.
        HANDLE held = CreateFileW((dir / L"locked.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const auto rows = SearchFolder(dir.Path(), L"needle", 0, sink, request, converters);
        CloseHandle(held);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0]->status, kFileFailed);
        // The system's own words follow.
        EXPECT_EQ(rows[0]->reason.rfind(L"the file cannot be read: ", 0), 0u) << testing::PrintToString(rows[0]->reason);
        EXPECT_GT(rows[0]->reason.size(), 26u);
    }
    const auto rows = SearchFolder(dir.Path(), L"(x+x+)+y", 1, sink, request, converters);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->name, std::wstring(L"long.txt"));
    EXPECT_EQ(rows[0]->status, kFileFailed);
    EXPECT_EQ(rows[0]->reason, L"the regular expression is too complex for this file");
}
