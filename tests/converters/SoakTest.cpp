// Long use: thousands of conversions per converter in one process give back
// every handle and all their memory. MIRLOCK_SOAK sets the number of
// conversions (the default keeps ./test quick; the runs use 10000).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "converters/ConverterList.h"
#include "converters/installed/FilterConverter.h"
#include "converters/installed/LibConverter.h"
#include "converters/translation/LwoConverter.h"
#include "converters/office/OdfConverter.h"
#include "converters/office/OoxmlConverter.h"
#include "converters/translation/TmxConverter.h"
#include "converters/translation/TtxConverter.h"
#include "converters/TxtConverter.h"
#include "converters/translation/XliffConverter.h"
#include "converters/translation/XlzConverter.h"
#include "tests/ConvertHelper.h"
#include "tests/ConverterRegistration.h"
#include "tests/FilterRegistration.h"
#include "tests/ProcessUsage.h"
#include "tests/TestFiles.h"
#include "tests/ZipWriter.h"

namespace {

int SoakCount() {
    const char* value = getenv("MIRLOCK_SOAK");
    return value && atoi(value) > 0 ? atoi(value) : 200;
}

TEST(Soak, ConversionsGiveBackHandlesAndMemory) {
    ASSERT_TRUE(RegisterTestFilter());
    ASSERT_TRUE(RegisterTestConverters());
    TempDir dir;
    const std::string xliff = "<xliff version=\"1.2\"><file><body><trans-unit><source>a</source><target>b</target>"
                              "</trans-unit></body></file></xliff>";
    dir.WriteFile(L"a.txt", "plain \x93text\x94");
    dir.WriteFile(L"a.ttx", "\xFF\xFE" + Utf16Bytes(L"<TRADOStag><Body><Raw><Tu><Tuv Lang=\"EN\">a</Tuv><Tuv Lang=\"DE\">b"
                                                    L"</Tuv></Tu></Raw></Body></TRADOStag>"));
    dir.WriteFile(L"a.xlf", xliff);
    dir.WriteFile(L"broken.xlf", "<xliff><file><body><trans-unit><source>a");
    ZipLayout xlz;
    xlz.entries = {{"a.xlf", xliff, 8, 8, true}};
    dir.WriteFile(L"a.xlz", BuildZip(xlz));
    ZipLayout lwo;
    lwo.entries = {{"doc.xml", "<d><p lc=\"en\">a</p></d>"}};
    dir.WriteFile(L"a.lwo", BuildZip(lwo));
    dir.WriteFile(L"a.tmx", "<tmx><body><tu><tuv><seg>a</seg></tuv></tu></body></tmx>");
    dir.WriteFile(L"a.mtfb", "TEXT EOP filtered text\n");
    dir.WriteFile(L"not-a-zip.docx", "plain");
    dir.WriteFile(L"a.mtc", "MTCV\n{\\rtf1\\ansi converted {\\v text}\\par}");
    const std::wstring office = std::wstring(MIRLOCK_TEST_DATA) + L"\\office\\fixture.";

    struct Subject {
        const wchar_t* what;
        std::unique_ptr<DocConverter> converter;
        std::wstring path;
        bool converts;
    };
    Subject subjects[] = {
        {L"text", std::make_unique<TxtConverter>(), dir / L"a.txt", true},
        {L"ttx", std::make_unique<TtxConverter>(), dir / L"a.ttx", true},
        {L"xliff", std::make_unique<XliffConverter>(), dir / L"a.xlf", true},
        {L"broken xliff", std::make_unique<XliffConverter>(), dir / L"broken.xlf", false},
        {L"xlz", std::make_unique<XlzConverter>(), dir / L"a.xlz", true},
        {L"lwo", std::make_unique<LwoConverter>(), dir / L"a.lwo", true},
        {L"tmx", std::make_unique<TmxConverter>(), dir / L"a.tmx", true},
        {L"docx", std::make_unique<OoxmlConverter>(), office + L"docx", true},
        {L"xlsx", std::make_unique<OoxmlConverter>(), office + L"xlsx", true},
        {L"pptx", std::make_unique<OoxmlConverter>(), office + L"pptx", true},
        {L"damaged docx", std::make_unique<OoxmlConverter>(), dir / L"not-a-zip.docx", false},
        {L"odt", std::make_unique<OdfConverter>(), office + L"odt", true},
        {L"ods", std::make_unique<OdfConverter>(), office + L"ods", true},
        {L"content filter", std::make_unique<FilterConverter>(), dir / L"a.mtfb", true},
        {L"import converter", TestImportConverter(L"MirlockTestMtc"), dir / L"a.mtc", true},
    };
    const int count = SoakCount();
    for (Subject& s : subjects) {
        const SearchRequest request = ConverterRequest();
        auto once = [&] { return ConvertToText(*s.converter, s.path, request).has_value(); };
        // The first conversions fill the caches that stay (thread buffers,
        // the filter's library): the level is taken after them.
        for (int i = 0; i < 20; ++i)
            ASSERT_EQ(once(), s.converts) << testing::PrintToString(std::wstring(s.what));
        const ProcessUsage before = MeasureProcessUsage();
        for (int i = 0; i < count; ++i)
            once();
        const ProcessUsage after = MeasureProcessUsage();
        ASSERT_GT(before.handles, 0u) << "the handle count is taken";
        ASSERT_GT(before.heapBytes, 0u) << "the heap is walked";
        EXPECT_LE(after.handles, before.handles) << testing::PrintToString(std::wstring(s.what));
        EXPECT_LT(static_cast<long long>(after.heapBytes) - static_cast<long long>(before.heapBytes), 256 << 10)
            << testing::PrintToString(std::wstring(s.what));
        if (getenv("MIRLOCK_SOAK"))
            printf("%-15ls %6d conversions: handles %u -> %u, heap %.2f -> %.2f MB, working set %.1f -> %.1f MB\n",
                   s.what, count, before.handles, after.handles, before.heapBytes / 1e6, after.heapBytes / 1e6,
                   before.workingSet / 1e6, after.workingSet / 1e6);
    }
}

}  // namespace
