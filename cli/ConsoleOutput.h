// UTF-8 output to the console streams, byte for byte (no CR added).
#pragma once

#include <cstdio>
#include <string>

// Switches stdout and stderr to binary mode and gives stdout a large buffer.
void InitConsoleOutput();

std::string ToUtf8(const wchar_t* text, size_t length);
inline std::string ToUtf8(const std::wstring& text) { return ToUtf8(text.data(), text.size()); }

// The text in the ANSI code page, as 8-bit RTF names are written.
std::string ToAnsi(const std::wstring& text);

// Context text with backslash, TAB, LF and CR escaped.
std::string EscapeContext(const std::wstring& context);

void WriteUtf8(FILE* stream, const std::wstring& text);

// A segment's line: TAB "segment" TAB id TAB source TAB target LF, a tab or
// line break inside the texts shown as a space.
std::wstring SegmentLine(const std::wstring& id, const std::wstring& source, const std::wstring& target);
// The same line appended to `out`.
void AppendSegmentLine(const std::wstring& id, const std::wstring& source, const std::wstring& target,
                       std::wstring* out);
