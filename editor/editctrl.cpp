// The editor window's record, construction, options, fonts, layout and the
// display-row index.
#include "editor/editctrl.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <mfc/exception.h>

#include "base/utf16.h"
#include "win32/clipboard.h"
#include "win32/ime.h"

IMPLEMENT_DYNAMIC(CEditCtrl, CScrollWnd)

namespace {

// The link cursor's masks: an arrow with a pointing hand's outline, 32 x 32.
HCURSOR g_linkCursor = nullptr;
UINT g_systemBlinkTime = 0;
bool g_classRegistered = false;

HCURSOR MakeLinkCursor() {
    BYTE andMask[128];
    BYTE xorMask[128];
    std::memset(andMask, 0xFF, sizeof andMask);
    std::memset(xorMask, 0, sizeof xorMask);
    // A hand: a finger from (4, 0) down, a palm below it.
    auto set = [&](int x, int y, bool black) {
        int byte = y * 4 + x / 8;
        BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
        andMask[byte] = static_cast<BYTE>(andMask[byte] & ~bit);
        if (!black) xorMask[byte] = static_cast<BYTE>(xorMask[byte] | bit);
    };
    for (int y = 0; y < 20; y++) {
        int left = 3, right = y < 8 ? 6 : 14;
        for (int x = left; x <= right; x++)
            set(x, y, x == left || x == right || y == 19 || (y == 8 && x > 6));
    }
    return CreateCursor(nullptr, 4, 0, 32, 32, andMask, xorMask);
}

int FontTypeProc(const LOGFONTW*, const TEXTMETRICW*, DWORD type, LPARAM lParam) {
    *reinterpret_cast<DWORD*>(lParam) = type;
    return 0;
}

} // namespace

CEditCtrl::CEditCtrl() {
    if (!g_classRegistered) {
        WNDCLASSW wc{};
        wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(5)) /* COLOR_MENU + 1 */;
        wc.lpszClassName = u"QUARN_EditCtrl";
        if (!RegisterClassW(&wc)) AfxThrowResourceException();
        g_classRegistered = true;
    }
    if (!g_linkCursor) {
        g_linkCursor = MakeLinkCursor();
        g_systemBlinkTime = GetCaretBlinkTime();
    }
    m_blinkPeriod = static_cast<int>(GetCaretBlinkTime());
    m_boxFormat = RegisterClipboardFormatW(u"QUARN_EditCtrl_CF_IS_BOX_UNICODE");
}

CEditCtrl::~CEditCtrl() {
    DropBackground();
    DropMemorySurface();
    for (CFont& f : m_fonts) f.DeleteObject();
}

BOOL CEditCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(u"QUARN_EditCtrl", nullptr, style, rect, parent, id);
}

HCURSOR edit_link_cursor() {
    return g_linkCursor;
}

UINT edit_system_blink_time() {
    return g_systemBlinkTime;
}

// ---------------------------------------------------------------------------
// Options and fonts

void CEditCtrl::SetOptions(uint64_t options) {
    const COLORREF* c = m_data ? m_data->m_disp.m_colors : nullptr;
    bool differ = c && !(c[9] == c[13] && c[9] == c[14] && c[9] == c[15]);
    if ((options & EDOPT_DEPTH_REQUEST) && differ)
        options |= EDOPT_DEPTH_COLORS;
    else
        options &= ~EDOPT_DEPTH_COLORS;
    if (options == m_options) return;
    if (m_data) m_data->m_disp.m_bracket[0] = m_data->m_disp.m_bracket[1] = EditPos{-1, -1};
    m_options = options;
    if (options & EDOPT_CELL_MODE) m_flags |= kNoOwnHBar;
    if (m_hWnd) {
        if (options & EDOPT_HIDE_POINTER) {
            m_pointerCountdown = 3;
            SetTimer(EDIT_TIMER_POINTER, 1000, nullptr);
        } else {
            KillTimer(EDIT_TIMER_POINTER);
        }
    }
    UpdateMargins();
}

void CEditCtrl::SetTextFont(CFont* font) {
    if (!font) return;
    LOGFONTW lf{};
    font->GetLogFont(&lf);
    CreateFonts(&lf);
    ApplyFont();
}

void CEditCtrl::CreateFonts(const LOGFONTW* lf) {
    // The buffer's measuring DC holds the old normal font selected: it goes
    // with it and comes back with the new one when next needed.
    if (m_data && m_data->m_disp.m_clientDC) {
        delete m_data->m_disp.m_clientDC;
        m_data->m_disp.m_clientDC = nullptr;
    }
    for (CFont& f : m_fonts) f.DeleteObject();
    LOGFONTW l = *lf;
    m_fonts[0].CreateFontIndirect(&l);
    l.lfUnderline = 1;
    m_fonts[1].CreateFontIndirect(&l);
    l.lfUnderline = 0;
    LONG w = lf->lfWeight;
    l.lfWeight = w < 700 ? 700 : w == 700 ? 800 : w == 800 ? 900 : w;
    m_fonts[2].CreateFontIndirect(&l);
}

int CEditCtrl::ApplyFont() {
    if (!m_hWnd || !IsWindow(m_hWnd) || !m_data) return 0;
    LOGFONTW lf{};
    m_fonts[0].GetLogFont(&lf);
    HDC dc = ::GetDC(m_hWnd);
    DWORD type = 0;
    EnumFontFamiliesExW(dc, &lf, FontTypeProc, reinterpret_cast<LPARAM>(&type), 0);
    m_trueType = (type & TRUETYPE_FONTTYPE) ? 1 : 0;
    HGDIOBJ old = ::SelectObject(dc, m_fonts[0].m_hObject);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    CharWidthCache& w = m_data->m_disp.m_widths;
    w.Reset(dc);
    int zero = w.GetWidth(dc, u'0', nullptr);
    int hira = w.GetWidth(dc, 0x3042, nullptr);
    int spacing = w.m_spacing;
    m_digitWidth = zero + spacing * (zero >= hira ? 2 : 1);
    m_textHeight = tm.tmHeight + tm.tmExternalLeading;
    m_rowPitch = m_lineSpacing + m_textHeight;
    m_charWidth = tm.tmAveCharWidth + spacing * (m_digitWidth >= hira ? 2 : 1);
    // Each is a divisor of the layout: a degenerate face must not make one 0.
    m_digitWidth = std::max(m_digitWidth, 1);
    m_rowPitch = std::max(m_rowPitch, 1);
    m_charWidth = std::max(m_charWidth, 1);
    m_textHeight = std::max(m_textHeight, 1);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    UpdateMargins();

    CRect client;
    GetClientRect(&client);
    int32_t* layout = m_data->m_disp.m_layout;
    if (layout[0] == 1) {
        int col = (client.Width() - m_rightMargin - m_leftMargin) / m_charWidth - (m_data->m_kinsoku ? 3 : 1);
        if (col < 20) col = 20;
        layout[4] = col;
        int ww = m_charWidth * col;
        m_data->m_disp.m_wrapWidth = ww > 0 ? ww : 400;
    } else if (layout[0] == 2) {
        if (layout[4] <= 0) layout[4] = 80;
        int ww = layout[4] * m_charWidth;
        m_data->m_disp.m_wrapWidth = ww > 0 ? ww : 400;
    }
    UpdateWrapGuide();
    RebuildRowIndex(1, 0, 0);
    UpdatePageRows();
    UpdateScrollBars();
    if (::GetFocus() == m_hWnd) {
        CreateEditCaret(1);
        UpdateCaret(0, 0, 0);
    }
    ImmSetCompositionFontW(ImmGetContext(m_hWnd), &lf);
    DropBackground();
    if (IsWindow(m_hWnd)) {
        Invalidate(TRUE);
    }
    return 1;
}

void CEditCtrl::UpdateMargins() {
    int lines = m_data ? m_data->GetLineCount() : 1;
    int digits = static_cast<int>(std::ceil(std::log10(static_cast<double>(lines) + 1.0)));
    m_digits = std::max(digits, 2);
    m_leftMargin = m_baseLeft + ((m_options & EDOPT_LINE_NUMBERS) ? (m_digits + 2) * m_digitWidth : 0);
    m_topMargin = (m_options & EDOPT_RULER) ? m_rowPitch + m_baseTop - m_textOffset + 4 : m_baseTop;
}

void CEditCtrl::UpdatePageRows() {
    CRect client;
    if (m_splitterMode && GetParent())
        GetParent()->GetClientRect(&client);
    else
        GetClientRect(&client);
    m_pageRows = (client.Height() - m_bottomMargin - m_topMargin) / m_rowPitch + 1;
}

void CEditCtrl::SetWrapWidth(int width) {
    if (!m_data) return;
    int32_t* layout = m_data->m_disp.m_layout;
    if (width == INT_MAX) {
        layout[0] = 0;
        layout[4] = INT_MAX;
        m_data->m_disp.m_wrapWidth = INT_MAX;
    } else {
        layout[0] = 2;
        layout[4] = std::max(width / m_charWidth, 1);
        m_data->m_disp.m_wrapWidth = layout[4] * m_charWidth;
    }
    UpdateWrapGuide();
    if (m_hWnd) Relayout(0, 1);
}

void CEditCtrl::UpdateWrapGuide() {
    CRect client(0, 0, 0, 0);
    if (m_hWnd) GetClientRect(&client);
    m_textArea =
        RECT{m_leftMargin, m_topMargin, client.right - m_rightMargin, client.bottom - m_bottomMargin};
    if (m_data && m_data->m_disp.m_layout[0] == 2)
        m_textArea.right = m_leftMargin + m_data->m_disp.m_layout[4] * m_charWidth;
}

// ---------------------------------------------------------------------------
// The display-row index

int CEditCtrl::DisplayRows() const {
    if (!m_data) return 1;
    int rows = m_data->m_disp.m_layout[1];
    return rows > 0 ? rows : m_data->GetLineCount();
}

int CEditCtrl::RowOfLine(int line) const {
    if (!m_data || m_data->m_disp.m_layout[1] <= 0) return line;
    return m_data->GetLine(line)->firstRow;
}

int CEditCtrl::LineOfRow(int row) const {
    if (!m_data) return 0;
    const CEditDispData& d = m_data->m_disp;
    if (d.m_layout[1] <= 0 || !d.m_rowIndex) return std::clamp(row, 0, m_data->GetLineCount() - 1);
    row = std::clamp(row, 0, d.m_layout[1] - 1);
    return d.m_rowIndex[row];
}

int CEditCtrl::RowStartOffset(int line, int rowInLine) const {
    const EditLine* l = m_data->GetLine(line);
    if (rowInLine <= 0 || !l->breaks || l->rowCount <= 1) return 0;
    return l->breaks[std::min(rowInLine, l->rowCount - 1) - 1];
}

int CEditCtrl::RowEndOffset(int line, int rowInLine) const {
    const EditLine* l = m_data->GetLine(line);
    if (rowInLine + 1 >= l->rowCount || !l->breaks) return l->length - 1;
    return l->breaks[rowInLine];
}

int CEditCtrl::MeasureLineRows(int line) {
    if (!m_hWnd || !IsWindow(m_hWnd)) return 1;
    CEditDispData& d = m_data->m_disp;
    if (!d.m_clientDC) d.m_clientDC = new LazyClientDC(m_hWnd, static_cast<HFONT>(m_fonts[0].m_hObject));
    EditLine* l = m_data->GetLine(line);
    l->width = textdraw_text_width(l->text, &d, nullptr, -1);
    if (l->width > m_data->m_widestWidth) {
        m_data->m_widestWidth = l->width;
        m_data->m_widestLine = l;
    }
    return m_data->WrapLine(line, d.m_clientDC);
}

void CEditCtrl::RebuildRowIndex(int remeasure, int first, int count) {
    if (!m_data) return;
    int lines = m_data->GetLineCount();
    if (first < 0) first = 0;
    if (first >= lines) return;
    CEditDispData& d = m_data->m_disp;
    int row = first > 0 ? m_data->GetLine(first - 1)->firstRow + m_data->GetLine(first - 1)->rowCount : 0;
    auto grow = [&](int need) -> bool {
        if (need <= d.m_rowIndexSize) return true;
        int64_t cap = d.m_rowIndexSize > 0 ? d.m_rowIndexSize : 1024;
        while (cap < need) cap = cap < 0x100000 ? cap * 2 : cap + 0x100000;
        auto* grown = static_cast<int32_t*>(std::realloc(d.m_rowIndex, static_cast<size_t>(cap) * 4));
        if (!grown) {
            MessageBoxW(m_hWnd, u"メモリが確保できません", u"メッセージ", MB_ICONINFORMATION);
            return false;
        }
        d.m_rowIndex = grown;
        d.m_rowIndexSize = static_cast<int32_t>(cap);
        return true;
    };
    if (!grow(lines + 1)) return;
    for (int i = first; i < lines; i++) {
        EditLine* l = m_data->GetLine(i);
        int rows = l->rowCount;
        if (remeasure || count > 0 || rows < 1) rows = MeasureLineRows(i);
        if (count > 0) count--;
        if (rows < 1) rows = 1;
        if (!grow(row + rows + 1)) return;
        l->firstRow = row;
        l->rowCount = rows;
        for (int k = 0; k < rows; k++) d.m_rowIndex[row + k] = i;
        row += rows;
    }
    if (d.m_clientDC) d.m_clientDC->Release();
    d.m_layout[1] = row;
}

int CEditCtrl::AffectsLexicalState(uint32_t c) {
    const CStrToken* t = m_data->m_token;
    if ((m_options & EDOPT_DEPTH_COLORS) && (c == u'(' || c == u')')) return 1;
    if (c <= 255 && t->m_lexState[c]) return 1;
    uint32_t at = m_data->GetCharAtCaret();
    if (at <= 255 && t->m_lexState[at]) return 1;
    // The opening unit of a q-quoted literal ("q'[") follows two such units.
    EditPos caret = m_data->GetCaret();
    const char16_t* text = m_data->GetLineText(caret.line);
    for (int k = caret.col - 2; k < caret.col; k++)
        if (k >= 0 && text[k] <= 255 && t->m_lexState[text[k]]) return 1;
    return 0;
}

void CEditCtrl::UpdateLexicalStates(int first, int last) {
    if (m_options & EDOPT_PLAIN_TEXT) return;
    int changed = 0;
    m_data->UpdateLexStates(first, last, m_options, &changed);
    if (changed) InvalidateAll();
}

// ---------------------------------------------------------------------------
// Geometry slots

int CEditCtrl::GetPageCols() {
    CRect client;
    GetClientRect(&client);
    return (client.Width() - m_rightMargin - m_leftMargin) / m_charWidth + 1;
}

int CEditCtrl::GetHScrollMax() {
    int widest = m_data ? m_data->m_widestWidth : 0;
    int wrapCol = m_data ? m_data->m_disp.m_layout[4] : INT_MAX;
    return std::min(widest / m_charWidth + 1, wrapCol);
}

int CEditCtrl::GetTotalWidth() {
    return m_charWidth * (GetHScrollMax() + 1) + m_leftMargin;
}

int CEditCtrl::GetTotalHeight() {
    return m_topMargin + m_rowPitch * (DisplayRows() + ((m_options & EDOPT_PAST_END) ? 1 : 0));
}

int CEditCtrl::GetVScrollMax() {
    return DisplayRows() - ((m_options & EDOPT_PAST_END) ? 0 : 1);
}

void CEditCtrl::OnScrolled(int, int, int tracking) {
    if (m_splitterMode && tracking) Broadcast(EDM_REFRESH, 1, 0);
    UpdateCaret(0, 0, 0);
    UpdateMouseCursor();
    NotifyParent(EDN_SCROLLED);
}

// ---------------------------------------------------------------------------
// Helpers

bool CEditCtrl::HasOtherViews() const {
    if (!m_data) return false;
    for (HWND v : m_data->m_disp.m_views)
        if (v && v != m_hWnd) return true;
    return false;
}

void CEditCtrl::Broadcast(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_data && HasOtherViews()) m_data->m_disp.SendToViews(m_hWnd, msg, wParam, lParam);
}

void CEditCtrl::NotifyParent(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND parent = m_hWnd ? ::GetParent(m_hWnd) : nullptr;
    if (parent) ::SendMessageW(parent, msg, wParam, lParam);
}

EditPos CEditCtrl::NextPosition(EditPos p) const {
    if (p.col < m_data->GetLineLength(p.line))
        m_data->StepPosition(&p, 1);
    else if (p.line + 1 < m_data->GetLineCount())
        p = EditPos{0, p.line + 1};
    return p;
}

int CEditCtrl::LinePixelWidth(int line, int units, HDC dc) {
    CEditDispData& d = m_data->m_disp;
    if (!dc && !d.m_clientDC)
        d.m_clientDC = new LazyClientDC(m_hWnd, static_cast<HFONT>(m_fonts[0].m_hObject));
    return textdraw_text_width(m_data->GetLineText(line), &d, dc, units);
}

// ---------------------------------------------------------------------------
// Small helpers

CString ansi_to_cstring(const char* bytes, int count) {
    CString out;
    if (!bytes || count <= 0) return out;
    int n = MultiByteToWideChar(CP_ACP, 0, bytes, count, nullptr, 0);
    if (n <= 0) return out;
    std::u16string buf(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes, count, buf.data(), n);
    out = CString(buf.c_str(), n);
    return out;
}

int HasUrlScheme(const char16_t* text) {
    static const char16_t* const kSchemes[] = {u"http://", u"https://", u"www.", u"mailto:", u"ftp://"};
    for (const char16_t* s : kSchemes) {
        size_t n = std::char_traits<char16_t>::length(s);
        if (std::char_traits<char16_t>::compare(text, s, n) == 0) return 1;
    }
    return 0;
}
