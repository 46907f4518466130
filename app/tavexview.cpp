#include "app/tavexview.h"

#include "app/tavexdoc.h"

IMPLEMENT_DYNCREATE(CTavexView, CView)

// The map has no entries yet; the framework's macro then names a type it does not use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-local-typedefs"
BEGIN_MESSAGE_MAP(CTavexView, CView)
END_MESSAGE_MAP()
#pragma GCC diagnostic pop

CTavexView::CTavexView() = default;
CTavexView::~CTavexView() = default;

CTavexDoc* CTavexView::GetDocument() const {
    return static_cast<CTavexDoc*>(m_pDocument);
}

void CTavexView::OnDraw(CDC*) {}
