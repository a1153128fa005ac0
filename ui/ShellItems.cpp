// The shell's own interfaces for showing, opening and dragging files.
#include "ui/ShellItems.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "base/LongPath.h"

namespace {

// Explorer and the shell's parsing stop at the classic limit: a long path
// goes by its short form, which fits where the volume keeps short names.
std::wstring ShellForm(const std::wstring& path) { return FittingPath(path); }

// DROPFILES followed by the paths, each NUL-terminated, and a final NUL.
HGLOBAL DropFilesBlock(const std::vector<std::wstring>& paths) {
    size_t units = 1;
    for (const std::wstring& path : paths)
        units += path.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
    if (!block)
        return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& path : paths) {
        wmemcpy(text, path.c_str(), path.size());
        text += path.size() + 1;
    }
    GlobalUnlock(block);
    return block;
}

HGLOBAL DwordBlock(DWORD value) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
    if (auto* p = block ? static_cast<DWORD*>(GlobalLock(block)) : nullptr) {
        *p = value;
        GlobalUnlock(block);
    }
    return block;
}

// A data object of the files' list alone, for shells that know no item for
// a path (some stop at the classic length): the list, copy preferred.
class FileListData : public IDataObject {
public:
    explicit FileListData(std::vector<std::wstring> paths) : paths(std::move(paths)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDataObject) {
            *out = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs);
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        const HRESULT ok = QueryGetData(format);
        if (ok != S_OK)
            return ok;
        medium->tymed = TYMED_HGLOBAL;
        medium->pUnkForRelease = nullptr;
        medium->hGlobal = format->cfFormat == CF_HDROP ? DropFilesBlock(paths) : DwordBlock(DROPEFFECT_COPY);
        return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (!format || !(format->tymed & TYMED_HGLOBAL) || format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        return format->cfFormat == CF_HDROP || format->cfFormat == PreferredEffectFormat() ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC formats[] = {{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                               {PreferredEffectFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}};
        return SHCreateStdEnumFmtEtc(2, formats, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

    static CLIPFORMAT PreferredEffectFormat() {
        return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT));
    }

private:
    virtual ~FileListData() = default;
    LONG refs = 1;
    std::vector<std::wstring> paths;
};

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
    // The short form first; shells that parse only long names get the path
    // as it is, then its verbatim form.
    for (const std::wstring& form : {ShellForm(path), path, SystemPath(path)}) {
        PIDLIST_ABSOLUTE item = nullptr;
        if (!form.empty() && SUCCEEDED(SHParseDisplayName(form.c_str(), nullptr, &item, 0, nullptr)) && item) {
            items.push_back(item);
            return true;
        }
        if (path.size() <= kClassicPathChars)
            break;  // a path that fits has no other form
    }
    return false;
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
    if (paths.empty())
        return nullptr;
    // When the shell cannot make its object for every file, the files must
    // still all go: the list alone, in the form the receiver can open.
    auto listOnly = [&paths]() -> IDataObject* {
        std::vector<std::wstring> forms;
        for (const std::wstring& p : paths)
            forms.push_back(ShellForm(p));
        return new FileListData(std::move(forms));
    };
    ItemLists items;
    for (const std::wstring& path : paths) {
        if (!items.Add(path))
            return listOnly();
    }
    // Absolute lists below the desktop: files of several folders in one drag.
    IDataObject* data = nullptr;
    if (FAILED(SHCreateDataObject(nullptr, static_cast<UINT>(items.Size()),
                                  reinterpret_cast<PCUITEMID_CHILD_ARRAY>(items.Data()), nullptr, IID_IDataObject,
                                  reinterpret_cast<void**>(&data))) ||
        !data)
        return listOnly();
    // Explorer moves files dropped on their own volume unless told otherwise.
    FORMATETC format = {FileListData::PreferredEffectFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = DwordBlock(DROPEFFECT_COPY);
    if (medium.hGlobal && FAILED(data->SetData(&format, &medium, TRUE)))
        GlobalFree(medium.hGlobal);
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
