// The OpenTag placeholder.
#include "converters/translation/OpenTagConverter.h"

HGLOBAL OpenTagConverter::Convert(const wchar_t*, const SearchRequest&) { return nullptr; }

int OpenTagConverter::Accepts(const wchar_t*) { return 0; }

std::unique_ptr<DocConverter> OpenTagConverter::Clone() const {
    auto copy = std::make_unique<OpenTagConverter>();
    copy->CopyStringsFrom(*this);
    return copy;
}
