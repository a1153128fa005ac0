// The RTF text reader: one pass over a complete RTF document that leaves the
// plain text the search needs. Plain C++ without Windows headers, so that it
// also builds natively (fuzzing, sanitizers).
#pragma once

#include <string>
#include <vector>

struct RtfStyleEntry {
    int styleNumber = 0;
    bool isSource = false;
    std::string styleName;
};

struct RtfReaderContext {
    bool ignoreHidden = false;        // drop text formatted \v
    bool dropNoProofLetters = false;  // drop ASCII letters formatted \noproof
    bool dropStruckText = false;      // drop text formatted \strike
    // Text in a style of one of these names is replaced by a single space.
    std::vector<std::string> sourceStyleNames;

    // Filled by the run: the style sheet (newest first) and the text.
    std::vector<RtfStyleEntry> styles;
    std::wstring output;
};

// Reads the NUL-terminated RTF bytes `rtf` and leaves the text in
// context.output. Never fails: unknown words are ignored, stray closing
// braces do nothing, open groups are closed at the end.
void ReadRtf(RtfReaderContext& context, const char* rtf);
