// Status texts of the application that depend only on the request.
#pragma once

#include <string>

struct SearchRequest;

// "Searching files of type %1, with sub-directories." (or without) inserted
// into the sentence on case sensitivity or the regular expression.
std::wstring FormatRequestSummary(const SearchRequest& request);

// The command line as the "Look in" text: one pair of enclosing double
// quotes is removed (Explorer and shortcuts quote a path with spaces);
// anything else stays as it stands.
std::wstring FolderFromCommandLine(const wchar_t* commandLine);
