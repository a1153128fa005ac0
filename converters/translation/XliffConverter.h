// XLIFF files: all source text, a line break, then all target text.
#pragma once

#include <string>
#include <vector>

#include "converters/DocConverter.h"
#include "converters/readers/XmlDocument.h"

class XliffConverter : public DocConverter {
public:
    XliffConverter() = default;

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // The last three characters are "xlf" (and at least four in all), or the
    // last five are "xliff" (and at least six), in any case.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;

    // Converts a block holding an XLIFF document's bytes (read as UTF-8
    // whatever the document declares) into a text block; null on failure.
    // The caller keeps `block`, which must end with a NUL byte.
    HGLOBAL ConvertDocument(HGLOBAL block, const SearchRequest& request);

protected:
    // The document conversion over NUL-terminated bytes that the parser may
    // change in place.
    HGLOBAL ConvertBytes(char* bytes, const SearchRequest& request);

public:

    const std::vector<std::string>& IgnoredNames() const { return ignoredNames; }

private:
    void SetIgnoredNames(const wchar_t* ignoreTags);
    void Prune(XmlNode* node);
    void Gather(const XmlNode* node);
    void ReadRoot(const XmlNode* top);
    // True for the XLIFF element `local`, written bare or with the root's prefix.
    bool IsXliffName(const XmlNode* node, const char* local) const;
    void TakeUnit(const XmlNode* unit);
    // A text node's bytes, still in the parsed document.
    struct TextRun {
        const char* text;
        size_t size;
    };
    struct Runs {
        std::vector<TextRun> runs;
        size_t bytes = 0;  // the runs' sizes plus one separator each
    };
    static void Collect(const XmlNode* node, Runs* into);
    wchar_t* WriteRuns(const Runs& from, wchar_t* out);

    // The runs are found first and converted straight into the result,
    // each followed by a space.
    Runs sourceRuns;
    Runs targetRuns;
    std::vector<std::string> ignoredNames;  // UTF-8, as the document's names
    std::string prefix;       // "xlf:" for a root named "xlf:xliff"
    bool versionTwo = false;  // units, segments and ignorables
    bool wroteNul = false;    // a folded run held a NUL unit
};
