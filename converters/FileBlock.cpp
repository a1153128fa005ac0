// One open, one size check, one allocation, one read.
#include "converters/FileBlock.h"

#include "converters/DocConverter.h"
#include "search/ScopedHandle.h"

HGLOBAL ReadFileIntoBlock(const wchar_t* path, size_t* size) {
    ScopedKernelHandle file(
        CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return nullptr;
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file.Get(), &fileSize))
        return nullptr;
    if (fileSize.QuadPart < 0 || fileSize.QuadPart > 0xFFFFFFFFLL) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return nullptr;
    }
    const unsigned long long n = static_cast<unsigned long long>(fileSize.QuadPart);
    const unsigned long long blockBytes = 2 * n + 2;
    ScopedGlobal block(blockBytes <= 0xFFFFFFFFULL ? AllocTextBlock(blockBytes) : nullptr);
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
        unsigned long long done = 0;
        while (done < n) {
            const DWORD chunk = static_cast<DWORD>(n - done > 0x40000000ULL ? 0x40000000ULL : n - done);
            DWORD got = 0;
            if (!ReadFile(file.Get(), data.Get() + done, chunk, &got, nullptr))
                return nullptr;
            if (got == 0) {
                SetLastError(ERROR_HANDLE_EOF);  // the file shrank while it was read
                return nullptr;
            }
            done += got;
        }
    }
    *size = static_cast<size_t>(n);
    return block.Detach();
}
