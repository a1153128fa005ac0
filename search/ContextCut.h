// The slice of text shown under a result row around one hit.
#pragma once

struct ContextSpan {
    int begin;  // first character of the context
    int stop;   // one past its last character
};

// A window of `width` characters centred on the middle of the hit
// [start, end), clipped to the text, then moved to begin after the last line
// feed before the hit inside the window. The stop never moves with it.
ContextSpan CutContext(const wchar_t* text, int textLength, int start, int end, int width);
