// Loading and formatting of string resources with the message insert syntax.
#pragma once

#include <cstdarg>
#include <string>

// Loads string `id` (at most 256 characters) from the program's resources and
// formats it against `args` ("%1", "%1!d!", "%2!02d!", "%1!S!"). Copies at
// most capacity - 1 characters and a NUL into `out`. Returns false, leaving
// `out` untouched, when the string is missing or formatting fails.
bool FormatResourceString(unsigned id, va_list* args, wchar_t* out, size_t capacity);

// The same into a string, with the inserts as arguments.
bool FormatResourceText(std::wstring* out, unsigned id, ...);

// String `id` as it stands, empty when missing.
std::wstring LoadResourceText(unsigned id);

// The system's text for error `error`, without the line break it ends with.
std::wstring SystemErrorText(unsigned long error);
