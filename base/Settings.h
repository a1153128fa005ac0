// The settings store: one registry key of the current user,
// "Software\Tovan\Mirlock\", opened for each read or write and closed again.
// A key that cannot be opened or a value that is missing gives the default;
// a write that fails is dropped.
#pragma once

#include <string>

constexpr const wchar_t* kSettingsKey = L"Software\\Tovan\\Mirlock\\";

int ReadSettingInt(const wchar_t* name, int defaultValue);
void WriteSettingInt(const wchar_t* name, int value);
// Into a 260-character buffer; empty when missing, and empty too when the
// stored text is longer than 259 characters (never a cut path).
void ReadSettingString(const wchar_t* name, wchar_t (&buffer)[260]);
void WriteSettingString(const wchar_t* name, const wchar_t* text);

// "Location%d" and the like with index i.
std::wstring IndexedSettingName(const wchar_t* format, int index);
