// XLZ conversion: only the first XLIFF entry of the directory is searched.
#include "converters/translation/XlzConverter.h"

#include "converters/readers/ArchiveEntry.h"
#include "converters/readers/ZipReader.h"

int XlzConverter::Accepts(const wchar_t* path) { return HasExtension3(path, L"xlz"); }

std::unique_ptr<DocConverter> XlzConverter::Clone() const {
    auto copy = std::make_unique<XlzConverter>();
    copy->CopyStringsFrom(*this);
    return copy;
}

HGLOBAL XlzConverter::Convert(const wchar_t* path, const SearchRequest& request) {
    ZipReader archive;
    if (!archive.Open(path))
        return Fail(archive.FailureText());
    // "*.xlf" also matches in sub-folders; names ending in .xliff do not match.
    // The document is parsed where it was inflated, up to its first NUL.
    const int index = archive.FindEntry(L"*.xlf", 0);
    if (index < 0)
        return Fail(L"no XLIFF entry in the archive");
    ZipEntryData entry;
    char* text = ReadEntryText(archive, index, &entry);
    if (!text)
        return Fail(L"a damaged archive");
    HGLOBAL block = ConvertBytes(text, request);
    if (block)
        SetReadAs(L"XLZ");
    return block;
}
