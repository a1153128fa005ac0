// Paths past the system's classic 260-character limit: the form to hand to
// file functions, and the form to show the user.
#pragma once

#include <string>
#include <string_view>

// The classic limit: paths of at most this many characters (plus the NUL)
// are handed to the system as they are.
constexpr size_t kClassicPathChars = 259;

// True for a "\\?\" or "\\.\" path, which the system takes without parsing.
bool IsVerbatimPath(std::wstring_view path);

// The absolute form of `path` (GetFullPathNameW, whatever its length);
// empty when there is none.
std::wstring FullPathName(const std::wstring& path);

// `folder` made absolute when it is relative ("docs", "D:docs", "\\docs"), so
// that rows, exports and Explorer get whole paths; an absolute folder comes
// back exactly as given (the system's parsing would drop a final dot or
// space of its name). Empty when the system cannot make it whole.
std::wstring WholeFolderPath(const std::wstring& folder);

// The path to hand to the system's file functions: as it is when it fits the
// classic limit (or is verbatim already), else its "\\?\" form: made
// absolute, "/" turned into "\", "." and ".." resolved, a UNC path as
// "\\?\UNC\server\share\...". Empty when there is no such form.
std::wstring SystemPath(std::wstring_view path);

// The verbatim form of a path that a folder listing built (a drive or UNC
// path of plain names), whatever its length, so that a name ending in a dot
// or a space ("report.txt ", "Q3.") reaches the system as the listing gave
// it; any other path as SystemPath has it.
std::wstring VerbatimPath(std::wstring_view path);

// The path as the user knows it: a "\\?\" prefix taken off again
// ("\\?\UNC\s\x" is "\\s\x").
std::wstring ShownPath(std::wstring_view path);

// The shortest form of an existing file's path for programs that still
// stop at 259 characters: the path when it fits, else its short (8.3)
// form when that fits, else the verbatim form.
std::wstring FittingPath(std::wstring_view path);
