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
        return nullptr;
    // "*.xlf" also matches in sub-folders; names ending in .xliff do not match.
    // The document is parsed where it was inflated, up to its first NUL.
    ZipEntryData entry;
    char* text = ReadEntryText(archive, archive.FindEntry(L"*.xlf", 0), &entry);
    return text ? ConvertBytes(text, request) : nullptr;
}
