// The shell's own interfaces for showing, opening and dragging files.
#include "ui/ShellItems.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "base/LongPath.h"

namespace {

// Explorer and the shell's parsing stop at the classic limit: a long path
// goes by its short form, which fits where the volume keeps short names.
std::wstring ShellForm(const std::wstring& path) { return FittingPath(path); }

}  // namespace

std::vector<std::pair<std::wstring, std::vector<std::wstring>>> GroupByFolder(const std::vector<std::wstring>& paths) {
    std::vector<std::pair<std::wstring, std::vector<std::wstring>>> groups;
    for (const std::wstring& path : paths) {
        const size_t slash = path.find_last_of(L'\\');
        const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
        auto group = groups.begin();
        while (group != groups.end() && CompareStringOrdinal(group->first.c_str(), -1, folder.c_str(), -1, TRUE) !=
                                            CSTR_EQUAL)
            ++group;
        if (group == groups.end()) {
            groups.emplace_back(folder, std::vector<std::wstring>());
            group = groups.end() - 1;
        }
        group->second.push_back(path);
    }
    return groups;
}

ItemLists::~ItemLists() {
    for (PIDLIST_ABSOLUTE item : items)
        CoTaskMemFree(item);
}

bool ItemLists::Add(const std::wstring& path) {
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(SHParseDisplayName(ShellForm(path).c_str(), nullptr, &item, 0, nullptr)) || !item)
        return false;
    items.push_back(item);
    return true;
}

bool ShowInFolder(const std::vector<std::wstring>& paths, size_t maxFolders) {
    bool any = false;
    const auto groups = GroupByFolder(paths);
    for (size_t g = 0; g < groups.size() && g < maxFolders; ++g) {
        const auto& [folder, files] = groups[g];
        ItemLists folderItem, fileItems;
        bool ok = folderItem.Add(folder + L"\\");
        for (const std::wstring& file : files)
            ok = ok && fileItems.Add(file);
        if (ok && SUCCEEDED(SHOpenFolderAndSelectItems(folderItem[0], static_cast<UINT>(fileItems.Size()),
                                                       reinterpret_cast<PCUITEMID_CHILD_ARRAY>(fileItems.Data()), 0))) {
            any = true;
            continue;
        }
        const std::wstring arguments = L"/select,\"" + ShellForm(files.front()) + L"\"";
        if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", L"explorer.exe", arguments.c_str(), nullptr,
                                                    SW_SHOWNORMAL)) > 32)
            any = true;
    }
    return any;
}

bool OpenWithChoice(HWND owner, const std::wstring& path) {
    const std::wstring file = ShellForm(path);
    OPENASINFO info{};
    info.pcszFile = file.c_str();
    info.oaifInFlags = OAIF_ALLOW_REGISTRATION | OAIF_EXEC;
    if (SUCCEEDED(SHOpenWithDialog(owner, &info)))
        return true;
    // Systems without the dialog function have the older entry point.
    const std::wstring arguments = L"shell32.dll,OpenAs_RunDLL " + file;
    return reinterpret_cast<INT_PTR>(
               ShellExecuteW(owner, L"open", L"rundll32.exe", arguments.c_str(), nullptr, SW_SHOWNORMAL)) > 32;
}

IDataObject* CreateFilesDataObject(const std::vector<std::wstring>& paths) {
    ItemLists items;
    for (const std::wstring& path : paths) {
        if (!items.Add(path))
            return nullptr;
    }
    if (items.Size() == 0)
        return nullptr;
    // Absolute lists below the desktop: files of several folders in one drag.
    IDataObject* data = nullptr;
    if (FAILED(SHCreateDataObject(nullptr, static_cast<UINT>(items.Size()),
                                  reinterpret_cast<PCUITEMID_CHILD_ARRAY>(items.Data()), nullptr, IID_IDataObject,
                                  reinterpret_cast<void**>(&data))) ||
        !data)
        return nullptr;
    // Explorer moves files dropped on their own volume unless told otherwise.
    FORMATETC format = {static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT)), nullptr,
                        DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
    if (medium.hGlobal) {
        if (auto* effect = static_cast<DWORD*>(GlobalLock(medium.hGlobal))) {
            *effect = DROPEFFECT_COPY;
            GlobalUnlock(medium.hGlobal);
        }
        if (FAILED(data->SetData(&format, &medium, TRUE)))
            GlobalFree(medium.hGlobal);
    }
    return data;
}

DWORD DragFiles(HWND source, const std::vector<std::wstring>& paths) {
    IDataObject* data = CreateFilesDataObject(paths);
    if (!data)
        return DROPEFFECT_NONE;
    DWORD effect = DROPEFFECT_NONE;
    SHDoDragDrop(source, data, nullptr, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    data->Release();
    return effect;
}
