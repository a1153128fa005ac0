// Base behaviour shared by every converter.
#include "converters/DocConverter.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>

#include "base/SearchRecords.h"
#include "base/ScopedHandle.h"
#include "base/TextScan.h"

int DocConverter::Load(const wchar_t*) { return 1; }
int DocConverter::IsAvailable() { return 1; }
int DocConverter::IsPlainText() { return 0; }
void DocConverter::SetCodePage(int) {}

void DocConverter::CopyStringsFrom(const DocConverter& other) {
    wmemcpy(typeName, other.typeName, kConverterChars);
    wmemcpy(fileSpec, other.fileSpec, kConverterChars);
    wmemcpy(libraryPath, other.libraryPath, kConverterChars);
}

HGLOBAL DocConverter::ConvertMemory(HGLOBAL block, const SearchRequest& request) {
    wchar_t tempDir[256];
    wchar_t tempFile[MAX_PATH];
    const DWORD dirLength = GetTempPathW(256, tempDir);
    if (dirLength == 0 || dirLength >= 256)
        return nullptr;
    if (GetTempFileNameW(tempDir, L"qvx", 0, tempFile) == 0)
        return nullptr;

    bool written = false;
    {
        ScopedKernelHandle file(CreateFileW(tempFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        GlobalLockGuard<BYTE> bytes(block);
        const SIZE_T size = block ? GlobalSize(block) : 0;
        if (file && (bytes.Get() || size == 0) && size <= MAXDWORD) {
            DWORD done = 0;
            written = size == 0 ||
                      (WriteFile(file.Get(), bytes.Get(), static_cast<DWORD>(size), &done, nullptr) &&
                       done == size);
        }
    }
    HGLOBAL result = nullptr;
    if (written) {
        try {
            result = Convert(tempFile, request);
        } catch (...) {
            DeleteFileW(tempFile);
            throw;
        }
    }
    DeleteFileW(tempFile);
    return result;
}

HGLOBAL DocConverter::ConvertForSearch(const wchar_t* path, const SearchRequest& request,
                                       size_t* foldedLength) {
    struct Scope {
        DocConverter& converter;
        Scope(DocConverter& c, const SearchRequest& request) : converter(c) {
            // A whole-word search reads the text unfolded and folds it
            // itself: the word test needs to know which spaces stood for
            // characters beyond the first plane.
            converter.folding = !request.wholeWords;
            converter.foldedUnits = kNotFolded;
        }
        ~Scope() { converter.folding = false; }
    } scope(*this, request);
    HGLOBAL block = Convert(path, request);
    *foldedLength = block ? foldedUnits : kNotFolded;
    return block;
}

std::wstring ShownSideText(const wchar_t* text, size_t length, const std::vector<TextRange>& side) {
    std::wstring shown;
    bool space = false;
    for (const TextRange& r : side) {
        space = space || !shown.empty();  // pieces are joined by a space
        const size_t end = std::min<size_t>(r.end, length);
        for (size_t i = r.begin; i < end; ++i) {
            const wchar_t c = text[i];
            if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
                space = true;
                continue;
            }
            if (space && !shown.empty())
                shown += L' ';
            space = false;
            shown += c;
        }
    }
    return shown;
}
