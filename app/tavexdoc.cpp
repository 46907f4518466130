#include "app/tavexdoc.h"

IMPLEMENT_DYNCREATE(CTavexDoc, CDocument)

// The map has no entries yet; the framework's macro then names a type it does not use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-local-typedefs"
BEGIN_MESSAGE_MAP(CTavexDoc, CDocument)
END_MESSAGE_MAP()
#pragma GCC diagnostic pop

CTavexDoc::CTavexDoc() = default;
CTavexDoc::~CTavexDoc() = default;
