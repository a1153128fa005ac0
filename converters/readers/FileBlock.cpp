// One open, one size check, one allocation, one read.
#include "converters/readers/FileBlock.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/TextBlock.h"
#include "base/ScopedHandle.h"

namespace {

// Opens `path` and checks its size against the 4 GiB bound.
bool OpenForReading(const wchar_t* path, ScopedKernelHandle* file, unsigned long long* size) {
    file->Reset(
        CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!*file)
        return false;
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file->Get(), &fileSize))
        return false;
    if (fileSize.QuadPart < 0 || fileSize.QuadPart > 0xFFFFFFFFLL) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    *size = static_cast<unsigned long long>(fileSize.QuadPart);
    return true;
}

}  // namespace

std::atomic<unsigned long long>& BytesReadInProcess() {
    static std::atomic<unsigned long long> bytes{0};
    return bytes;
}

bool ReadExactly(HANDLE file, void* buffer, unsigned long long bytes) {
    auto* data = static_cast<BYTE*>(buffer);
    unsigned long long done = 0;
    while (done < bytes) {
        const DWORD chunk =
            static_cast<DWORD>(bytes - done > 0x40000000ULL ? 0x40000000ULL : bytes - done);
        DWORD got = 0;
        if (!ReadFile(file, data + done, chunk, &got, nullptr))
            return false;
        if (got == 0) {
            SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        done += got;
        BytesReadInProcess() += got;
    }
    return true;
}

bool ReadFileIntoBuffer(const wchar_t* path, std::vector<char>* buffer, size_t* size) {
    ScopedKernelHandle file;
    unsigned long long n = 0;
    if (!OpenForReading(path, &file, &n))
        return false;
    // Its text could not be handed on: a text block of 2n + 2 bytes must fit
    // in 32 bits. Refused before a byte is read.
    if (2 * n + 2 > 0xFFFFFFFFULL) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    try {
        if (buffer->size() < n + 2)
            buffer->resize(static_cast<size_t>(n + 2));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (!ReadExactly(file.Get(), buffer->data(), n))
        return false;
    (*buffer)[n] = 0;
    (*buffer)[n + 1] = 0;
    *size = static_cast<size_t>(n);
    return true;
}

void ReleaseLargeBuffer(std::vector<char>* buffer) {
    ReleaseIfLarge(*buffer);
}

HGLOBAL ReadFileIntoBlock(const wchar_t* path, size_t* size) {
    ScopedKernelHandle file;
    unsigned long long n = 0;
    if (!OpenForReading(path, &file, &n))
        return nullptr;
    const unsigned long long blockBytes = 2 * n + 2;
    ScopedTextBlock block(blockBytes <= 0xFFFFFFFFULL ? AllocUnclearedTextBlock(blockBytes) : nullptr);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    {
        GlobalLockGuard<BYTE> data(block.Get());
        if (!data.Get()) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if (!ReadExactly(file.Get(), data.Get(), n))
            return nullptr;
        // The bytes end with at least one whole NUL unit, whatever the
        // parity of n; a reused block is not cleared beyond that.
        memset(data.Get() + n, 0, static_cast<size_t>(std::min(blockBytes - n, 4ULL)));
    }
    *size = static_cast<size_t>(n);
    return block.Detach();
}
