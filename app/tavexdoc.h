// The document: the current table selection and the grid models showing its rows.
#pragma once

#include <afxwin.h>

class CTavexDoc : public CDocument {
    DECLARE_DYNCREATE(CTavexDoc)
public:
    CTavexDoc();
    ~CTavexDoc() override;

    // A table is loaded and its editable model holds unsaved edits.
    virtual BOOL HasUnsavedEdits() { return FALSE; }

protected:
    DECLARE_MESSAGE_MAP()
};
