// Base behaviour shared by every converter.
#include "converters/DocConverter.h"

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

namespace {

class TextBlockPool {
public:
    ~TextBlockPool() {
        if (spare)
            GlobalFree(spare);
    }

    HGLOBAL Alloc(size_t bytes, bool writerEndsText) {
        HGLOBAL block = nullptr;
        if (spare && GlobalSize(spare) >= bytes) {
            // Only the part the last writer asked for can hold anything but
            // zeros; a writer that ends its own text needs only what lies beyond.
            if (auto* data = static_cast<char*>(GlobalLock(spare))) {
                if (!writerEndsText)
                    memset(data, 0, spareDirty);
                else if (spareDirty > bytes)
                    memset(data + bytes, 0, spareDirty - bytes);
                GlobalUnlock(spare);
                block = std::exchange(spare, nullptr);
            }
        }
        if (!block)
            block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes ? bytes : 1);
        if (block) {
            lastHandedOut = block;
            lastRequested = bytes;
        }
        return block;
    }

    void Free(HGLOBAL block) {
        const size_t size = GlobalSize(block);
        const size_t dirty = block == lastHandedOut ? lastRequested : size;
        if (block == lastHandedOut)
            lastHandedOut = nullptr;
        if (spare && GlobalSize(spare) >= size) {
            GlobalFree(block);
            return;
        }
        if (spare)
            GlobalFree(spare);
        spare = block;
        spareDirty = dirty < size ? dirty : size;
    }

private:
    HGLOBAL spare = nullptr;
    size_t spareDirty = 0;
    HGLOBAL lastHandedOut = nullptr;
    size_t lastRequested = 0;
};

TextBlockPool& Pool() {
    thread_local TextBlockPool pool;
    return pool;
}

}  // namespace

HGLOBAL AllocTextBlock(size_t bytes) { return Pool().Alloc(bytes, false); }

HGLOBAL AllocUnclearedTextBlock(size_t bytes) { return Pool().Alloc(bytes, true); }

void FreeTextBlock(HGLOBAL block) {
    if (block)
        Pool().Free(block);
}

HGLOBAL TextBlockFromString(const std::wstring& text) {
    HGLOBAL block = AllocTextBlock((text.size() + 1) * sizeof(wchar_t));
    if (!block)
        return nullptr;
    {
        GlobalLockGuard<wchar_t> chars(block);
        if (chars.Get()) {
            wmemcpy(chars.Get(), text.c_str(), text.size() + 1);
            return block;
        }
    }
    FreeTextBlock(block);
    return nullptr;
}

size_t TextBlockLength(HGLOBAL block, const wchar_t* text) {
    const size_t capacity = GlobalSize(block) / sizeof(wchar_t);
    const size_t length = FindNul(text, capacity);
    return length == capacity && length > 0 ? length - 1 : length;
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
