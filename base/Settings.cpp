// Registry access of the settings store.
#include "base/Settings.h"

#include <windows.h>

#include <cwchar>

namespace {

HKEY OpenSettingsKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

}  // namespace

int ReadSettingInt(const wchar_t* name, int defaultValue) {
    DWORD value = static_cast<DWORD>(defaultValue);
    HKEY key = OpenSettingsKey();
    if (!key)
        return defaultValue;
    DWORD type = 0, size = sizeof value;
    DWORD read = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof read)
        value = read;
    RegCloseKey(key);
    return static_cast<int>(value);
}

void WriteSettingInt(const wchar_t* name, int value) {
    HKEY key = OpenSettingsKey();
    if (!key)
        return;
    const DWORD v = static_cast<DWORD>(value);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegCloseKey(key);
}

void ReadSettingString(const wchar_t* name, wchar_t (&buffer)[260]) {
    buffer[0] = 0;
    HKEY key = OpenSettingsKey();
    if (!key)
        return;
    wchar_t text[261] = {};
    DWORD type = 0, size = sizeof(wchar_t) * 260;
    const LONG status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return;
    size_t length = size / sizeof(wchar_t);
    // A value stored without its terminator still ends where the data ends.
    text[length < 260 ? length : 260] = 0;
    length = wcslen(text);
    if (length > 259)
        return;
    wmemcpy(buffer, text, length + 1);
}

void WriteSettingString(const wchar_t* name, const wchar_t* text) {
    HKEY key = OpenSettingsKey();
    if (!key)
        return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::wstring IndexedSettingName(const wchar_t* format, int index) {
    wchar_t name[64];
    swprintf(name, 64, format, index);
    return name;
}
