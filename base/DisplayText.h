// Numbers and paths as the status line shows them.
#pragma once

#include <string>

// "1,204": the number with the user's thousands separator.
std::wstring GroupedNumber(long long value);

// `path` in at most `room` characters: whole when it fits, else its start
// (the drive or the server and share) and its end, with an ellipsis between
// them, the end beginning at a folder's name where it can.
std::wstring ElidedPath(const std::wstring& path, size_t room);
