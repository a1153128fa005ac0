// Office documents through import text converters: which files reach a
// library, the call sequence, the RTF hand-over in chunks, the options of
// the RTF reader, names the OEM code page cannot hold, and the threads.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/ScopedHandle.h"
#include "base/SearchRecords.h"
#include "converters/ConverterList.h"
#include "converters/installed/LibConverter.h"
#include "tests/ConverterRegistration.h"
#include "tests/TestFiles.h"

namespace {

std::string Repeat(const std::string& piece, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += piece;
    return s;
}

class LibConverterTest : public testing::Test {
protected:
    static void SetUpTestSuite() { registered = RegisterTestConverters(); }

    void SetUp() override {
        ASSERT_TRUE(registered);
        TestConverterLog();  // start a fresh record
    }

    std::unique_ptr<LibConverter> Prototype(const wchar_t* subkey) { return TestImportConverter(subkey); }

    // Converts `file` with a clone of the "mtc" prototype; `ok` tells whether
    // there was a text block at all.
    std::wstring Convert(const std::wstring& file, SearchRequest request = Request(), bool* ok = nullptr) {
        auto clone = Prototype(L"MirlockTestMtc")->Clone();
        ScopedHandle<GlobalTraits> block(clone->Convert(file.c_str(), request));
        if (ok)
            *ok = block.IsValid();
        GlobalLockGuard<wchar_t> text(block.Get());
        return text.Get() ? std::wstring(text.Get()) : std::wstring();
    }

    static SearchRequest Request() {
        SearchRequest r{};
        r.includeHidden = 1;
        return r;
    }

    static inline bool registered = false;
    TempDir files;
};

const char kDocument[] =
    "MTCV\n{\\rtf1\\ansi{\\stylesheet{\\s1 Normal;}{\\s2 source;}}\\pard Visible {\\v hidden words} more "
    "{\\strike struck} {\\noproof abc123 xyz} {\\s2 tagged text} done\\par}";

}  // namespace

TEST_F(LibConverterTest, WhichFilesReachTheLibrary) {
    files.WriteFile(L"a.DOC", "MTCV\n{\\rtf1 x}");
    files.WriteFile(L"a.do", "MTCV\n{\\rtf1 x}");
    files.WriteFile(L"b.Dot", "MTCV\n{\\rtf1 x}");
    files.WriteFile(L"a.docx", "MTCV\n{\\rtf1 x}");
    files.WriteFile(L"plain.txt", "just text");
    files.WriteFile(L"noextension", "MTCV\n{\\rtf1 x}");
    auto doc = Prototype(L"MirlockTestDoc");
    auto all = Prototype(L"MirlockTestAll");
    ASSERT_TRUE(doc->IsUsable());
    // "doc dot": the extension in capitals, one that is a substring of the
    // list, and the list's last one.
    EXPECT_EQ(doc->Accepts((files / L"a.DOC").c_str()), 1);
    EXPECT_EQ(doc->Accepts((files / L"b.Dot").c_str()), 1);
    EXPECT_EQ(doc->Accepts((files / L"a.do").c_str()), 1);
    EXPECT_EQ(doc->Accepts((files / L"a.docx").c_str()), 0);
    EXPECT_EQ(doc->Accepts((files / L"noextension").c_str()), 0) << "no extension: only \"*\" asks";
    const std::string log = TestConverterLog();
    EXPECT_NE(log.find("a.DOC class 256"), std::string::npos) << log;
    EXPECT_NE(log.find("a.do class 256"), std::string::npos) << log;
    EXPECT_NE(log.find("b.Dot class 256"), std::string::npos) << log;
    EXPECT_EQ(log.find("a.docx"), std::string::npos) << log;
    // "*": every file is asked about; the library says which it recognises.
    EXPECT_EQ(all->Accepts((files / L"noextension").c_str()), 1);
    EXPECT_EQ(all->Accepts((files / L"plain.txt").c_str()), 0);
    EXPECT_NE(TestConverterLog().find("plain.txt"), std::string::npos);
    // A missing "Path" and a library without "ForeignToRtf32" accept nothing.
    files.WriteFile(L"x.nop", "MTCV\n");
    files.WriteFile(L"x.prt", "MTCV\n");
    EXPECT_FALSE(Prototype(L"MirlockTestNoPath")->IsUsable());
    EXPECT_EQ(Prototype(L"MirlockTestNoPath")->Accepts((files / L"x.nop").c_str()), 0);
    EXPECT_FALSE(Prototype(L"MirlockTestPartial")->IsUsable());
    EXPECT_EQ(Prototype(L"MirlockTestPartial")->Accepts((files / L"x.prt").c_str()), 0);
}

TEST_F(LibConverterTest, RtfInChunksThroughTheReaderWithTheRequestsOptions) {
    files.WriteFile(L"doc.mtc", kDocument);
    std::wstring text = Convert(files / L"doc.mtc");
    EXPECT_NE(text.find(L"Visible"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"hidden words"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"struck"), std::wstring::npos) << "struck text is always left out";
    EXPECT_EQ(text.find(L"abc"), std::wstring::npos) << "no-proof letters are left out";
    EXPECT_NE(text.find(L"123"), std::wstring::npos) << "its digits stay";
    EXPECT_NE(text.find(L"tagged text"), std::wstring::npos);
    // The call sequence and what the library was given.
    const std::string log = TestConverterLog();
    EXPECT_NE(log.find("InitConverter32 TVREADER in an apartment\nForeignToRtf32 "), std::string::npos) << log;
    EXPECT_NE(log.find("storage null class [] subset [] buffer 4096\nUninitConverter\n"), std::string::npos) << log;

    SearchRequest request = Request();
    request.includeHidden = 0;  // "Ignore hidden text" ticked
    wcscpy(request.ignoreTags, L"source");
    text = Convert(files / L"doc.mtc", request);
    EXPECT_EQ(text.find(L"hidden words"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"tagged text"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"done"), std::wstring::npos) << text;

    // Chunks of 5, 4096, 17 and 1000 bytes end inside control words and escapes.
    files.WriteFile(L"long.mtc", "MTCV\n{\\rtf1\\ansi " + Repeat("caf\\'e9 ", 2000) + "}");
    text = Convert(files / L"long.mtc");
    size_t count = 0;
    for (size_t at = text.find(L"caf\u00e9"); at != std::wstring::npos; at = text.find(L"caf\u00e9", at + 1))
        ++count;
    EXPECT_EQ(count, 2000u);

    // A library that recognises the file and writes nothing: an empty text, not a failure.
    files.WriteFile(L"empty.mtc", "MTCE\n{\\rtf1 never written}");
    bool ok = false;
    EXPECT_EQ(Convert(files / L"empty.mtc", Request(), &ok), L"");
    EXPECT_TRUE(ok);
}

TEST_F(LibConverterTest, NamesTheOemCodePageCannotHold) {
    // "Łódź" becomes "Lódz" in code page 437 without a word: the library
    // must get the file's short name, never the look-alike's.
    files.WriteFile(L"\u0141\u00f3d\u017a.mtc", "MTCV\n{\\rtf1 the right file}");
    files.WriteFile(L"L\u00f3dz.mtc", "MTCV\n{\\rtf1 another file}");
    std::string name;
    ASSERT_TRUE(OemFileName((files / L"\u0141\u00f3d\u017a.mtc").c_str(), 260, &name));
    EXPECT_EQ(name.find("dz.mtc"), std::string::npos) << name;
    EXPECT_NE(Convert(files / L"\u0141\u00f3d\u017a.mtc").find(L"the right file"), std::wstring::npos);
    // Too long for the library's buffer and without a short form: no name.
    EXPECT_FALSE(OemFileName((L"C:\\no such folder\\" + std::wstring(300, L'a') + L".mtc").c_str(), 260, &name));
}

TEST_F(LibConverterTest, ThreadsLocksAndMessagesDuringAConversion) {
    files.WriteFile(L"slow1.mtc", "MTCS\n{\\rtf1 " + Repeat("slow ", 20) + "one}");
    files.WriteFile(L"slow2.mtc", "MTCS\n{\\rtf1 " + Repeat("slow ", 20) + "two}");
    // The converter thread starting late must not make the hand-over hang.
    LibConverter::threadStartDelayMs = 200;
    EXPECT_NE(Convert(files / L"slow1.mtc").find(L"one"), std::wstring::npos);
    LibConverter::threadStartDelayMs = 0;

    // Two conversions at once (from two threads) run one after the other.
    std::wstring second;
    std::thread other([&] { second = Convert(files / L"slow2.mtc"); });
    const std::wstring first = Convert(files / L"slow1.mtc");
    other.join();
    EXPECT_NE(first.find(L"one"), std::wstring::npos);
    EXPECT_NE(second.find(L"two"), std::wstring::npos);
    EXPECT_EQ(TestConverterMostAtOnce(), 1);

    // While a conversion runs, this thread answers what others send to its windows.
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == WM_APP ? 42 : DefWindowProcW(h, m, w, l);
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LibConverterTestWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(window);
    std::atomic<bool> converting{true};
    std::atomic<bool> answeredWhileConverting{false};
    // Sent at once: this thread can take it only while it waits inside the
    // conversion (it does not look at messages before or after it).
    std::thread sender([&] {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(window, WM_APP, 0, 0, SMTO_NORMAL, 5000, &answer) && answer == 42)
            answeredWhileConverting = converting.load();
    });
    const std::wstring text = Convert(files / L"slow1.mtc");
    converting = false;
    sender.join();
    DestroyWindow(window);
    EXPECT_NE(text.find(L"one"), std::wstring::npos);
    EXPECT_TRUE(answeredWhileConverting);
}

TEST_F(LibConverterTest, OneConverterPerImportEntryInTheOfficeMode) {
    ConverterList list;
    list.BuildConverters(1);
    int libraries = 0;
    for (int i = 0; i < list.Count(); ++i)
        libraries += dynamic_cast<LibConverter*>(list.At(i)) != nullptr;
    EXPECT_GE(libraries, 5);
    EXPECT_FALSE(dynamic_cast<LibConverter*>(list.At(list.Count() - 1))) << "the plain text closes the list";
    files.WriteFile(L"doc.mtc", kDocument);
    EXPECT_TRUE(dynamic_cast<LibConverter*>(list.FindConverter((files / L"doc.mtc").c_str())));
    list.BuildConverters(0);
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_FALSE(dynamic_cast<LibConverter*>(list.At(i)));
}
