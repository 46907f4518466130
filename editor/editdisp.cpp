#include "editor/editdisp.h"

#include <cstdlib>

static const COLORREF kDefaultColors[16] = {
    0x000000, 0xCD0000, 0x007800, 0xFFFFFF, 0x969600, 0x0000DC, 0x32FFFF, 0x320000,
    0x006400, 0x000080, 0xC08000, 0x00A000, 0xB4B4B4, 0x000080, 0x000080, 0x000080,
};

LinePaintCache::~LinePaintCache() {
    for (LinePaintEntry& e : entries) std::free(e.attrs);
}

void LinePaintCache::InvalidateAll() {
    for (LinePaintEntry& e : entries) {
        e.index = -1;
        e.line = nullptr;
    }
}

CEditDispData::CEditDispData() {
    for (int i = 0; i < 16; i++) m_colors[i] = kDefaultColors[i];
}

CEditDispData::~CEditDispData() {
    if (m_caretBitmap) DeleteObject(m_caretBitmap);
    for (HPEN pen : m_pens)
        if (pen) DeleteObject(pen);
    ClearSelection();
    std::free(m_rowIndex);
    m_rowIndex = nullptr;
}

int CEditDispData::RegisterView(HWND hwnd) {
    for (int i = 0; i < 4; i++) {
        if (!m_views[i]) {
            m_views[i] = hwnd;
            return i;
        }
    }
    return -1;
}

void CEditDispData::UnregisterView(HWND hwnd) {
    for (HWND& view : m_views)
        if (view == hwnd) view = nullptr;
}

void CEditDispData::SendToViews(HWND sender, UINT msg, WPARAM wParam, LPARAM lParam) {
    for (HWND view : m_views)
        if (view && view != sender) SendMessageW(view, msg, wParam, lParam);
}

void CEditDispData::ClearSelection() {
    m_mouseAnchor = m_mouseCurrent = m_selStart = m_selEnd = EditPos{-1, -1};
    m_boxMode = 0;
    m_viewState0 = 0;
    m_viewState2 = 0;
    delete m_clientDC; // selects the old font back and releases the DC
    m_clientDC = nullptr;
}
