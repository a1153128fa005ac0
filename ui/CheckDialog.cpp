// The Check segments dialog and the settings it keeps.
#include "ui/CheckDialog.h"

#include <commdlg.h>

#include <algorithm>

#include "base/ResourceText.h"
#include "base/Settings.h"
#include "resource.h"
#include "ui/Dialogs.h"

namespace {

constexpr const wchar_t* kObjectProperty = L"MirlockCheckDialog";
constexpr int kStateCount = 6;

struct DialogState {
    CheckDialogData* data;
    const std::function<bool(const CheckDialogData&, std::wstring* error)>* accept;
};

// Option bits as stored under "CheckOptions".
enum : int {
    kSameCase = 1,
    kTermsCase = 2,
    kConsCase = 4,
    kConsCodes = 8,
    kConsSpaces = 16,
    kTagOrder = 32,
    kLocked = 64,
};

std::wstring FieldText(HWND dialog, int id) {
    const int length = GetWindowTextLengthW(GetDlgItem(dialog, id));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetDlgItemTextW(dialog, id, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

void Browse(HWND dialog, int field, unsigned filterId) {
    std::wstring filter = LoadResourceText(filterId);
    for (auto& c : filter) {
        if (c == L'|')
            c = L'\0';
    }
    filter += L'\0';
    std::wstring name = FieldText(dialog, field);
    name.resize(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLESIZING;
    if (GetOpenFileNameW(&ofn))
        SetDlgItemTextW(dialog, field, name.c_str());
}

void Fill(HWND dialog, const CheckDialogData& data) {
    const CheckSettings& s = data.settings;
    for (int i = 0; i < kCheckCount; ++i)
        CheckDlgButton(dialog, IDC_CHECK_FIRST + i, s.On(static_cast<CheckKind>(i)) ? BST_CHECKED : BST_UNCHECKED);
    for (int i = 0; i < kStateCount; ++i)
        CheckDlgButton(dialog, IDC_STATE_FIRST + i, (s.statuses & (1u << (i + 1))) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CHECK_SAME_CASE, s.sameAsSourceCase);
    CheckDlgButton(dialog, IDC_CHECK_TERMS_CASE, s.termsCase);
    CheckDlgButton(dialog, IDC_CHECK_CONS_CASE, s.consistencyIgnoreCase);
    CheckDlgButton(dialog, IDC_CHECK_CONS_CODES, s.consistencyIgnoreCodes);
    CheckDlgButton(dialog, IDC_CHECK_CONS_SPACES, s.consistencyCollapseSpaces);
    CheckDlgButton(dialog, IDC_CHECK_TAG_ORDER, s.tagOrderMatters);
    CheckDlgButton(dialog, IDC_CHECK_LOCKED, s.checkLocked);
    SetDlgItemTextW(dialog, IDC_CHECK_LENGTH_PERCENT, s.lengthPercent > 0 ? std::to_wstring(s.lengthPercent).c_str() : L"");
    SendDlgItemMessageW(dialog, IDC_CHECK_LENGTH_PERCENT, EM_LIMITTEXT, 5, 0);
    SendDlgItemMessageW(dialog, IDC_CHECK_GLOSSARY, EM_LIMITTEXT, 259, 0);
    SendDlgItemMessageW(dialog, IDC_CHECK_CHECKLIST, EM_LIMITTEXT, 259, 0);
    SetDlgItemTextW(dialog, IDC_CHECK_GLOSSARY, data.glossary.c_str());
    SetDlgItemTextW(dialog, IDC_CHECK_CHECKLIST, data.checklist.c_str());
}

CheckDialogData Read(HWND dialog) {
    CheckDialogData data;
    CheckSettings& s = data.settings;
    auto on = [dialog](int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; };
    for (int i = 0; i < kCheckCount; ++i)
        s.enabled.set(static_cast<size_t>(i), on(IDC_CHECK_FIRST + i));
    s.statuses = 1u;  // a segment whose file says no state is always checked
    for (int i = 0; i < kStateCount; ++i) {
        if (on(IDC_STATE_FIRST + i))
            s.statuses |= 1u << (i + 1);
    }
    s.sameAsSourceCase = on(IDC_CHECK_SAME_CASE);
    s.termsCase = on(IDC_CHECK_TERMS_CASE);
    s.consistencyIgnoreCase = on(IDC_CHECK_CONS_CASE);
    s.consistencyIgnoreCodes = on(IDC_CHECK_CONS_CODES);
    s.consistencyCollapseSpaces = on(IDC_CHECK_CONS_SPACES);
    s.tagOrderMatters = on(IDC_CHECK_TAG_ORDER);
    s.checkLocked = on(IDC_CHECK_LOCKED);
    BOOL ok = FALSE;
    const UINT percent = GetDlgItemInt(dialog, IDC_CHECK_LENGTH_PERCENT, &ok, FALSE);
    s.lengthPercent = ok ? static_cast<int>(std::min<UINT>(percent, 99999)) : 0;
    data.glossary = FieldText(dialog, IDC_CHECK_GLOSSARY);
    data.checklist = FieldText(dialog, IDC_CHECK_CHECKLIST);
    return data;
}

INT_PTR CALLBACK CheckDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<DialogState*>(lParam);
        SetPropW(dialog, kObjectProperty, state);
        Fill(dialog, *state->data);
        CentreOverOwner(dialog, GetWindow(dialog, GW_OWNER));
        return TRUE;
    }
    case WM_COMMAND: {
        auto* state = static_cast<DialogState*>(GetPropW(dialog, kObjectProperty));
        switch (LOWORD(wParam)) {
        case IDC_CHECK_GLOSSARY_BROWSE:
            Browse(dialog, IDC_CHECK_GLOSSARY, IDS_CHECK_GLOSSARY_FILTER);
            return TRUE;
        case IDC_CHECK_CHECKLIST_BROWSE:
            Browse(dialog, IDC_CHECK_CHECKLIST, IDS_CHECK_CHECKLIST_FILTER);
            return TRUE;
        case IDOK: {
            if (!state)
                return TRUE;
            const CheckDialogData chosen = Read(dialog);
            std::wstring error;
            if (state->accept && *state->accept && !(*state->accept)(chosen, &error)) {
                MessageBoxW(dialog, error.c_str(), L"Mirlock", MB_OK | MB_ICONEXCLAMATION);
                return TRUE;
            }
            *state->data = chosen;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    }
    case WM_DESTROY:
        RemovePropW(dialog, kObjectProperty);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

CheckDialogData ReadCheckDialogData() {
    CheckDialogData data;
    CheckSettings& s = data.settings;
    const int checks = ReadSettingInt(L"Checks", (1 << kCheckCount) - 1);
    for (int i = 0; i < kCheckCount; ++i)
        s.enabled.set(static_cast<size_t>(i), (checks >> i) & 1);
    const int options = ReadSettingInt(L"CheckOptions", kSameCase | kConsSpaces);
    s.sameAsSourceCase = options & kSameCase;
    s.termsCase = options & kTermsCase;
    s.consistencyIgnoreCase = options & kConsCase;
    s.consistencyIgnoreCodes = options & kConsCodes;
    s.consistencyCollapseSpaces = options & kConsSpaces;
    s.tagOrderMatters = options & kTagOrder;
    s.checkLocked = options & kLocked;
    s.lengthPercent = std::max(0, ReadSettingInt(L"CheckLengthPercent", 0));
    s.statuses = static_cast<unsigned>(ReadSettingInt(L"CheckStatuses", (1 << (kStateCount + 1)) - 1)) | 1u;
    wchar_t text[260];
    ReadSettingString(L"CheckGlossary", text);
    data.glossary = text;
    ReadSettingString(L"CheckChecklist", text);
    data.checklist = text;
    return data;
}

void WriteCheckDialogData(const CheckDialogData& data) {
    const CheckSettings& s = data.settings;
    int checks = 0;
    for (int i = 0; i < kCheckCount; ++i)
        checks |= s.On(static_cast<CheckKind>(i)) ? 1 << i : 0;
    WriteSettingInt(L"Checks", checks);
    WriteSettingInt(L"CheckOptions", (s.sameAsSourceCase ? kSameCase : 0) | (s.termsCase ? kTermsCase : 0) |
                                         (s.consistencyIgnoreCase ? kConsCase : 0) |
                                         (s.consistencyIgnoreCodes ? kConsCodes : 0) |
                                         (s.consistencyCollapseSpaces ? kConsSpaces : 0) |
                                         (s.tagOrderMatters ? kTagOrder : 0) | (s.checkLocked ? kLocked : 0));
    WriteSettingInt(L"CheckLengthPercent", s.lengthPercent);
    WriteSettingInt(L"CheckStatuses", static_cast<int>(s.statuses & ((1u << (kStateCount + 1)) - 1)));
    WriteSettingString(L"CheckGlossary", data.glossary.c_str());
    WriteSettingString(L"CheckChecklist", data.checklist.c_str());
}

INT_PTR RunCheckDialog(HWND owner, CheckDialogData& data,
                       const std::function<bool(const CheckDialogData&, std::wstring* error)>& accept) {
    DialogState state{&data, &accept};
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CHECKS), owner,
                                           CheckDialogProc, reinterpret_cast<LPARAM>(&state));
    return result == IDOK ? IDOK : IDCANCEL;
}
