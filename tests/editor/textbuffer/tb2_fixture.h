// A text buffer measured with the pinned monospaced font at -16 pixels in an
// offscreen memory DC: ASCII 8 pixels, wide characters 16, tab stops of 32.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "tb_helpers.h"
#include "testing/driver.h"

// A compiled pattern that frees itself.
struct Pattern {
    explicit Pattern(const char16_t* p) : regex(regex_compile(p, 0)) {}
    ~Pattern() { regex_destroy(regex); }
    Regex* regex;
};

class MeasuredBuffer : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        tvtest::ClearBoxes();
        dc_ = CreateCompatibleDC(nullptr);
        LOGFONTW lf{};
        lf.lfHeight = -16;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = SHIFTJIS_CHARSET;
        lf.lfPitchAndFamily = FIXED_PITCH;
        const char16_t face[] = u"Noto Sans Mono CJK JP";
        for (size_t i = 0; i < sizeof face / 2; i++) lf.lfFaceName[i] = face[i];
        font_ = CreateFontIndirectW(&lf);
        old_ = SelectObject(dc_, font_);
        d_.m_disp.m_widths.Reset(dc_);
    }
    void TearDown() override {
        SelectObject(dc_, old_);
        DeleteObject(font_);
        DeleteDC(dc_);
    }
    int Width(const char16_t* s, int n = -1) { return textdraw_text_width(s, &d_.m_disp, dc_, n); }
    int ColumnAt(const char16_t* s, int x) { return textdraw_column_at_x(s, &d_.m_disp, dc_, x); }
    // A box selection over lines first..last from x0 to x1 (x0 when x1 < 0).
    void SetBox(int first, int last, int x0, int x1) {
        d_.m_disp.m_selStart = EditPos{0, std::min(first, last)};
        d_.m_disp.m_selEnd = EditPos{1, std::max(first, last)};
        d_.m_disp.m_boxX[0] = x0;
        d_.m_disp.m_boxX[1] = x1 < 0 ? x0 : x1;
        d_.m_disp.m_boxMode = 1;
    }

    CEditData d_;
    HDC dc_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ old_ = nullptr;
};
