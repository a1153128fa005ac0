// Options and About: one function and one record each.
#include "ui/Dialogs.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <memory>

#include "resource.h"
#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "search/SearchPool.h"

namespace {

constexpr const wchar_t* kObjectProperty = L"WindowObject";

int ModeButton(int mode) {
    switch (mode) {
    case 0: return IDC_MODE_IFILTER;
    case 1: return IDC_MODE_OFFICE;
    default: return IDC_MODE_TEXT;
    }
}

// The unsigned decimal number at the start of the field, 0 when there is none.
unsigned ReadNumberField(HWND dialog, int id) {
    wchar_t text[32] = {};
    GetDlgItemTextW(dialog, id, text, 32);
    unsigned long long value = 0;
    for (const wchar_t* p = text; *p >= L'0' && *p <= L'9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - L'0');
        if (value > 0xFFFFFFFFull)
            return 0xFFFFFFFFu;
    }
    return static_cast<unsigned>(value);
}

INT_PTR CALLBACK OptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* data = reinterpret_cast<OptionsData*>(lParam);
        data->dialog = dialog;
        SetPropW(dialog, kObjectProperty, data);
        CentreOverOwner(dialog, GetWindow(dialog, GW_OWNER));
        CheckRadioButton(dialog, IDC_MODE_OFFICE, IDC_MODE_TEXT, ModeButton(data->converterMode));
        wchar_t number[16];
        swprintf(number, 16, L"%u", data->maximumMatch);
        SetDlgItemTextW(dialog, IDC_MAXIMUM_MATCH, number);
        CheckDlgButton(dialog, IDC_READ_UTF8, data->readUtf8 ? BST_CHECKED : BST_UNCHECKED);
        // Item k is k threads; item 0 is "Automatic".
        HWND threads = GetDlgItem(dialog, IDC_SEARCH_THREADS);
        const std::wstring automatic = LoadResourceText(IDS_THREADS_AUTOMATIC);
        SendMessageW(threads, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(automatic.c_str()));
        for (int k = 1; k <= kMaxThreads; ++k)
            SendMessageW(threads, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(k).c_str()));
        SendMessageW(threads, CB_SETCURSEL, std::clamp(data->searchThreads, 0, kMaxThreads), 0);
        SetDlgItemInt(dialog, IDC_FILTER_TIMEOUT, static_cast<UINT>(data->filterTimeout), FALSE);
        SendDlgItemMessageW(dialog, IDC_FILTER_TIMEOUT, EM_LIMITTEXT, 4, 0);
        HWND editor = GetDlgItem(dialog, IDC_EDITOR);
        SendMessageW(editor, CB_LIMITTEXT, 259, 0);  // what the settings store keeps
        for (const std::wstring& choice : data->editorChoices)
            SendMessageW(editor, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.c_str()));
        SetWindowTextW(editor, data->editor.c_str());
        return TRUE;
    }
    case WM_COMMAND: {
        auto* data = static_cast<OptionsData*>(GetPropW(dialog, kObjectProperty));
        if (LOWORD(wParam) == IDOK && data) {
            // No file can keep fewer than one hit: said, and the dialog stays.
            if (ReadNumberField(dialog, IDC_MAXIMUM_MATCH) < 1) {
                MessageBoxW(dialog, LoadResourceText(IDS_MAXIMUM_TOO_SMALL).c_str(), L"Mirlock",
                            MB_OK | MB_ICONEXCLAMATION);
                HWND field = GetDlgItem(dialog, IDC_MAXIMUM_MATCH);
                SetFocus(field);
                SendMessageW(field, EM_SETSEL, 0, -1);
                return TRUE;
            }
            data->converterMode = IsDlgButtonChecked(dialog, IDC_MODE_IFILTER) == BST_CHECKED ? 0
                                  : IsDlgButtonChecked(dialog, IDC_MODE_OFFICE) == BST_CHECKED ? 1
                                                                                              : 2;
            data->maximumMatch = ReadNumberField(dialog, IDC_MAXIMUM_MATCH);
            data->readUtf8 = IsDlgButtonChecked(dialog, IDC_READ_UTF8) == BST_CHECKED;
            const LRESULT threads = SendDlgItemMessageW(dialog, IDC_SEARCH_THREADS, CB_GETCURSEL, 0, 0);
            data->searchThreads = threads == CB_ERR ? 0 : static_cast<int>(threads);
            // An empty field or 0 is the shortest limit, not none.
            data->filterTimeout = static_cast<int>(
                std::clamp<unsigned>(ReadNumberField(dialog, IDC_FILTER_TIMEOUT), 1, kMaxFilterTimeout));
            wchar_t editor[260] = {};
            GetDlgItemTextW(dialog, IDC_EDITOR, editor, 260);
            data->editor = editor;
            // Spaces around the command are no command.
            while (!data->editor.empty() && data->editor.back() == L' ')
                data->editor.pop_back();
            data->editor.erase(0, data->editor.find_first_not_of(L' ') == std::wstring::npos
                                      ? data->editor.size()
                                      : data->editor.find_first_not_of(L' '));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    case WM_DESTROY:
        RemovePropW(dialog, kObjectProperty);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextW(dialog, IDC_VERSION_LINE, reinterpret_cast<const wchar_t*>(lParam));
        CentreOverOwner(dialog, GetWindow(dialog, GW_OWNER));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR RunOptionsDialog(HWND owner, OptionsData& data) {
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OPTIONS),
                                           owner, OptionsProc, reinterpret_cast<LPARAM>(&data));
    return result == IDOK ? IDOK : IDCANCEL;
}

void RunAboutDialog(HWND owner, const wchar_t* versionLine) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc,
                    reinterpret_cast<LPARAM>(versionLine));
}

std::wstring FormatVersionLine(unsigned major, unsigned minor, unsigned fourth) {
    wchar_t text[64];
    swprintf(text, 64, L"mirlock version %d.%d.%.3d", major, minor, fourth);
    return text;
}

void BuildVersionLine(wchar_t* out, size_t capacity) {
    std::wstring line = L"mirlock version ?";
    wchar_t path[1024] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, 1024);
    DWORD ignored = 0;
    const DWORD size = length && length < 1024 ? GetFileVersionInfoSizeW(path, &ignored) : 0;
    if (size) {
        auto data = std::make_unique<unsigned char[]>(size);
        VS_FIXEDFILEINFO* info = nullptr;
        UINT infoSize = 0;
        if (GetFileVersionInfoW(path, 0, size, data.get()) &&
            VerQueryValueW(data.get(), L"\\", reinterpret_cast<void**>(&info), &infoSize) &&
            info && infoSize >= sizeof(VS_FIXEDFILEINFO)) {
            line = FormatVersionLine(HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                                     LOWORD(info->dwFileVersionLS));
        }
    }
    if (capacity == 0)
        return;
    const size_t n = std::min(line.size(), capacity - 1);
    wmemcpy(out, line.c_str(), n);
    out[n] = 0;
}

POINT CentredPosition(const RECT& p, int w, int h) {
    LONG x = (p.left + p.right) / 2 - w / 2;
    LONG y = (p.top + p.bottom) / 2 - h / 2;
    if (x + w > p.right)
        x = p.right - w;
    if (y + h > p.bottom)
        y = p.bottom - h;
    return {std::max(x, p.left), std::max(y, p.top)};
}

void CentreOverOwner(HWND dialog, HWND owner) {
    if (!owner)
        return;
    RECT client{}, box{};
    GetClientRect(owner, &client);
    GetWindowRect(dialog, &box);
    POINT at = CentredPosition(client, box.right - box.left, box.bottom - box.top);
    ClientToScreen(owner, &at);
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
