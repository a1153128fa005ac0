// Files by size and by the time of their last change: the bounds a search
// takes them within, and the texts that give those bounds.
#pragma once

#include <windows.h>

#include <string>

struct SearchRequest;

// Whether the file of `entry` (found at `path`) lies within the request's
// size and time bounds. A link is judged by what it leads to. Folders are
// always walked, and never asked about.
bool WithinFileFilters(const SearchRequest& request, const wchar_t* path, const WIN32_FIND_DATAW& entry);
// Whether the request sets any such bound.
bool HasFileFilters(const SearchRequest& request);

// "100", "64K", "2M", "1G" (1 K = 1,024 bytes; "KB", "MB", "GB" too; case
// ignored) into bytes; false for anything else or a value past 2^63.
bool ParseByteSize(const std::wstring& text, unsigned long long* bytes);
// "2026-11-01": the start of that day, local time, as a FILETIME value
// (UTC); `dayAfter` gives the start of the next day. False for a day that
// does not exist.
bool ParseLocalDay(const std::wstring& text, bool dayAfter, unsigned long long* time);
// A local day (year, month, day) as above.
bool LocalDayStart(int year, int month, int day, bool dayAfter, unsigned long long* time);
// "7d" or "12h" (a bare number is days): that many hours back from `now`
// (a FILETIME value); false for anything else.
bool ParseWithin(const std::wstring& text, unsigned long long now, unsigned long long* time);
// The time now as a FILETIME value.
unsigned long long FileTimeNow();
