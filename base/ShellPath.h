// The two shell-library functions the engine calls, resolved when first
// used: importing the library would load it, and the user-interface library
// it depends on, into every start of the console front end.
#pragma once

// StrCmpNIW: the system's case-insensitive comparison of `count` units.
int CompareNoCase(const wchar_t* a, const wchar_t* b, int count);

// PathMatchSpecW: wildcard matching of a path (case ignored, "*" crosses
// backslashes).
bool MatchPathPattern(const wchar_t* path, const wchar_t* pattern);
