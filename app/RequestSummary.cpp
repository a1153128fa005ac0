// The request summary and the command-line folder.
#include "app/RequestSummary.h"

#include <cwchar>

#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "resource.h"

std::wstring FormatRequestSummary(const SearchRequest& request) {
    std::wstring first;
    if (!FormatResourceText(&first, request.recursion ? IDS_WITH_SUBDIRS : IDS_WITHOUT_SUBDIRS,
                            request.fileNameSpec))
        return std::wstring();
    if (first.size() > 1023)
        first.resize(1023);
    const unsigned second = request.regex           ? IDS_REGEX_SEARCH
                            : request.caseSensitive ? IDS_CASE_SENSITIVE
                                                    : IDS_NOT_CASE_SENSITIVE;
    std::wstring text;
    if (!FormatResourceText(&text, second, first.c_str()))
        return std::wstring();
    return text;
}

std::wstring FolderFromCommandLine(const wchar_t* commandLine) {
    std::wstring text = commandLine ? commandLine : L"";
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"' &&
        text.find(L'"', 1) == text.size() - 1)
        text = text.substr(1, text.size() - 2);
    return text;
}
