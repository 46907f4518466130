// Drag and drop between the OLE layer and the display backend: drop targets
// receive the backend's drag events through one handler; a drag source's
// drag runs in the backend (or, in tests, as a script given beforehand).
#pragma once

#include <functional>
#include <vector>

#include "win32/clipboard.h"

namespace win32bk {

enum class DragPhase { Enter, Over, Leave, Drop };

// The OLE layer's handler: the effect the target answers (for Drop: 0 when
// it refused the data).
using DragTargetHandler = std::function<DWORD(HWND hwnd, DragPhase phase, const ClipFormats* formats,
                                              DWORD keyState, POINT client)>;
void SetDragTargetHandler(DragTargetHandler handler);
// From the backend's drag events on a host window.
DWORD DragTargetEvent(HWND hwnd, DragPhase phase, const ClipFormats* formats, DWORD keyState, POINT client);
bool HasDragTargetHandler();

// The backend's drag: runs it with the data and returns the target's effect.
void SetDragExec(std::function<DWORD(const ClipFormats& formats, DWORD allowed)> exec);
DWORD DragExec(const ClipFormats& formats, DWORD allowed);

// A scripted drag that runs in place of the next DoDragDrop's drag.
struct DragStep {
    enum Kind { LeaveStart, ReleaseInStart, Move, Drop, Cancel } kind;
    HWND hwnd;
    POINT client;
    DWORD keyState; // MK_CONTROL, MK_SHIFT
};
void SetDragScript(std::vector<DragStep> steps);
std::vector<DragStep> TakeDragScript();

} // namespace win32bk
