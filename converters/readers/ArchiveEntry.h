// Reading one archive entry as a NUL-terminated string.
#pragma once

#include <windows.h>

class ZipEntryData;
class ZipReader;

// Reads entry `index` of the open archive into `entry` and returns its bytes
// followed by a NUL, writable in place and owned by `entry`. Null on failure.
char* ReadEntryText(ZipReader& archive, int index, ZipEntryData* entry);

// True when `path` has at least four characters and ends with the three
// letters `extension`, ignoring case.
bool HasExtension3(const wchar_t* path, const wchar_t* extension);
