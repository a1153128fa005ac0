// Conversion from a single-byte code page by table, with the results of
// MultiByteToWideChar(codePage, 0): in such a code page every byte stands
// for one character on its own, so the system is asked once per byte value.
#pragma once

#include <windows.h>

#include <cstddef>

class FoldedOriginals;

class SingleByteCodePage {
public:
    // The table of `codePage` (0 is the ANSI code page), or null when the
    // code page is not a single-byte one or cannot be read.
    static const SingleByteCodePage* For(UINT codePage);

    // Converts `size` bytes to as many units.
    void Convert(const char* bytes, size_t size, wchar_t* out) const;

    // The same, each unit folded (FoldCharacter) as it is written; a NUL
    // stays a NUL, since it ends the text. Returns the offset of the first
    // NUL written, or `size` when there is none.
    // With `originals`, each unit that folding changed is remembered there
    // (Begin is called here), so that the text can be shown as it was.
    size_t ConvertFolded(const char* bytes, size_t size, wchar_t* out, FoldedOriginals* originals = nullptr) const;

private:
    wchar_t units[256];
    wchar_t foldedUnits[256];
    bool asciiIsIdentity = false;
};
