// OLE data objects, drop targets and the synchronous drag source.
#include <afxole.h>

#include <cstring>
#include <map>

#include "win32/backend.h"

namespace {

std::map<HWND, COleDropTarget*>& Targets() {
    static std::map<HWND, COleDropTarget*> t;
    return t;
}

struct HandlerInstaller {
    HandlerInstaller() {
        win32bk::SetDragTargetHandler(
            [](HWND hwnd, win32bk::DragPhase phase, const win32bk::ClipFormats* formats, DWORD keys,
               POINT client) { return afxole::DeliverDrag(hwnd, phase, formats, keys, client); });
    }
} g_handlerInstaller;

// The drag in progress: the target under the pointer and its data.
struct DragState {
    HWND over = nullptr;
    COleDataObject data;
    DROPEFFECT last = DROPEFFECT_NONE;
};
DragState g_drag;

void set_modifiers(DWORD keys) {
    win32bk::InputModifiers((keys & MK_SHIFT) != 0, (keys & MK_CONTROL) != 0, false);
}

} // namespace

BOOL COleDataObject::AttachClipboard() {
    m_formats.clear();
    if (!OpenClipboard(nullptr)) return FALSE;
    static const UINT kProbe[] = {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT};
    for (UINT f : kProbe)
        if (HANDLE h = GetClipboardData(f)) {
            auto* p = static_cast<const uint8_t*>(GlobalLock(h));
            if (p) m_formats.emplace_back(f, std::vector<uint8_t>(p, p + GlobalSize(h)));
            GlobalUnlock(h);
        }
    for (UINT f = 0xC000; f < 0xC000 + 256; f++) {
        char16_t name[2];
        if (!GetClipboardFormatNameW(f, name, 2)) break;
        if (HANDLE h = GetClipboardData(f)) {
            auto* p = static_cast<const uint8_t*>(GlobalLock(h));
            if (p) m_formats.emplace_back(f, std::vector<uint8_t>(p, p + GlobalSize(h)));
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    m_attached = true;
    return TRUE;
}

void COleDataObject::AttachFormats(const win32bk::ClipFormats& formats) {
    m_formats = formats;
    m_attached = true;
}

BOOL COleDataObject::IsDataAvailable(CLIPFORMAT format) const {
    for (const auto& f : m_formats)
        if (f.first == format) return TRUE;
    return FALSE;
}

HGLOBAL COleDataObject::GetGlobalData(CLIPFORMAT format) const {
    for (const auto& f : m_formats) {
        if (f.first != format) continue;
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, f.second.size());
        if (!h) return nullptr;
        void* p = GlobalLock(h);
        if (!p) {
            GlobalFree(h);
            return nullptr;
        }
        if (!f.second.empty()) std::memcpy(p, f.second.data(), f.second.size());
        GlobalUnlock(h);
        return h;
    }
    return nullptr;
}

void COleDataObject::Release() {
    m_formats.clear();
    m_attached = false;
}

COleDropTarget::~COleDropTarget() {
    Revoke();
}

BOOL COleDropTarget::Register(CWnd* wnd) {
    if (!wnd || !wnd->m_hWnd) return FALSE;
    m_pWnd = wnd;
    Targets()[wnd->m_hWnd] = this;
    return TRUE;
}

void COleDropTarget::Revoke() {
    if (m_pWnd) {
        auto it = Targets().find(m_pWnd->m_hWnd);
        if (it != Targets().end() && it->second == this) Targets().erase(it);
    }
    for (auto it = Targets().begin(); it != Targets().end();)
        it = it->second == this ? Targets().erase(it) : std::next(it);
    if (g_drag.over && !Targets().count(g_drag.over)) g_drag.over = nullptr;
    m_pWnd = nullptr;
}

DROPEFFECT COleDropTarget::OnDragEnter(CWnd*, COleDataObject*, DWORD, CPoint) {
    return DROPEFFECT_NONE;
}
DROPEFFECT COleDropTarget::OnDragOver(CWnd*, COleDataObject*, DWORD, CPoint) {
    return DROPEFFECT_NONE;
}
BOOL COleDropTarget::OnDrop(CWnd*, COleDataObject*, DROPEFFECT, CPoint) {
    return FALSE;
}
void COleDropTarget::OnDragLeave(CWnd*) {}

COleDataSource::~COleDataSource() {
    for (auto& b : m_blocks) GlobalFree(b.second);
}

void COleDataSource::CacheGlobalData(CLIPFORMAT format, HGLOBAL memory) {
    for (auto& b : m_blocks)
        if (b.first == format) {
            GlobalFree(b.second);
            b.second = memory;
            return;
        }
    m_blocks.emplace_back(format, memory);
}

win32bk::ClipFormats COleDataSource::Formats() const {
    win32bk::ClipFormats out;
    for (const auto& b : m_blocks) {
        auto* p = static_cast<const uint8_t*>(GlobalLock(b.second));
        if (!p) continue;
        out.emplace_back(b.first, std::vector<uint8_t>(p, p + GlobalSize(b.second)));
        GlobalUnlock(b.second);
    }
    return out;
}

DROPEFFECT COleDataSource::DoDragDrop(DWORD allowed, LPCRECT startRect, void*) {
    POINT start;
    GetCursorPos(&start);
    RECT r = startRect ? *startRect : RECT{start.x - 2, start.y - 2, start.x + 3, start.y + 3};
    win32bk::ClipFormats formats = Formats();
    std::vector<afxole::DragStep> script = win32bk::TakeDragScript();
    if (!script.empty()) {
        size_t i = 0;
        if (script[0].kind == afxole::DragStep::ReleaseInStart) return DROPEFFECT_NONE;
        if (script[0].kind == afxole::DragStep::LeaveStart) i = 1;
        DROPEFFECT result = DROPEFFECT_NONE;
        HWND last = nullptr;
        for (; i < script.size(); i++) {
            const afxole::DragStep& s = script[i];
            set_modifiers(s.keyState);
            if (s.kind == afxole::DragStep::Move) {
                if (last && last != s.hwnd)
                    afxole::DeliverDrag(last, afxole::DragPhase::Leave, nullptr, 0, POINT{});
                result = afxole::DeliverDrag(
                    s.hwnd, last == s.hwnd ? afxole::DragPhase::Over : afxole::DragPhase::Enter, &formats,
                    s.keyState | MK_LBUTTON, s.client);
                last = s.hwnd;
            } else if (s.kind == afxole::DragStep::Drop) {
                if (last != s.hwnd) {
                    if (last) afxole::DeliverDrag(last, afxole::DragPhase::Leave, nullptr, 0, POINT{});
                    result =
                        afxole::DeliverDrag(s.hwnd, afxole::DragPhase::Enter, &formats, s.keyState, s.client);
                }
                result &= allowed;
                if (result != DROPEFFECT_NONE)
                    result =
                        afxole::DeliverDrag(s.hwnd, afxole::DragPhase::Drop, &formats, s.keyState, s.client)
                            ? result
                            : DROPEFFECT_NONE;
                set_modifiers(0);
                return result;
            } else if (s.kind == afxole::DragStep::Cancel) {
                if (last) afxole::DeliverDrag(last, afxole::DragPhase::Leave, nullptr, 0, POINT{});
                set_modifiers(0);
                return DROPEFFECT_NONE;
            }
        }
        if (last) afxole::DeliverDrag(last, afxole::DragPhase::Leave, nullptr, 0, POINT{});
        set_modifiers(0);
        return DROPEFFECT_NONE;
    }
    // Wait for the pointer to leave the start rectangle, or the time to pass.
    uint64_t t0 = win32bk::Now();
    for (;;) {
        if (!(GetAsyncKeyState(VK_LBUTTON) & 0x8000)) return DROPEFFECT_NONE;
        if (GetAsyncKeyState(VK_ESCAPE) & 0x8000) return DROPEFFECT_NONE;
        POINT p;
        GetCursorPos(&p);
        if (!PtInRect(&r, p) || win32bk::Now() - t0 >= 200) break;
        win32bk::PumpPending();
        if (win32bk::FakeClock()) return DROPEFFECT_NONE;
        MSG m;
        if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_LBUTTONUP) return DROPEFFECT_NONE;
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    return win32bk::DragExec(formats, allowed) & allowed;
}

namespace afxole {

bool IsDropTarget(HWND hwnd) {
    return Targets().count(hwnd) != 0;
}

DROPEFFECT DeliverDrag(HWND hwnd, DragPhase phase, const win32bk::ClipFormats* formats, DWORD keyState,
                       POINT client) {
    auto it = Targets().find(hwnd);
    if (it == Targets().end()) return DROPEFFECT_NONE;
    COleDropTarget* t = it->second;
    CWnd* wnd = t->m_pWnd;
    if (formats) g_drag.data.AttachFormats(*formats);
    CPoint pt(client.x, client.y);
    switch (phase) {
    case DragPhase::Enter: g_drag.over = hwnd; return t->OnDragEnter(wnd, &g_drag.data, keyState, pt);
    case DragPhase::Over: return t->OnDragOver(wnd, &g_drag.data, keyState, pt);
    case DragPhase::Leave:
        t->OnDragLeave(wnd);
        g_drag.over = nullptr;
        return DROPEFFECT_NONE;
    case DragPhase::Drop: {
        DROPEFFECT e = t->OnDragOver(wnd, &g_drag.data, keyState, pt);
        g_drag.over = nullptr;
        BOOL ok = e != DROPEFFECT_NONE && t->OnDrop(wnd, &g_drag.data, e, pt);
        return ok ? e : DROPEFFECT_NONE;
    }
    }
    return DROPEFFECT_NONE;
}

} // namespace afxole
