// The walk: per directory, collect sub-directories, enumerate files in
// batches, then descend into the sub-directories one after another.
#include "search/FileIterator.h"

#include "base/LongPath.h"
#include "base/ScopedHandle.h"

#include <cwchar>

namespace {

DirectoryIdentity IdentityOf(const std::wstring& path) {
    DirectoryIdentity id;
    ScopedKernelHandle dir(CreateFileW(VerbatimPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (dir && GetFileInformationByHandle(dir.Get(), &info)) {
        id.known = true;
        id.volume = info.dwVolumeSerialNumber;
        id.index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    return id;
}

bool IsDotOrDotDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// Directories are listed through the verbatim form: past the classic limit,
// and for names that the system's parsing would change ("Q3.").
HANDLE FindFirst(const std::wstring& query, WIN32_FIND_DATAW* entry) {
    return FindFirstFileW(VerbatimPath(query).c_str(), entry);
}

}  // namespace

FolderState CheckFolder(const wchar_t* folder) {
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? FolderState::kUnreadable
                                                                               : FolderState::kMissing;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FolderState::kMissing;
    std::wstring query = folder;
    if (query.back() != L'\\' && query.back() != L'/')
        query += L'\\';
    query += L'*';
    WIN32_FIND_DATAW entry;
    ScopedFindHandle find(FindFirstFileW(query.c_str(), &entry));
    if (!find && GetLastError() != ERROR_FILE_NOT_FOUND)
        return FolderState::kUnreadable;
    return FolderState::kReadable;
}

DirectoryFrame::~DirectoryFrame() {
    if (enumeration && enumeration != INVALID_HANDLE_VALUE)
        FindClose(enumeration);
}

FileIterator::~FileIterator() = default;

bool FileIterator::OnEnterDirectory(const wchar_t*) { return true; }
bool FileIterator::OnLeaveDirectory() { return true; }
bool FileIterator::OnFile(const wchar_t*, const WIN32_FIND_DATAW&) { return true; }
bool FileIterator::KeepScanning() { return true; }
bool FileIterator::YieldAfterFile() { return false; }

void FileIterator::ClearStack() { stack.clear(); }

void FileIterator::EndWalk() {
    ClearStack();
    walkState = kChooseDirectory;
}

bool FileIterator::IsOnCurrentPath(const std::wstring& path) {
    const DirectoryIdentity target = IdentityOf(path);
    if (!target.known)
        return false;
    // Frame k stands for the directory that frame k + 1 returns to; the top
    // frame for the current directory. Identities are asked for once.
    for (size_t k = 0; k < stack.size(); ++k) {
        DirectoryFrame& frame = *stack[k];
        if (!frame.identity.known)
            frame.identity = IdentityOf(k + 1 < stack.size() ? stack[k + 1]->returnPath : currentDir);
        if (frame.identity.known && frame.identity.volume == target.volume && frame.identity.index == target.index)
            return true;
    }
    return false;
}

void FileIterator::Begin(const wchar_t* folder, const wchar_t* filePattern, int recurse) {
    ClearStack();
    filter.Parse(filePattern);
    recursive = recurse;
    std::wstring dir = folder;
    if (dir.empty() || (dir.back() != L'\\' && dir.back() != L'/'))
        dir += L'\\';
    if (dir.size() >= kPathChars) {
        // A folder that does not fit the request's field with its backslash
        // is not walked at all.
        currentDir.clear();
        walkState = kChooseDirectory;
        return;
    }
    currentDir = dir;
    auto frame = std::make_unique<DirectoryFrame>();
    frame->returnPath = currentDir;
    stack.push_back(std::move(frame));
    walkState = kCollectSubdirectories;
}

void FileIterator::BeginList(std::vector<std::wstring> paths) {
    ClearStack();
    currentDir.clear();
    listed = std::move(paths);
    nextListed = 0;
    walkState = kListedFiles;
}

bool FileIterator::ListedFiles() {
    for (int n = 0; n < kBatchEntries; ++n) {
        if (nextListed >= listed.size()) {
            listed.clear();
            walkState = kChooseDirectory;
            return false;
        }
        if (listed[nextListed].empty()) {
            ++nextListed;
            continue;
        }
        const std::wstring path = FullPathName(listed[nextListed++]);
        WIN32_FIND_DATAW entry{};
        ScopedFindHandle find(FindFirstFileW(VerbatimPath(path).c_str(), &entry));
        if (find && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (!find) {
            // Nothing there: a row that fails with the system's reason.
            entry = WIN32_FIND_DATAW{};
            const size_t slash = path.find_last_of(L"\\/");
            wcsncpy(entry.cFileName, path.c_str() + (slash == std::wstring::npos ? 0 : slash + 1), MAX_PATH - 1);
            entry.nFileSizeLow = 1;
        }
        if (!OnFile(path.c_str(), entry))
            return false;
        if (YieldAfterFile())
            break;
    }
    return true;
}

bool FileIterator::Step() {
    switch (walkState) {
    case kListedFiles:
        return ListedFiles();
    case kCollectSubdirectories:
        return CollectSubdirectories();
    case kEnumerateFiles:
        if (stack.back()->enumeration == nullptr) {
            OpenFileEnumeration();
            return true;
        }
        return EnumerateFiles();
    default:
        return ChooseDirectory();
    }
}

bool FileIterator::CollectSubdirectories() {
    if (recursive && !stack.empty()) {
        DirectoryFrame& top = *stack.back();
        WIN32_FIND_DATAW entry;
        ScopedFindHandle find(FindFirst(currentDir + L"*.*", &entry));
        top.replay = static_cast<bool>(find);
        if (find) {
            for (;;) {
                if (top.replay) {
                    if (top.entries.size() < kMaxReplayedEntries) {
                        top.entries.push_back(entry);
                    } else {
                        top.replay = false;
                        top.entries = std::vector<WIN32_FIND_DATAW>();
                    }
                }
                if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !IsDotOrDotDot(entry.cFileName) &&
                    !(filter.ExcludesFolders() && filter.ExcludesFolder(entry.cFileName))) {
                    top.pendingDirs.push_back(currentDir + entry.cFileName + L'\\');
                    top.pendingLinks.push_back((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
                }
                if (top.pendingDirs.size() % kKeepScanningEvery == 0 && !KeepScanning()) {
                    top.replay = false;
                    return false;
                }
                if (!FindNextFileW(find.Get(), &entry)) {
                    if (GetLastError() != ERROR_NO_MORE_FILES) {
                        top.replay = false;
                        return false;
                    }
                    break;
                }
            }
        }
    }
    walkState = kEnumerateFiles;
    return true;
}

void FileIterator::OpenFileEnumeration() {
    DirectoryFrame& top = *stack.back();
    if (top.replay) {
        // The entries read while collecting sub-directories, first one in place.
        top.next = 0;
        if (top.entries.empty()) {
            top.enumeration = INVALID_HANDLE_VALUE;
            walkState = kChooseDirectory;
            return;
        }
        top.entry = top.entries[0];
        top.next = 1;
        top.enumeration = INVALID_HANDLE_VALUE;  // nothing to close
        return;
    }
    PVOID redirection = nullptr;
    const BOOL redirectionOff = Wow64DisableWow64FsRedirection(&redirection);
    HANDLE find = FindFirst(currentDir + L"*", &top.entry);
    if (redirectionOff)
        Wow64RevertWow64FsRedirection(redirection);
    top.enumeration = find;
    if (find == INVALID_HANDLE_VALUE)
        walkState = kChooseDirectory;
}

// The next entry of the directory into top.entry; false at the end.
static bool NextEntry(DirectoryFrame& top) {
    if (top.replay) {
        if (top.next >= top.entries.size())
            return false;
        top.entry = top.entries[top.next++];
        return true;
    }
    return FindNextFileW(top.enumeration, &top.entry) != 0;
}

bool FileIterator::EnumerateFiles() {
    DirectoryFrame& top = *stack.back();
    if (top.enumeration == INVALID_HANDLE_VALUE && !top.replay) {
        walkState = kChooseDirectory;
        return true;
    }
    bool result = true;
    for (int count = 1;; ++count) {
        bool yield = false;
        if (!(top.entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            (filter.IsPlain() || filter.TakesFile(top.entry.cFileName))) {
            const std::wstring path = currentDir + top.entry.cFileName;
            if (!OnFile(path.c_str(), top.entry))
                result = false;
            yield = YieldAfterFile();
        }
        if (!NextEntry(top)) {
            if (!top.replay && top.enumeration != INVALID_HANDLE_VALUE)
                FindClose(top.enumeration);
            top.enumeration = INVALID_HANDLE_VALUE;
            top.replay = false;
            top.entries = std::vector<WIN32_FIND_DATAW>();
            walkState = kChooseDirectory;
            return result;
        }
        if (!result || count == kBatchEntries || yield)
            return result;
    }
}

bool FileIterator::ChooseDirectory() {
    if (stack.empty())
        return false;
    DirectoryFrame& top = *stack.back();
    if (!top.pendingDirs.empty()) {
        std::wstring next = std::move(top.pendingDirs.front());
        top.pendingDirs.pop_front();
        const bool link = top.pendingLinks.front();
        top.pendingLinks.pop_front();
        // A link back to a directory on the way here is not followed: every
        // file in the circle would be searched again and again.
        if (link && IsOnCurrentPath(next))
            return true;
        walkState = kCollectSubdirectories;
        auto frame = std::make_unique<DirectoryFrame>();
        frame->returnPath = currentDir;
        stack.push_back(std::move(frame));
        currentDir = std::move(next);
        return OnEnterDirectory(currentDir.c_str());
    }
    currentDir = stack.back()->returnPath;
    stack.pop_back();
    return OnLeaveDirectory();
}
