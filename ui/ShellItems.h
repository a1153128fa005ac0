// Files handed to the shell: Explorer opened on a folder with files
// selected, the system's "Open with" choice, and the data object that a
// drag of files carries.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>
#include <utility>
#include <vector>

// Paths grouped by their folder, folders in the order first met, files in
// the order given. A folder is the path up to its last backslash.
std::vector<std::pair<std::wstring, std::vector<std::wstring>>> GroupByFolder(const std::vector<std::wstring>& paths);

// Absolute item lists, freed with the object.
class ItemLists {
public:
    ItemLists() = default;
    ~ItemLists();
    ItemLists(const ItemLists&) = delete;
    ItemLists& operator=(const ItemLists&) = delete;
    // The shell's item list of `path` (a long one by its short form where
    // the shell needs it); false when the shell knows no such item.
    bool Add(const std::wstring& path);
    size_t Size() const { return items.size(); }
    PCIDLIST_ABSOLUTE* Data() { return const_cast<PCIDLIST_ABSOLUTE*>(items.data()); }
    PCIDLIST_ABSOLUTE operator[](size_t i) const { return items[i]; }

private:
    std::vector<PIDLIST_ABSOLUTE> items;
};

// Opens each folder of `paths` in Explorer with its files selected (at most
// `maxFolders` windows); a folder the shell cannot do so is opened by
// Explorer's own "/select". False when nothing could be opened.
bool ShowInFolder(const std::vector<std::wstring>& paths, size_t maxFolders = 8);

// The system's "Open with" choice for one file.
bool OpenWithChoice(HWND owner, const std::wstring& path);

// A data object that holds the files as the shell gives them to a drag
// (CF_HDROP, the shell's item lists), copy preferred. Null when a path is
// unknown to the shell.
IDataObject* CreateFilesDataObject(const std::vector<std::wstring>& paths);
// Drags the files with the system's drag image and effects; the drop
// decides copy (the default), move or link. Returns the effect.
DWORD DragFiles(HWND source, const std::vector<std::wstring>& paths);
