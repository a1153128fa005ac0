// An incremental depth-first folder walk whose whole state lives in the
// object, so that each Step does one bounded piece of work.
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "base/SearchRecords.h"
#include "search/FileNameFilter.h"

// Which directory a path leads to, whatever links lie on the way.
struct DirectoryIdentity {
    bool known = false;
    DWORD volume = 0;
    ULONGLONG index = 0;
};

struct DirectoryFrame {
    std::deque<std::wstring> pendingDirs;  // full paths ending with a backslash
    // Parallel to pendingDirs: the directory is a link (a reparse point).
    std::deque<bool> pendingLinks;
    DirectoryIdentity identity;  // of this frame's directory, once asked for
    std::wstring returnPath;               // currentDir to restore on pop
    WIN32_FIND_DATAW entry = {};
    HANDLE enumeration = nullptr;  // 0 until the file enumeration is opened

    // With the pattern "*.*" the collection of sub-directories has already
    // read every entry in enumeration order: the file step replays them
    // instead of enumerating the directory a second time.
    std::vector<WIN32_FIND_DATAW> entries;
    bool replay = false;
    size_t next = 0;

    DirectoryFrame() = default;
    ~DirectoryFrame();
    DirectoryFrame(const DirectoryFrame&) = delete;
    DirectoryFrame& operator=(const DirectoryFrame&) = delete;
};

// Whether a folder can be searched: it exists, is a folder and lists.
enum class FolderState { kReadable, kMissing, kUnreadable };
FolderState CheckFolder(const wchar_t* folder);

class FileIterator {
public:
    static constexpr int kBatchEntries = 102;     // directory entries per Step
    static constexpr int kKeepScanningEvery = 24;  // sub-directories between polls
    static constexpr size_t kMaxReplayedEntries = 1 << 16;  // larger directories are enumerated twice

    enum WalkState : int {
        kChooseDirectory = 0,
        kCollectSubdirectories = 1,
        kEnumerateFiles = 2,
        kListedFiles = 3,
    };

    FileIterator() = default;
    virtual ~FileIterator();
    FileIterator(const FileIterator&) = delete;
    FileIterator& operator=(const FileIterator&) = delete;

    // Starts a walk of `folder`, discarding what an earlier walk left.
    // `patterns` is a file-name pattern list (FileNameFilter).
    void Begin(const wchar_t* folder, const wchar_t* patterns, int recursive);

    // Starts a walk of the files `paths` names instead, in their order (full
    // or relative paths; relative ones are taken from the current folder):
    // no folder is entered and no pattern applies. A path that names
    // nothing is still handed to OnFile, with an entry of its name alone, so
    // that its reading fails in its place; a folder is passed over.
    void BeginList(std::vector<std::wstring> paths);

    // One bounded piece of the walk; false when the walk is over or stopped.
    bool Step();

    const wchar_t* CurrentDir() const { return currentDir.c_str(); }
    int State() const { return walkState; }

protected:
    // A sub-directory (plain path, however long) is about to be walked;
    // false stops the walk.
    virtual bool OnEnterDirectory(const wchar_t* path);
    // A directory's subtree is finished; false stops the walk.
    virtual bool OnLeaveDirectory();
    // A file matching the pattern. `path` is the plain full path, however
    // long (file functions need SystemPath's form of a long one); false
    // stops the walk.
    virtual bool OnFile(const wchar_t* path, const WIN32_FIND_DATAW& entry);
    // Polled while sub-directories are collected; false stops the walk.
    virtual bool KeepScanning();
    // Asked after each file of a batch: true ends the step there, so that a
    // front end can answer its user between two files.
    virtual bool YieldAfterFile();
    // Ends the walk here: the next Step returns false.
    void EndWalk();

private:
    bool CollectSubdirectories();
    void OpenFileEnumeration();
    bool EnumerateFiles();
    bool ChooseDirectory();
    bool ListedFiles();
    // True when the linked directory `path` is one of the directories on the
    // current path (following it would walk in a circle).
    bool IsOnCurrentPath(const std::wstring& path);
    void ClearStack();

    int recursive = 0;
    std::wstring currentDir;  // plain form, ending with a backslash
    FileNameFilter filter;
    std::deque<std::unique_ptr<DirectoryFrame>> stack;
    int walkState = kChooseDirectory;
    std::vector<std::wstring> listed;  // BeginList's paths
    size_t nextListed = 0;
};
