// OLE drag and drop of the editor window: the drop target, the drag of the
// selection and the drop of text.
#include <algorithm>
#include <cstring>

#include <afxole.h>

#include "editor/editctrl.h"

// The framework's drop target, forwarding to the editor.
template <class T> class DropTargetTmpl : public COleDropTarget {
public:
    explicit DropTargetTmpl(T* owner) : m_owner(owner) {}
    DROPEFFECT OnDragEnter(CWnd*, COleDataObject* data, DWORD, CPoint pt) override {
        return m_owner->OnDragOverText(data, pt);
    }
    DROPEFFECT OnDragOver(CWnd*, COleDataObject* data, DWORD, CPoint pt) override {
        return m_owner->OnDragOverText(data, pt);
    }
    BOOL OnDrop(CWnd*, COleDataObject* data, DROPEFFECT effect, CPoint pt) override {
        m_owner->HideDropPosition();
        return m_owner->OnDropText(data, effect, pt);
    }
    void OnDragLeave(CWnd*) override { m_owner->HideDropPosition(); }

private:
    T* m_owner;
};

bool edit_register_drop_target(CEditCtrl* w) {
    if (!w->m_dropTarget) w->m_dropTarget = new DropTargetTmpl<CEditCtrl>(w);
    return w->m_dropTarget->Register(w) != FALSE;
}

void edit_revoke_drop_target(CEditCtrl* w) {
    if (!w->m_dropTarget) return;
    w->m_dropTarget->Revoke();
    delete w->m_dropTarget;
    w->m_dropTarget = nullptr;
}

int edit_start_drag(CEditCtrl* w, CPoint pt) {
    return w->StartDrag(pt);
}

namespace {
bool offers_text(COleDataObject* data) {
    return data->IsDataAvailable(CF_UNICODETEXT) || data->IsDataAvailable(CF_TEXT);
}
} // namespace

// A read-only editor takes no drop: its text does not change.
bool CEditCtrl::AcceptsDrop(COleDataObject* data) const {
    return !m_readOnly && (m_options & (EDOPT_DRAG | EDOPT_DROP_TARGET)) && offers_text(data);
}

DWORD CEditCtrl::OnDragOverText(COleDataObject* data, CPoint pt) {
    if (!AcceptsDrop(data)) return DROPEFFECT_NONE;
    ShowDropPosition(pt);
    return (GetAsyncKeyState(VK_CONTROL) & 0x8000) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
}

void CEditCtrl::ShowDropPosition(CPoint pt) {
    HideDropPosition();
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (pt.x < m_leftMargin || pt.y < m_topMargin || pt.x >= client.right || pt.y >= client.bottom) return;
    EditPos p = PointToPos(pt, 1);
    ScrollCaretIntoView(PosToRowOffset(p, 0));
    CPoint c = PosToPoint(p);
    m_dropMark = RECT{c.x, c.y, c.x + m_caretWidth, c.y + m_textHeight};
    // The mark is drawn straight onto the window; a repaint removes it.
    HDC dc = ::GetDC(m_hWnd);
    InvertRect(dc, &m_dropMark);
    ::ReleaseDC(m_hWnd, dc);
}

void CEditCtrl::HideDropPosition() {
    if (m_dropMark.left == -1) return;
    ::InvalidateRect(m_hWnd, &m_dropMark, TRUE);
    m_dropMark = RECT{-1, -1, -1, -1};
}

int CEditCtrl::StartDrag(CPoint) {
    if (!(m_options & EDOPT_DRAG) || !HasSelection()) return 0;
    CEditDispData& d = m_data->m_disp;
    std::vector<char16_t> text;
    if (d.m_boxMode) {
        text.assign(static_cast<size_t>(std::max(m_data->GetBoxTextSize(), 0)) + 1, 0);
        m_data->CopyBoxText(text.data());
    } else {
        text.assign(static_cast<size_t>(std::max(m_data->GetRangeTextSize(d.m_selStart, d.m_selEnd), 0)) + 1,
                    0);
        m_data->CopyRange(d.m_selStart, d.m_selEnd, text.data());
    }
    size_t units = 0;
    while (units < text.size() && text[units]) units++;
    HGLOBAL t = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (units + 1) * 2);
    HGLOBAL m = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 20);
    void* tp = t ? GlobalLock(t) : nullptr;
    void* mp = m ? GlobalLock(m) : nullptr;
    if (!tp || !mp) {
        if (t) GlobalFree(t);
        if (m) GlobalFree(m);
        return 0;
    }
    std::memcpy(tp, text.data(), units * 2);
    const char16_t* word = d.m_boxMode ? u"TRUE" : u"FALSE";
    std::memcpy(mp, word, std::char_traits<char16_t>::length(word) * 2);
    GlobalUnlock(t);
    GlobalUnlock(m);
    COleDataSource source;
    source.CacheGlobalData(CF_UNICODETEXT, t);
    source.CacheGlobalData(static_cast<CLIPFORMAT>(m_boxFormat), m);
    d.m_viewState3 = 1; // this buffer is the drag source
    d.m_viewState6 = 0; // the drop did not land in it (yet)
    DROPEFFECT effect = source.DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE);
    d.m_viewState3 = 0;
    if (effect == DROPEFFECT_MOVE && !d.m_viewState6 && HasSelection()) DeleteRange(d.m_selStart, d.m_selEnd);
    return effect != DROPEFFECT_NONE ? 1 : 0;
}

BOOL CEditCtrl::OnDropText(COleDataObject* data, DWORD effect, CPoint pt) {
    if (!AcceptsDrop(data)) return FALSE;
    CEditDispData& d = m_data->m_disp;
    bool source = d.m_viewState3 != 0;
    if (source && effect != DROPEFFECT_COPY && IsPointInSelection(pt)) {
        // Onto its own selection: nothing moves, but the drop landed here, so
        // the source must not delete the selection.
        d.m_viewState6 = 1;
        ClearSelection(1);
        d.ClearSelection();
        SetCaretPos(PointToPos(pt, 1));
        UpdateCaret(1, 0, 0);
        return TRUE;
    }
    bool box = edit_data_is_box(data, m_boxFormat);
    CString text;
    EditPos pos = PointToPos(pt, 1);
    if (!edit_data_text(data, &text)) return FALSE;
    m_data->m_undo->BeginGroup(0);
    if (source && effect == DROPEFFECT_MOVE && HasSelection()) {
        EditPos s = d.m_selStart, e = d.m_selEnd;
        if (d.m_boxMode) {
            int l0, l1;
            int lo = std::min(s.line, e.line), hi = std::max(s.line, e.line);
            int width = 0;
            if (pos.line >= lo && pos.line <= hi && m_data->GetBoxColumns(pos.line, &l0, &l1) &&
                pos.col >= l1)
                width = l1 - l0;
            m_data->DeleteBox();
            pos.col -= width;
        } else {
            m_data->DeleteRange(s, e, 1);
            if (pos.line > e.line)
                pos.line -= e.line - s.line;
            else if (pos.line == e.line && !(pos < e)) {
                pos.col = s.col + (pos.col - e.col);
                pos.line = s.line;
            }
        }
        d.ClearSelection();
        pos = m_data->ClampPosition(pos);
    }
    m_data->SetCaret(pos.line, pos.col);
    if (box) {
        PasteBox(text);
    } else {
        d.ClearSelection();
        m_data->InsertText(text);
    }
    m_data->m_undo->EndGroup();
    EditPos end = m_data->GetCaret();
    ShowBufferChange();
    if (box) {
        d.m_boxMode = 1;
        int x0 = LinePixelWidth(pos.line, pos.col, nullptr);
        d.m_selStart = d.m_mouseAnchor = pos;
        d.m_selEnd = EditPos{end.col, std::max(end.line, pos.line)};
        d.m_boxX[0] = x0;
        d.m_boxX[1] = LinePixelWidth(end.line, end.col, nullptr);
        if (d.m_clientDC) d.m_clientDC->Release();
    } else {
        d.m_boxMode = 0;
        d.m_selStart = d.m_mouseAnchor = pos;
        d.m_selEnd = end;
    }
    InvalidateAll();
    NotifyParent(EDN_SELCHANGED);
    if (source) d.m_viewState6 = 1;
    HWND top = ::GetAncestor(m_hWnd, GA_ROOT);
    if (top) SetForegroundWindow(top);
    return TRUE;
}
