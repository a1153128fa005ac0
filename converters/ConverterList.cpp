// Building and querying the converter set.
#include "converters/ConverterList.h"

#include "converters/installed/FilterConverter.h"
#include "converters/installed/FilterHost.h"
#include "converters/installed/LibConverter.h"
#include "converters/translation/LwoConverter.h"
#include "converters/office/OdfConverter.h"
#include "converters/office/OoxmlConverter.h"
#include "converters/translation/OpenTagConverter.h"
#include "converters/translation/PoConverter.h"
#include "converters/translation/TmxConverter.h"
#include "converters/translation/TtxConverter.h"
#include "converters/TxtConverter.h"
#include "converters/translation/XliffConverter.h"
#include "converters/translation/XlzConverter.h"

ConverterList::~ConverterList() { ClearConverters(); }

void ConverterList::ClearConverters() {
    for (int i = 0; i < prototypeCount; ++i)
        prototypes[i].reset();
    prototypeCount = 0;
}

bool ConverterList::Append(std::unique_ptr<DocConverter> converter) {
    if (prototypeCount >= kMaxConverters)
        return false;
    prototypes[prototypeCount++] = std::move(converter);
    return true;
}

void ConverterList::BuildConverters(int newMode) {
    ClearConverters();
    mode = newMode;
    if (mode == ConverterModeTextOnly) {
        Append(std::make_unique<TxtConverter>());
        SetReadUtf8(readUtf8);
        return;
    }
    // Translation formats come first, then the system-backed converters of
    // the mode; the plain-text converter, which takes every file, closes the
    // list in every mode.
    Append(std::make_unique<TtxConverter>());
    Append(std::make_unique<XlzConverter>());
    Append(std::make_unique<XliffConverter>());
    Append(std::make_unique<LwoConverter>());
    Append(std::make_unique<OpenTagConverter>());
    Append(std::make_unique<TmxConverter>());
    Append(std::make_unique<PoConverter>());
    if (mode == ConverterModeIFilter)
        Append(std::make_unique<FilterConverter>());
    if (mode == ConverterModeOffice)
        AppendImportConverters();
    // Office documents that no installed component took.
    Append(std::make_unique<OoxmlConverter>());
    Append(std::make_unique<OdfConverter>());
    Append(std::make_unique<TxtConverter>());
    SetReadUtf8(readUtf8);
}

void ConverterList::LinkFollowing() {
    for (int i = 0; i < prototypeCount; ++i) {
        if (auto* filter = dynamic_cast<FilterConverter*>(prototypes[i].get())) {
            std::vector<std::unique_ptr<DocConverter>> following;
            for (int j = i + 1; j < prototypeCount; ++j)
                following.push_back(prototypes[j]->Clone());
            filter->SetFollowing(std::move(following));
        }
    }
}

void ConverterList::SetReadUtf8(bool on) {
    readUtf8 = on;
    for (int i = 0; i < prototypeCount; ++i) {
        if (auto* text = dynamic_cast<TxtConverter*>(prototypes[i].get()))
            text->SetReadUtf8(on);
    }
    LinkFollowing();
}

void ConverterList::AppendImportConverters() {
    HKEY import = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, LibConverter::kImportKey, 0, KEY_READ, &import) != ERROR_SUCCESS)
        return;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(import, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        auto converter = std::make_unique<LibConverter>();
        converter->FillFromRegistry(import, name);
        if (!Append(std::move(converter)))
            break;
    }
    RegCloseKey(import);
}

void ConverterList::BeginSearch() {
    for (int i = 0; i < prototypeCount; ++i)
        prototypes[i]->BeginSearch();
}

DocConverter* ConverterList::FindConverter(const wchar_t* path) const {
    for (int i = 0; i < prototypeCount; ++i) {
        if (prototypes[i]->Accepts(path))
            return prototypes[i].get();
    }
    return nullptr;
}

bool ConverterList::TakeNotice(std::wstring* message) const { return TakeFilterHostNotice(message); }
