// Files read through a content filter: the break rules, what is skipped,
// what fails a file, references released on every path, and the place of
// the filter converter in the list.
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

TEST_F(FilterConverterTest, ChunksJoinByTheirBreaks) {
    // The separator comes before a chunk's text: a first paragraph begins the text with a line break.
    EXPECT_EQ(Read("TEXT EOP First\nTEXT EOW word\nTEXT NONE joined\nTEXT EOS Next\nTEXT EOC Chapter\n"),
              L"\r\nFirst wordjoined\r\nNext\r\nChapter");
    // A text of 4,096 characters and more goes on in the same chunk without a separator.
    EXPECT_EQ(Read("REPEAT NONE 4096 a\nLAST NONE b\n"), std::wstring(4096, L'a') + L"b");
    EXPECT_EQ(Read("REPEAT NONE 9000 c\n"), std::wstring(9000, L'c'));
    // Unavailable embeddings and links, and value chunks, leave no trace.
    EXPECT_EQ(Read("TEXT NONE a\nEMBEDDING\nVALUE The title\nLINK\nTEXT EOW b\n"), L"a b");
    // A NUL inside a text becomes a space and the text goes on; typographic characters are folded.
    EXPECT_EQ(Read("TEXT NONE x\\0y\nTEXT EOW \xE2\x80\x9Cquoted\xE2\x80\x9D\n"), L"x y \"quoted\"");
    bool ok = false;
    EXPECT_EQ(Read("", &ok), L"");
    EXPECT_TRUE(ok) << "a document without text is an empty text, not a failure";
}

TEST_F(FilterConverterTest, FailuresFailTheWholeFileAndReleaseEverything) {
    for (const char* script : {"TEXT NONE kept\nACCESS\n", "TEXT NONE kept\nFAILTEXT NONE abc\n", "FAILINIT\nTEXT NONE a\n"}) {
        bool ok = true;
        EXPECT_EQ(Read(script, &ok), L"") << script;
        EXPECT_FALSE(ok) << script << ": no partial text";
        EXPECT_EQ(TestFilterLiveObjects(), 0) << script;
    }
    // A filter that throws a C++ exception across the interface: the search
    // catches whatever comes out of a conversion, and the program goes on.
    bool threw = false;
    try {
        bool ok = true;
        Read("TEXT NONE a\nTHROW\n", &ok);
        EXPECT_FALSE(ok);
    } catch (...) {
        threw = true;
    }
    EXPECT_TRUE(threw);

    // Accepts loads a filter and lets it go again.
    const std::wstring path = files / L"accepts.mtfb";
    files.WriteFile(L"accepts.mtfb", "TEXT NONE a\n");
    FilterConverter converter;
    EXPECT_EQ(converter.Accepts(path.c_str()), 1);
    EXPECT_EQ(TestFilterLiveObjects(), 0);
    Read("TEXT NONE a\n");
    EXPECT_EQ(TestFilterLiveObjects(), 0);
}

TEST_F(FilterConverterTest, EveryThreadingModelAndTheFileTypesClass) {
    for (const wchar_t* extension : {L".mtfa", L".mtfn", L".mtfp"})
        EXPECT_EQ(Read("TEXT EOW found\n", nullptr, extension), L" found") << extension;
    EXPECT_EQ(TestFilterLiveObjects(), 0);
}

TEST_F(FilterConverterTest, PlaceInTheListAndExtensionsWithoutFilter) {
    // Translation formats first, the filter before the plain text, which takes the rest.
    for (const wchar_t* name : {L"a.mtfb", L"a.txt", L"a.xlf", L"a.zzq"})
        files.WriteFile(name, "TEXT NONE a\n");
    EXPECT_TRUE(dynamic_cast<FilterConverter*>(converters.FindConverter((files / L"a.mtfb").c_str())));
    EXPECT_TRUE(dynamic_cast<TxtConverter*>(converters.FindConverter((files / L"a.txt").c_str())));
    EXPECT_TRUE(dynamic_cast<TxtConverter*>(converters.FindConverter((files / L"a.zzq").c_str())));
    EXPECT_FALSE(dynamic_cast<FilterConverter*>(converters.FindConverter((files / L"a.xlf").c_str())));
    // A file the filter cannot load goes to the plain text.
    EXPECT_TRUE(dynamic_cast<TxtConverter*>(converters.FindConverter((files / L"missing.mtfb").c_str())));
    // A filter that cannot be given its file is no filter for it.
    files.WriteFile(L"a.mtfx", "TEXT NONE a\n");
    EXPECT_TRUE(ExtensionHasFilter(L".mtfx"));
    EXPECT_TRUE(dynamic_cast<TxtConverter*>(converters.FindConverter((files / L"a.mtfx").c_str())));
    EXPECT_EQ(TestFilterLiveObjects(), 0);
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
