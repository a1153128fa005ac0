// XLIFF files: all source text, a line break, then all target text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converters/DocConverter.h"
#include "converters/readers/XmlDocument.h"

class LineIndex;

class XliffConverter : public DocConverter {
public:
    XliffConverter() = default;

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // The last three characters are "xlf" (and at least four in all), or the
    // last five are "xliff" (and at least six), in any case.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // The parsed document's nodes come on top of the text.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 8 + kBaseWorkingBytes; }

    // Converts a block holding an XLIFF document's bytes (read as UTF-8
    // whatever the document declares) into a text block; null on failure.
    // The caller keeps `block`, which must end with a NUL byte.
    HGLOBAL ConvertDocument(HGLOBAL block, const SearchRequest& request);

protected:
    // The document conversion over NUL-terminated bytes that the parser may
    // change in place. `fileLines`: the bytes are the file's own, and its
    // segments get the lines where they start (not a document inside an
    // archive, which no editor opens at a line).
    HGLOBAL ConvertBytes(char* bytes, const SearchRequest& request, bool fileLines = false);

public:

    const std::vector<std::string>& IgnoredNames() const { return ignoredNames; }

private:
    void SetIgnoredNames(const wchar_t* ignoreTags);
    void Prune(XmlNode* node);
    void Gather(const XmlNode* node);
    void ReadRoot(const XmlNode* top);
    // True for the XLIFF element `local`, written bare or with the root's prefix.
    bool IsXliffName(const XmlNode* node, const char* local) const;
    // Collects the source and target runs of `unit`; with `segmentId`, and
    // segments wanted, the unit's runs make a segment of that id.
    // `lockedUnit`: the unit around a 2.0 segment says translate="no".
    void TakeUnit(const XmlNode* unit, const std::wstring* segmentId = nullptr, bool lockedUnit = false);
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
    // Writes the runs from `out` on; with `places`, where each run went
    // (units from `base`, without the space that follows it).
    wchar_t* WriteRuns(const Runs& from, wchar_t* out, const wchar_t* base, std::vector<TextRange>* places);
    // The segments from the units' runs and the runs' places.
    void MakeSegments();

    // A segment's runs: [sourceBegin, sourceEnd) of the source runs and
    // [targetBegin, targetEnd) of the target runs.
    struct SegmentRuns {
        std::wstring id;
        uint32_t sourceBegin, sourceEnd, targetBegin, targetEnd;
        SegmentState state;
        bool locked;
        int line;
        int maxLength;
        std::wstring sourceCodes;
        std::wstring targetCodes;
    };
    std::vector<SegmentRuns> segmentRuns;
    // Where the document's lines begin, while segments are wanted.
    const LineIndex* lines = nullptr;
    std::vector<TextRange> sourcePlaces;
    std::vector<TextRange> targetPlaces;
    int unitCount = 0;  // units taken so far

    // The runs are found first and converted straight into the result,
    // each followed by a space.
    Runs sourceRuns;
    Runs targetRuns;
    std::vector<std::string> ignoredNames;  // UTF-8, as the document's names
    std::string prefix;       // "xlf:" for a root named "xlf:xliff"
    bool versionTwo = false;  // units, segments and ignorables
    // The languages the file names: 1.2 its first file's, 2.0 its root's.
    std::wstring sourceLanguage;
    std::wstring targetLanguage;
};
