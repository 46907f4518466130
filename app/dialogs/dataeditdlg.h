// "データ編集": a cell's value (or the pending DML) in a resizable editor
// window, with the line end and the wrap switch. The caller owns the
// buffer; it fills the members before DoModal and reads the buffer and the
// line-end type after IDOK.
#pragma once

#include <afxwin.h>

#include <cstdint>

#include "editor/editctrl.h"
#include "editor/editdata.h"

class CDataEditDlg : public CDialog {
public:
    explicit CDataEditDlg(CWnd* parent = nullptr);

    CEditData* m_data = nullptr;        // the buffer edited (the caller's)
    CString m_title;                    // empty keeps the caption
    CFont* m_font = nullptr;            // the editor's font, or none
    uint64_t m_options = 0;             // the editor's option word
    const COLORREF* m_colors = nullptr; // the 16 grid colours, or none
    int m_lineEndType = 0;              // 1 CR LF, 2 LF, 3 CR; 0 takes the setting
    int m_readOnly = 0;
    int m_wrap = 0; // "右端で折り返す"

    CEditCtrl& Editor() { return m_edit; }

    // Whether the buffer differs from its state when it was loaded.
    static bool IsModified(const CEditData& data);
    // Loads a cell's text into an empty buffer that counts as unmodified and
    // cannot be undone. Every CR LF, LF or CR of the text is one line break;
    // with a maximum (not INT_MAX) the text is cut where it stops fitting,
    // a line break counting as the buffer's line-end text, and never within
    // a surrogate pair. False (after a beep) when it was cut.
    static bool LoadText(CEditData* data, const char16_t* text, int maxLength);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ApplyWrap();
    void SaveChoices();
    void Layout(int cx, int cy);
    void OnOkButton();
    void OnLineEndChosen();
    void OnWrapClicked();
    static LRESULT CALLBACK EditorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    CEditCtrl m_edit;
    int m_minWidth = 400; // the window's: the bottom line's controls never overlap
    DECLARE_MESSAGE_MAP()
};
