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

// The context as it is shown: a span cut inside a line moves to the nearest
// word edge within kWordEdgeReach units (never into the hit), and says at
// which ends it is cut, where an ellipsis then shows.
struct ShownContextSpan {
    int begin;
    int stop;
    bool cutBefore;  // the line goes on before `begin`
    bool cutAfter;   // the text goes on after `stop`
};
constexpr int kWordEdgeReach = 12;
ShownContextSpan ShowContextSpan(const wchar_t* text, int textLength, ContextSpan span, int start, int end);

// The ellipsis that marks a cut context.
constexpr wchar_t kContextEllipsis = L'\u2026';
