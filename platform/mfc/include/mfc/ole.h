// OLE data objects, drop targets and drag sources over the platform's
// clipboard and drag translation. DoDragDrop is synchronous.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "mfc/wnd.h"
#include "win32/clipboard.h"
#include "win32/dragdrop.h"

typedef unsigned short CLIPFORMAT;
typedef DWORD DROPEFFECT;

#define DROPEFFECT_NONE 0
#define DROPEFFECT_COPY 1
#define DROPEFFECT_MOVE 2
#define DROPEFFECT_LINK 4
#define DROPEFFECT_SCROLL 0x80000000u

// The formats of the clipboard or of a drag.
class COleDataObject {
public:
    COleDataObject() = default;
    ~COleDataObject() = default;
    // A snapshot of the clipboard's formats.
    BOOL AttachClipboard();
    void AttachFormats(const win32bk::ClipFormats& formats);
    BOOL IsDataAvailable(CLIPFORMAT format) const;
    // A new block with the format's bytes, owned by the caller; null when not offered.
    HGLOBAL GetGlobalData(CLIPFORMAT format) const;
    void Release();

private:
    win32bk::ClipFormats m_formats;
    bool m_attached = false;
};

class COleDropTarget : public CCmdTarget {
public:
    COleDropTarget() = default;
    ~COleDropTarget() override;
    BOOL Register(CWnd* wnd);
    void Revoke();
    virtual DROPEFFECT OnDragEnter(CWnd* wnd, COleDataObject* data, DWORD keyState, CPoint point);
    virtual DROPEFFECT OnDragOver(CWnd* wnd, COleDataObject* data, DWORD keyState, CPoint point);
    virtual BOOL OnDrop(CWnd* wnd, COleDataObject* data, DROPEFFECT effect, CPoint point);
    virtual void OnDragLeave(CWnd* wnd);

    CWnd* m_pWnd = nullptr;
};

class COleDataSource : public CCmdTarget {
public:
    COleDataSource() = default;
    ~COleDataSource() override;
    // Takes the block.
    void CacheGlobalData(CLIPFORMAT format, HGLOBAL memory);
    // Holds the capture until the pointer leaves the start rectangle (the
    // press point inflated by 2 pixels when none is given) or 200 ms pass;
    // a release or Escape first gives DROPEFFECT_NONE. Then the drag runs
    // and the target's effect is returned.
    DROPEFFECT DoDragDrop(DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK,
                          LPCRECT startRect = nullptr, void* dropSource = nullptr);

    win32bk::ClipFormats Formats() const;

private:
    std::vector<std::pair<UINT, HGLOBAL>> m_blocks;
};

namespace afxole {

// A drag event delivered to the drop target registered for the window.
using DragPhase = win32bk::DragPhase;
DROPEFFECT DeliverDrag(HWND hwnd, DragPhase phase, const win32bk::ClipFormats* formats, DWORD keyState,
                       POINT client);
bool IsDropTarget(HWND hwnd);
using DragStep = win32bk::DragStep;
inline void SetDragScript(std::vector<DragStep> steps) {
    win32bk::SetDragScript(std::move(steps));
}

} // namespace afxole
