// Reading one archive entry into a NUL-terminated global block.
#pragma once

#include <windows.h>

class ZipReader;

// Reads entry `index` of the open archive into a movable, zero-filled block
// of its size plus one byte, so that the bytes end with a NUL. Null on failure.
HGLOBAL ReadEntryIntoBlock(ZipReader& archive, int index);

// True when `path` has at least four characters and ends with the three
// letters `extension`, ignoring case.
bool HasExtension3(const wchar_t* path, const wchar_t* extension);
