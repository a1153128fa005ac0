// Files read through a content filter: the break rules, what is skipped,
// what fails a file, the same text through the host as in this process,
// references released on every path, and the place of the filter converter
// in the list.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>

#include "base/ScopedHandle.h"
#include "base/SearchRecords.h"
#include "converters/ConverterList.h"
#include "converters/DocConverter.h"
#include "converters/installed/FilterConverter.h"
#include "converters/installed/FilterLoader.h"
#include "converters/installed/FilterText.h"
#include "converters/TxtConverter.h"
#include "tests/FilterRegistration.h"
#include "tests/TestFiles.h"

namespace {

class FilterConverterTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // The search's thread, as the programs set it up.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        registered = RegisterTestFilter();
    }

    void SetUp() override {
        ASSERT_TRUE(registered);
        converters.BuildConverters(0);
    }

    // The text of a file holding `script`, read by the converter that mode 0
    // chooses for it; `ok` tells whether there was a text at all.
    std::wstring Read(const std::string& script, bool* ok = nullptr, const wchar_t* extension = L".mtfb") {
        const std::wstring path = files / (L"doc" + std::to_wstring(++serial) + extension);
        files.WriteFile(path.substr(files.Path().size()), script);
        DocConverter* prototype = converters.FindConverter(path.c_str());
        EXPECT_TRUE(dynamic_cast<FilterConverter*>(prototype)) << "not read through the filter";
        if (!prototype)
            return L"";
        SearchRequest request{};
        ScopedTextBlock block(prototype->Clone()->Convert(path.c_str(), request));
        if (ok)
            *ok = block.IsValid();
        GlobalLockGuard<wchar_t> text(block.Get());
        return text.Get() ? std::wstring(text.Get()) : std::wstring();
    }

    static inline bool registered = false;
    TempDir files;
    ConverterList converters;
    int serial = 0;
};

}  // namespace

// The scripts of the chunk rules: each read through the host must give what
// the same loops give in this process, byte for byte.
const char* const kChunkScripts[] = {
    "TEXT EOP First\nTEXT EOW word\nTEXT NONE joined\nTEXT EOS Next\nTEXT EOC Chapter\n",
    "REPEAT NONE 4096 a\nLAST NONE b\n",
    "REPEAT NONE 9000 c\n",
    "REPEAT EOP 300000 d\nTEXT EOW tail\n",
    "TEXT NONE a\nEMBEDDING\nVALUE The title\nLINK\nTEXT EOW b\n",
    "TEXT NONE x\\0y\nTEXT EOW \xE2\x80\x9Cquoted\xE2\x80\x9D\n",
    "",
    "TEXT NONE kept\nACCESS\n",
    "TEXT NONE kept\nFAILTEXT NONE abc\n",
    "FAILINIT\nTEXT NONE a\n",
};

TEST_F(FilterConverterTest, ChunksJoinByTheirBreaks) {
    // The separator comes before a chunk's text: a first paragraph begins the text with a line break.
    EXPECT_EQ(Read(kChunkScripts[0]), L"\r\nFirst wordjoined\r\nNext\r\nChapter");
    // A text of 4,096 characters and more goes on in the same chunk without a separator.
    EXPECT_EQ(Read(kChunkScripts[1]), std::wstring(4096, L'a') + L"b");
    EXPECT_EQ(Read(kChunkScripts[2]), std::wstring(9000, L'c'));
    // Unavailable embeddings and links, and value chunks, leave no trace.
    EXPECT_EQ(Read(kChunkScripts[4]), L"a b");
    // A NUL inside a text becomes a space and the text goes on; typographic
    // characters stay as the filter gave them (the search folds them).
    EXPECT_EQ(Read(kChunkScripts[5]), L"x y \u201Cquoted\u201D");
    bool ok = false;
    EXPECT_EQ(Read("", &ok), L"");
    EXPECT_TRUE(ok) << "a document without text is an empty text, not a failure";
}

TEST_F(FilterConverterTest, TheHostGivesTheTextOfTheLoopsInThisProcess) {
    for (const char* script : kChunkScripts) {
        const std::wstring path = files / (L"same" + std::to_wstring(++serial) + L".mtfb");
        files.WriteFile(path.substr(files.Path().size()), script);
        std::wstring here;
        const FilterRead outcome = ReadFilterText(path.c_str(), &here);
        bool ok = false;
        const std::wstring hosted = Read(script, &ok);
        EXPECT_EQ(ok, outcome == FilterRead::kText) << script;
        EXPECT_TRUE(hosted == here) << script << ": " << hosted.size() << " units through the host, " << here.size()
                                    << " here";
        EXPECT_EQ(TestFilterLiveObjects(), 0) << script << ": the loops release the filter on every path";
    }
}

TEST_F(FilterConverterTest, FailuresFailTheWholeFile) {
    for (const char* script : {"TEXT NONE kept\nACCESS\n", "TEXT NONE kept\nFAILTEXT NONE abc\n", "FAILINIT\nTEXT NONE a\n",
                               "TEXT NONE a\nTHROW\n"}) {
        bool ok = true;
        EXPECT_EQ(Read(script, &ok), L"") << script;
        EXPECT_FALSE(ok) << script << ": no partial text";
    }
    // A filter that throws a C++ exception across the interface fails its
    // file in the host, which reads the next one.
    EXPECT_EQ(Read("TEXT EOW next\n"), L" next");
}

TEST_F(FilterConverterTest, EveryThreadingModelAndTheFileTypesClass) {
    for (const wchar_t* extension : {L".mtfa", L".mtfn", L".mtfp"})
        EXPECT_EQ(Read("TEXT EOW found\n", nullptr, extension), L" found") << extension;
}

TEST_F(FilterConverterTest, PlaceInTheListAndExtensionsWithoutFilter) {
    // Translation formats first, the filter before the plain text, which takes the rest.
    for (const wchar_t* name : {L"a.mtfb", L"a.txt", L"a.xlf", L"a.zzq"})
        files.WriteFile(name, "TEXT NONE a\n");
    EXPECT_TRUE(dynamic_cast<FilterConverter*>(converters.FindConverter((files / L"a.mtfb").c_str())));
    EXPECT_TRUE(dynamic_cast<TxtConverter*>(converters.FindConverter((files / L"a.txt").c_str())));
    EXPECT_TRUE(dynamic_cast<TxtConverter*>(converters.FindConverter((files / L"a.zzq").c_str())));
    EXPECT_FALSE(dynamic_cast<FilterConverter*>(converters.FindConverter((files / L"a.xlf").c_str())));
    // A filter that cannot be given its file is no filter for it: the file
    // is read by the converter that would have taken it without one.
    files.WriteFile(L"a.mtfx", "TEXT NONE a\n");
    EXPECT_TRUE(ExtensionHasFilter(L".mtfx"));
    DocConverter* prototype = converters.FindConverter((files / L"a.mtfx").c_str());
    ASSERT_TRUE(prototype);
    auto converter = prototype->Clone();
    SearchRequest request{};
    ScopedTextBlock block(converter->Convert((files / L"a.mtfx").c_str(), request));
    GlobalLockGuard<wchar_t> text(block.Get());
    ASSERT_TRUE(text.Get());
    EXPECT_STREQ(text.Get(), L"TEXT NONE a\n");
    EXPECT_TRUE(converter->IsPlainText()) << "read as plain text";
    converters.BuildConverters(2);
    EXPECT_TRUE(dynamic_cast<TxtConverter*>(converters.FindConverter((files / L"a.mtfb").c_str())));

    EXPECT_EQ(FileExtension(L"C:\\dir.d\\Name.MTFB"), L".mtfb");
    EXPECT_EQ(FileExtension(L"C:\\dir.d\\noextension"), L"");
    EXPECT_TRUE(ExtensionHasFilter(L".mtfb"));
    EXPECT_TRUE(ExtensionHasFilter(L".mtfp"));
    EXPECT_FALSE(ExtensionHasFilter(L".zzq"));
    EXPECT_FALSE(ExtensionHasFilter(L".mtfz")) << "a class identifier with letters beyond F";
    EXPECT_FALSE(ExtensionHasFilter(L""));
}

TEST_F(FilterConverterTest, AnExtensionWithoutFilterIsAskedAgainInTheNextSearch) {
    // Only this test uses the extension: it starts without a filter whatever
    // an earlier run left behind.
    UnregisterTestFilterFor(L".mtfl");
    files.WriteFile(L"late.mtfl", "TEXT NONE late\n");
    const std::wstring late = files / L"late.mtfl";
    converters.BeginSearch();
    EXPECT_TRUE(dynamic_cast<TxtConverter*>(converters.FindConverter(late.c_str())));
    ASSERT_TRUE(RegisterTestFilterFor(L".mtfl"));
    EXPECT_TRUE(dynamic_cast<TxtConverter*>(converters.FindConverter(late.c_str())))
        << "a search remembers the extensions it found without a filter";
    converters.BeginSearch();
    EXPECT_TRUE(dynamic_cast<FilterConverter*>(converters.FindConverter(late.c_str())));
    UnregisterTestFilterFor(L".mtfl");
}
