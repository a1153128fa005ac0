// UTF-8 output to the console streams, byte for byte (no CR added).
#pragma once

#include <cstdio>
#include <string>

// Switches stdout and stderr to binary mode and gives stdout a large buffer.
void InitConsoleOutput();

std::string ToUtf8(const wchar_t* text, size_t length);
inline std::string ToUtf8(const std::wstring& text) { return ToUtf8(text.data(), text.size()); }

// Context text with backslash, TAB, LF and CR escaped.
std::string EscapeContext(const std::wstring& context);

void WriteUtf8(FILE* stream, const std::wstring& text);
