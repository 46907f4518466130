#include <windows.h>

#include "win32/dragdrop.h"

namespace win32bk {

namespace {
DragTargetHandler& Handler() {
    static DragTargetHandler h;
    return h;
}
std::function<DWORD(const ClipFormats&, DWORD)>& Exec() {
    static std::function<DWORD(const ClipFormats&, DWORD)> e;
    return e;
}
std::vector<DragStep>& Script() {
    static std::vector<DragStep> s;
    return s;
}
} // namespace

void SetDragTargetHandler(DragTargetHandler handler) {
    Handler() = std::move(handler);
}

bool HasDragTargetHandler() {
    return static_cast<bool>(Handler());
}

DWORD DragTargetEvent(HWND hwnd, DragPhase phase, const ClipFormats* formats, DWORD keyState, POINT client) {
    return Handler() ? Handler()(hwnd, phase, formats, keyState, client) : 0;
}

void SetDragExec(std::function<DWORD(const ClipFormats&, DWORD)> exec) {
    Exec() = std::move(exec);
}

DWORD DragExec(const ClipFormats& formats, DWORD allowed) {
    return Exec() ? Exec()(formats, allowed) : 0;
}

void SetDragScript(std::vector<DragStep> steps) {
    Script() = std::move(steps);
}

std::vector<DragStep> TakeDragScript() {
    std::vector<DragStep> s;
    s.swap(Script());
    return s;
}

} // namespace win32bk
