// Helpers shared by the text buffer suites.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "editor/editdata.h"

inline std::vector<std::u16string> Lines(const CEditData& d) {
    std::vector<std::u16string> out;
    for (int i = 0; i < d.GetLineCount(); i++) out.emplace_back(d.GetLineText(i));
    return out;
}

inline std::u16string Joined(const CEditData& d) {
    std::u16string s;
    for (int i = 0; i < d.GetLineCount(); i++) {
        if (i) s += u'\n';
        s += d.GetLineText(i);
    }
    return s;
}

// Replaces the text without touching the history.
inline void SetText(CEditData& d, const char16_t* text) {
    d.ClearText();
    d.InsertTextAtCaret(text);
    d.SetCaret(0, 0);
}

inline std::vector<std::u16string> L(std::initializer_list<const char16_t*> items) {
    std::vector<std::u16string> out;
    for (const char16_t* s : items) out.emplace_back(s);
    return out;
}

// Sum of the line lengths equals the total length, and every line ends in NUL.
inline bool Consistent(const CEditData& d) {
    int64_t sum = 0;
    for (int i = 0; i < d.GetLineCount(); i++) {
        const EditLine* l = d.GetLine(i);
        if (l->length < 1 || l->text[l->length - 1] != 0) return false;
        sum += l->length - 1;
    }
    return sum == d.m_totalLength && d.GetLineCount() >= 1;
}

int TestBeeps();

// While it lives, the heap requests of the buffer (alloc and realloc) and of
// the memory pools, counted together in calls, fail: the n-th alone, or with
// from set every one from the n-th on.
class FailingHeap {
public:
    explicit FailingHeap(int n, bool from = false);
    ~FailingHeap();
    static inline int calls = 0;
};

// A plain window of a class of its own (registered once) with proc.
HWND MakeWindow(const char16_t* className, WNDPROC proc = DefWindowProcW);

inline int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// Random edit scripts.
using Rng = std::mt19937;

inline int Pick(Rng& rng, int n) {
    return static_cast<int>(rng() % static_cast<unsigned>(n));
}

// A position near the line (lines and columns may lie outside the text).
inline EditPos RandomPosNear(Rng& rng, const CEditData& d, int line) {
    line += Pick(rng, 7) - 3;
    return EditPos{Pick(rng, d.GetLineLength(line) + 3) - 1, line};
}

// Random text: letters from `letters` mostly, else a TAB, a kana, one of
// `kanji` kanji, a surrogate pair, a blank or, with lone set, now and then a
// lone surrogate. A piece of up to maxUnits units mixes in CR LF, CR and LF.
struct RandomText {
    const char16_t* letters;
    int kanji;
    bool lone;
    void AppendChar(Rng& rng, std::u16string& s) const;
    std::u16string Piece(Rng& rng, int maxUnits) const;
};

// Hash of lines [from, count - tail) with the line count and total length.
uint64_t Hash(const CEditData& d, int from = 0, int tail = 0);
