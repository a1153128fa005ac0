// A file written whole or not at all: the new bytes go to a file of their
// own beside the target, which is then put in its place. And a small file
// read whole.
#pragma once

#include <windows.h>

#include <string>

// Writes `bytes` to a new file beside `path` (made under a random name
// where nothing is) and puts it in place, so that `path` holds either its
// old content or all of the new; a file that was there keeps its
// attributes and permissions. The temporary file never stays. False with
// the system's error code.
bool ReplaceFileWhole(const std::wstring& path, const std::string& bytes, DWORD* error);

// Reads the whole file at `path` (relative or long paths taken) into
// *bytes; false with the system's error code, or ERROR_FILE_TOO_LARGE past
// `limit` bytes.
bool ReadSmallFile(const std::wstring& path, size_t limit, std::string* bytes, DWORD* error);
