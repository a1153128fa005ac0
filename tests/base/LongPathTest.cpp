// The forms of a path: verbatim for the system past the classic limit, plain
// for people, short for programs that stop at it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/LongPath.h"
#include "tests/TestFiles.h"

namespace {

TEST(LongPath, SystemAndShownForms) {
    const std::wstring fits = L"C:\\" + std::wstring(256, L'a');  // 259 characters
    EXPECT_EQ(SystemPath(fits), fits) << "a path that fits stays as it is";
    const std::wstring past = fits + L"b";
    EXPECT_EQ(SystemPath(past), L"\\\\?\\" + past);
    EXPECT_EQ(ShownPath(SystemPath(past)), past);
    // Names as the listing gives them keep their trailing dots and spaces.
    const std::wstring dotted = L"C:\\" + std::wstring(300, L'd') + L"\\name. \\x.";
    EXPECT_EQ(SystemPath(dotted), L"\\\\?\\" + dotted);
    // Anything else is made absolute first: "/" and "." and ".." resolved.
    const std::wstring parts = L"C:/" + std::wstring(300, L'p') + L"/./q/../r.txt";
    EXPECT_EQ(SystemPath(parts), L"\\\\?\\C:\\" + std::wstring(300, L'p') + L"\\r.txt");
    const std::wstring unc = L"\\\\server\\share\\" + std::wstring(300, L'u');
    EXPECT_EQ(SystemPath(unc), L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'u'));
    EXPECT_EQ(ShownPath(SystemPath(unc)), unc);
    EXPECT_EQ(SystemPath(L"\\\\?\\" + past), L"\\\\?\\" + past) << "verbatim already";
    EXPECT_TRUE(IsVerbatimPath(L"\\\\.\\pipe\\x"));
    EXPECT_FALSE(IsVerbatimPath(L"\\\\server\\share"));
    EXPECT_EQ(SystemPath(L"C:\\" + std::wstring(33000, L'z')), L"") << "no form the system takes";
    EXPECT_EQ(ShownPath(L"C:\\plain"), L"C:\\plain");
}

TEST(LongPath, RelativeAndShortForms) {
    TempDir dir;
    std::wstring deep;
    for (int i = 0; i < 4; ++i)
        deep += std::wstring(70, static_cast<wchar_t>(L'a' + i)) + L"\\";
    dir.WriteFile(deep + L"file.txt", "x");
    const std::wstring full = dir / (deep + L"file.txt");
    ASSERT_GT(full.size(), kClassicPathChars);
    // A relative path resolves against the current folder, however long.
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
    EXPECT_EQ(FullPathName(deep + L"file.txt"), full);
    EXPECT_EQ(SystemPath(deep + L"file.txt"), L"\\\\?\\" + full);
    SetCurrentDirectoryW(before);
    // The short form names the same file and fits.
    const std::wstring fitting = FittingPath(full);
    EXPECT_LE(fitting.size(), kClassicPathChars);
    EXPECT_FALSE(IsVerbatimPath(fitting));
    EXPECT_NE(GetFileAttributesW(fitting.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(FittingPath(dir / L"short.txt"), dir / L"short.txt");
}

}  // namespace

TEST(LongPath, RelativeFoldersAreMadeWholeAndWholeOnesStayAsGiven) {
    wchar_t current[MAX_PATH] = {};
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, current), 0u);
    std::wstring base = current;
    if (base.back() != L'\\')
        base += L'\\';
    EXPECT_EQ(WholeFolderPath(L"docs"), base + L"docs");
    EXPECT_EQ(WholeFolderPath(L"docs\\de-DE"), base + L"docs\\de-DE");
    EXPECT_EQ(WholeFolderPath(base.substr(0, 2) + L"docs"), base + L"docs") << "a drive and a relative path";
    // Whole paths are not parsed again: a final dot or space stays.
    EXPECT_EQ(WholeFolderPath(L"C:\\Projects\\Q3."), L"C:\\Projects\\Q3.");
    EXPECT_EQ(WholeFolderPath(L"\\\\server\\share\\x "), L"\\\\server\\share\\x ");
    EXPECT_EQ(WholeFolderPath(L""), L"");
}
