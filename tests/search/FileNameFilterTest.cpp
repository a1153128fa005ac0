// The file-name pattern list: wildcards as the system matches them, the list
// with exclusions of files and folders, and a walk that uses it.
#include <gtest/gtest.h>

#include <algorithm>

#include "search/FileNameFilter.h"
#include "search/FileIterator.h"
#include "tests/TestFiles.h"

TEST(FileNameFilter, WildcardsIgnoreCaseAndFollowTheSystemsStarDotStar) {
    const struct {
        const wchar_t* pattern;
        const wchar_t* name;
        bool match;
    } cases[] = {
        {L"*.XLF", L"A.XLF", true},          {L"*.XLF", L"A.XLFF", false},
        {L"*.XLF", L"XLF", false},           {L"*.*", L"README", true},
        {L"*", L"", true},                   {L"?.TXT", L"A.TXT", true},
        {L"?.TXT", L"AB.TXT", false},        {L"A*B*C", L"AXXBYYBC", true},
        {L"A*B*C", L"AXXBYYBD", false},      {L"REPORT.*", L"REPORT", true},
        {L"REPORT.*", L"REPORT.DOCX", true}, {L"REPORT.*", L"REPORTS", false},
        {L"*DE-DE*", L"UI_DE-DE.XLF", true}, {L"**.TTX", L"A.TTX", true},
        // A final "." is an empty extension.
        {L"*.", L"README", true},            {L"*.", L"A.TXT", false},
        {L"READ*.", L"README", true},        {L"READ*.", L"READ.ME", false},
        {L"*.*", L"README", true},           {L"R*.*", L"README", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.match) << testing::PrintToString(c.pattern) << " "
                                                               << testing::PrintToString(c.name);
}

TEST(FileNameFilter, ListsWithExclusionsOfFilesAndFolders) {
    FileNameFilter f;
    // A single pattern is matched here as in a list, on the long name only
    // (the system's match lists "ui.xlff" for "*.xlf" through its short
    // name "UI~1.XLF").
    f.Parse(L"*.xlf");
    EXPECT_FALSE(f.IsPlain());
    EXPECT_TRUE(f.TakesFile(L"ui.xlf"));
    EXPECT_FALSE(f.TakesFile(L"ui.xlff"));
    f.Parse(L"*.doc");
    EXPECT_FALSE(f.TakesFile(L"report.docx"));
    // "*." alone or in a list: names without an extension.
    for (const wchar_t* list : {L"*.", L"*.;*.xlf"}) {
        f.Parse(list);
        EXPECT_TRUE(f.TakesFile(L"README")) << list;
        EXPECT_FALSE(f.TakesFile(L"a.txt")) << list;
    }
    EXPECT_TRUE(f.TakesFile(L"a.xlf"));
    f.Parse(L"");
    EXPECT_TRUE(f.IsPlain());
    f.Parse(L"*; *.xlf");
    EXPECT_TRUE(f.IsPlain());
    EXPECT_TRUE(f.Refused().empty());

    // A pattern with a folder part is refused; a folder exclusion is not.
    for (const wchar_t* list : {L"sub\\*.txt", L"*.xlf; ..\\*", L"-old/*.txt", L"C:*.txt", L"-a\\b\\"}) {
        f.Parse(list);
        EXPECT_FALSE(f.Refused().empty()) << list;
    }
    f.Parse(L"*.xlf; sub\\*.txt ; x/y");
    EXPECT_EQ(f.Refused(), L"sub\\*.txt");
    f.Parse(L"*.xlf; -.git\\");
    EXPECT_TRUE(f.Refused().empty());

    // A "?" stands for exactly one character, the last one too.
    f.Parse(L"*.tx?; *.doc");
    EXPECT_TRUE(f.TakesFile(L"a.txt"));
    EXPECT_FALSE(f.TakesFile(L"a.tx"));
    EXPECT_TRUE(f.TakesFile(L"b.doc"));

    f.Parse(L" *.xlf ;*.TTX;; -old*.xlf ; -.git\\ ;- backup \\");
    EXPECT_FALSE(f.IsPlain());
    EXPECT_TRUE(f.TakesFile(L"ui.xlf"));
    EXPECT_TRUE(f.TakesFile(L"Manual.ttx"));
    EXPECT_FALSE(f.TakesFile(L"old-ui.xlf"));
    EXPECT_FALSE(f.TakesFile(L"notes.txt"));
    EXPECT_TRUE(f.ExcludesFolder(L".git"));
    EXPECT_TRUE(f.ExcludesFolder(L"BACKUP"));
    EXPECT_FALSE(f.ExcludesFolder(L"backups"));
    EXPECT_FALSE(f.ExcludesFolder(L"de-DE"));

    // Only exclusions: every other file.
    f.Parse(L"-*.bak");
    EXPECT_TRUE(f.TakesFile(L"a.txt"));
    EXPECT_FALSE(f.TakesFile(L"a.BAK"));
    f.Parse(L"*.tmx; -.svn\\");
    EXPECT_TRUE(f.TakesFile(L"a.tmx"));
    EXPECT_FALSE(f.TakesFile(L"a.tmx.bak"));
    EXPECT_TRUE(f.ExcludesFolder(L".SVN"));
}

namespace {

class NameWalker : public FileIterator {
public:
    std::vector<std::wstring> files;

protected:
    bool OnFile(const wchar_t* path, const WIN32_FIND_DATAW&) override {
        files.push_back(path);
        return true;
    }
};

std::vector<std::wstring> Walk(const std::wstring& root, const wchar_t* patterns) {
    NameWalker walker;
    walker.Begin(root.c_str(), patterns, 1);
    while (walker.Step()) {
    }
    for (auto& f : walker.files)
        f = f.substr(root.size());
    std::sort(walker.files.begin(), walker.files.end());
    return walker.files;
}

}  // namespace

TEST(FileNameFilter, TheWalkSkipsExcludedTreesAndTakesSeveralTypes) {
    TempDir dir;
    for (const wchar_t* name : {L"a.xlf", L"b.ttx", L"c.txt", L"old.xlf", L".git\\objects\\x.xlf",
                                L"de\\d.xlf", L"de\\backup\\e.ttx", L"de\\backups\\f.ttx"})
        dir.WriteFile(name, "x");
    EXPECT_EQ(Walk(dir.Path(), L"*.xlf;*.ttx; -old.*; -.git\\; -backup\\"),
              (std::vector<std::wstring>{L"a.xlf", L"b.ttx", L"de\\backups\\f.ttx", L"de\\d.xlf"}));
    EXPECT_EQ(Walk(dir.Path(), L"-*.xlf;-de\\"), (std::vector<std::wstring>{L"b.ttx", L"c.txt"}));
    EXPECT_EQ(Walk(dir.Path(), L"*.ttx"),
              (std::vector<std::wstring>{L"b.ttx", L"de\\backup\\e.ttx", L"de\\backups\\f.ttx"}));
}
