// Screenshots of windows as PNG files, so that a person can look at them.
#pragma once

#include <windows.h>

#include <string>

// Writes width x height pixels, 32-bit BGRX rows from the top, as an RGB PNG.
bool WritePng(const std::wstring& path, const unsigned char* bgrx, int width, int height);

// Copies what the screen shows of `window` (its whole window rectangle) into
// a PNG file.
bool SaveWindowPng(HWND window, const std::wstring& path);
