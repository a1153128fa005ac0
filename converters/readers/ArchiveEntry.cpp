// Shared by the XLZ and LWO converters.
#include "converters/readers/ArchiveEntry.h"

#include <cwchar>

#include "converters/readers/ZipReader.h"

char* ReadEntryText(ZipReader& archive, int index, ZipEntryData* entry) {
    if (index < 0 || !archive.ReadEntry(index, entry))
        return nullptr;
    return entry->TerminatedBytes();
}

bool HasExtension3(const wchar_t* path, const wchar_t* extension) {
    const size_t n = wcslen(path);
    return n >= 4 && _wcsicmp(path + n - 3, extension) == 0;
}
