// Whole-file replacement through a temporary file beside the target.
#include "base/ReplaceFile.h"

#include <algorithm>

#include "base/LongPath.h"
#include "base/RandomName.h"
#include "base/ScopedHandle.h"

namespace {

// Writes `bytes` to a new file beside `target` under a name nobody could
// foresee, made only where nothing is (never over a file or a link that
// is there); *temp gets its name. False with *error set when it fails, and
// then no such file is left.
bool WriteNewTemporary(const std::wstring& target, const std::string& bytes, std::wstring* temp, DWORD* error) {
    ScopedKernelHandle file;
    for (int attempt = 0; attempt < 8 && !file; ++attempt) {
        const std::wstring random = RandomHex(8);
        if (random.empty()) {
            *error = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
            return false;
        }
        *temp = target + L".~" + random + L".tmp";
        file.Reset(CreateFileW(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        *error = file ? ERROR_SUCCESS : GetLastError();
        if (!file && *error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS)
            return false;
    }
    if (!file)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            *error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
            break;
        }
        done += written;
    }
    if (*error == ERROR_SUCCESS && !FlushFileBuffers(file.Get()))
        *error = GetLastError();
    file.Reset();
    if (*error != ERROR_SUCCESS) {
        DeleteFileW(temp->c_str());
        return false;
    }
    return true;
}

}  // namespace

bool ReplaceFileWhole(const std::wstring& path, const std::string& bytes, DWORD* error) {
    *error = ERROR_SUCCESS;
    const std::wstring target = SystemPath(path);
    if (target.empty()) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    // Beside the target, so that the move stays on its volume and is a rename.
    std::wstring temp;
    if (!WriteNewTemporary(target, bytes, &temp, error))
        return false;
    // A file that is there is replaced the way that keeps what it had beside
    // its bytes: attributes, permissions, its creation time.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    bool replaced = false;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A target that cannot be replaced now (held open by a program that
        // shares nothing, read-only) is found out before the replacement
        // begins, which on some systems leaves a file of its own behind when
        // it fails.
        ScopedKernelHandle probe(CreateFileW(target.c_str(), DELETE | FILE_WRITE_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!probe || (attributes & FILE_ATTRIBUTE_READONLY)) {
            *error = probe ? ERROR_ACCESS_DENIED : GetLastError();
            DeleteFileW(temp.c_str());
            return false;
        }
        probe.Reset();
        replaced = ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                nullptr);
        if (!replaced)
            *error = GetLastError();
        if (replaced && GetFileAttributesW(target.c_str()) != attributes)
            SetFileAttributesW(target.c_str(), attributes);
    } else if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        replaced = true;
    } else {
        *error = GetLastError();
    }
    if (!replaced) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

bool ReadSmallFile(const std::wstring& path, size_t limit, std::string* bytes, DWORD* error) {
    *error = ERROR_SUCCESS;
    ScopedKernelHandle file(CreateFileW(SystemPath(FullPathName(path)).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size)) {
        *error = GetLastError();
        return false;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > limit) {
        *error = ERROR_FILE_TOO_LARGE;
        return false;
    }
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes->empty() &&
        (!ReadFile(file.Get(), bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) || read != bytes->size())) {
        *error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
        return false;
    }
    return true;
}
