// The main frame's splitter: a dynamic splitter of at most 2 x 2 views.
#pragma once

#include <afxwin.h>

class CWheelSplitterWnd : public CSplitterWnd {
public:
    int m_removalHint = 0; // the hint sent when a pane row or column goes (the frame sets 202)
    int m_wheelMode = 5;
};
