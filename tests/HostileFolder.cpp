// The hostile files: archives that lie or explode, nesting a million deep,
// huge names and values, a sparse 4 GiB file, names beyond the code pages.
#include "tests/HostileFolder.h"

#include "tests/TestFiles.h"
#include "tests/ZipWriter.h"

namespace {

std::string Nest(const std::string& open, const std::string& close, int levels, const std::string& inner) {
    std::string s;
    s.reserve((open.size() + close.size()) * static_cast<size_t>(levels) + inner.size());
    for (int i = 0; i < levels; ++i)
        s += open;
    s += inner;
    for (int i = 0; i < levels; ++i)
        s += close;
    return s;
}

const std::string kXliffHead = "<xliff version=\"1.2\"><file><body><trans-unit><source>";
const std::string kXliffTail = "</source></trans-unit></body></file></xliff>";

}  // namespace

std::vector<HostileExpectation> MakeHostileFolder(const TempDir& dir) {
    // A zip bomb: 256 MiB of zeros in a file of a quarter of a megabyte.
    ZipLayout bomb;
    bomb.entries = {{"a.xlf", std::string(256u << 20, '\0'), 8, 8, true}};
    dir.WriteFile(L"bomb.xlz", BuildZip(bomb));
    // Sizes and offsets that lie.
    ZipLayout lying;
    lying.entries = {{"a.xlf", kXliffHead + "needle" + kXliffTail, 0, 0, true, 0x7FFFFFF0u}};
    dir.WriteFile(L"lying.xlz", BuildZip(lying));
    ZipLayout wrongDirectory = lying;
    wrongDirectory.entries[0].headerCompressedSize.reset();
    wrongDirectory.directorySize = 0x10000;
    dir.WriteFile(L"directory.xlz", BuildZip(wrongDirectory));
    // An archive in an archive.
    ZipLayout inner;
    inner.entries = {{"b.xlf", kXliffHead + "needle" + kXliffTail, 0}};
    ZipLayout outer;
    outer.entries = {{"a.xlf", BuildZip(inner), 0}};
    dir.WriteFile(L"nested.xlz", BuildZip(outer));
    // A million levels.
    constexpr int kMillion = 1000000;
    std::wstring deepTtx = L"<TRADOStag><Body><Raw>";
    for (int i = 0; i < kMillion; ++i)
        deepTtx += L"<x>";
    dir.WriteFile(L"deep.ttx", "\xFF\xFE" + Utf16Bytes(deepTtx + L"needle"));
    dir.WriteFile(L"deep.xlf", kXliffHead + Nest("<g>", "</g>", kMillion, "needle") + kXliffTail);
    ZipLayout deepEntry;
    deepEntry.entries = {{"a.xlf", kXliffHead + Nest("<g>", "</g>", kMillion, "needle") + kXliffTail}};
    dir.WriteFile(L"deep-entry.xlz", BuildZip(deepEntry));
    dir.WriteFile(L"deep.mtc", "MTCV\n" + Nest("{", "}", kMillion, "{\\rtf1 needle}"));
    // Huge attribute values and names.
    dir.WriteFile(L"attribute.xlf", "<xliff version=\"1.2\"><file original=\"" + std::string(16u << 20, 'v') +
                                        "\"><body><trans-unit><source>needle</source></trans-unit></body></file></xliff>");
    const std::string name(1u << 20, 'n');
    dir.WriteFile(L"name.xlf", kXliffHead + "<" + name + ">needle</" + name + ">" + kXliffTail);
    // A 4 GiB sparse file, an empty file, a file of one NUL unit.
    dir.WriteFile(L"huge.txt", "needle");
    ExtendFile(dir / L"huge.txt", 4LL << 30);
    dir.WriteFile(L"empty.txt", "");
    dir.WriteFile(L"one-nul.txt", std::string(2, '\0'));
    // Names outside every code page.
    dir.WriteFile(L"\u0141\u00F3d\u017A \u4E2D\u6587 \U0001F600 \u0915.txt", "needle");
    // Office documents that are not what they say.
    dir.WriteFile(L"fake.docx", "needle, but no package");
    dir.WriteFile(L"ole.xlsx", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(512, '\0') + "needle");
    // A tree 1,000 characters deep, past the classic path limit: its files
    // are searched like any others.
    std::wstring deep;
    for (int i = 0; i < 12; ++i)
        deep += std::wstring(83, static_cast<wchar_t>(L'a' + i)) + L"\\";
    dir.WriteFile(deep + L"deep.txt", "needle");
    dir.WriteFile(deep + L"deep.xlf", kXliffHead + "needle" + kXliffTail);
    ZipLayout deepZip;
    deepZip.entries = {{"a.xlf", kXliffHead + "needle" + kXliffTail, 8}};
    dir.WriteFile(deep + L"deep.xlz", BuildZip(deepZip));
    dir.WriteFile(deep + L"deep.mtc", "MTCV\n{\\rtf1 needle}");
    return {
        {deep + L"deep.txt", {"1", "1", "1"}},
        {deep + L"deep.xlf", {"1", "1", "1"}},
        {deep + L"deep.xlz", {"1", "1", ""}},
        {deep + L"deep.mtc", {"1", "1", "1"}},
        {L"bomb.xlz", {"", "", ""}},
        {L"lying.xlz", {"read error", "read error", ""}},  // as text it ends at its first NUL
        {L"directory.xlz", {"read error", "read error", ""}},
        {L"nested.xlz", {"read error", "read error", ""}},
        {L"deep.ttx", {"1", "1", "1"}},
        {L"deep.xlf", {"read error", "read error", "1"}},
        {L"deep-entry.xlz", {"read error", "read error", ""}},
        {L"deep.mtc", {"1", "1", "1"}},
        {L"attribute.xlf", {"1", "1", "1"}},
        {L"name.xlf", {"1", "1", "1"}},
        {L"huge.txt", {"read error", "read error", "read error"}},
        {L"empty.txt", {"", "", ""}},  // no text: nothing found, nothing failed
        {L"one-nul.txt", {"", "", ""}},
        {L"\u0141\u00F3d\u017A \u4E2D\u6587 \U0001F600 \u0915.txt", {"1", "1", "1"}},
        {L"fake.docx", {"read error", "read error", "1"}},
        {L"ole.xlsx", {"read error", "read error", ""}},
        {L"locked.txt", {"read error", "read error", "read error"}},
        {L"growing.txt", {"1", "1", "1"}},
    };
}

