// Shared by the XLZ and LWO converters.
#include "converters/ArchiveEntry.h"

#include <cwchar>

#include "converters/DocConverter.h"
#include "converters/ZipReader.h"

HGLOBAL ReadEntryIntoBlock(ZipReader& archive, int index) {
    ZipEntryData entry;
    if (index < 0 || !archive.ReadEntry(index, &entry))
        return nullptr;
    ScopedTextBlock block(AllocTextBlock(static_cast<size_t>(entry.Size()) + 1));
    if (!block)
        return nullptr;
    {
        GlobalLockGuard<char> bytes(block.Get());
        if (!bytes.Get())
            return nullptr;
        entry.ReadBytes(entry.Size(), bytes.Get());
    }
    return block.Detach();
}

bool HasExtension3(const wchar_t* path, const wchar_t* extension) {
    const size_t n = wcslen(path);
    return n >= 4 && _wcsicmp(path + n - 3, extension) == 0;
}
