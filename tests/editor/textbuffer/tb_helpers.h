// Helpers shared by the text buffer suites.
#pragma once

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
