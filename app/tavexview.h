// The view: one pane of the main frame's splitter, showing the document's grid.
#pragma once

#include <afxwin.h>

class CTavexDoc;

class CTavexView : public CView {
    DECLARE_DYNCREATE(CTavexView)
public:
    CTavexView();
    ~CTavexView() override;
    CTavexDoc* GetDocument() const;
    void OnDraw(CDC* dc) override;

protected:
    DECLARE_MESSAGE_MAP()
};
