// The login dialog's filter box: a combo box with an edit field for a
// pattern and a drop-down of up to 20 earlier patterns kept in a text file
// (UTF-16LE, no byte-order mark, LF line ends, newest first). Its text turns
// red while it is not a valid pattern.
#pragma once

#include <afxwin.h>

class CFilterEditCtrl : public CComboBox {
public:
    static constexpr int kMaxWritten = 20;
    static constexpr int kMaxEntryLength = 256; // entries are shorter

    int m_patternValid = 1;
    int m_dirty = 0;
    HWND m_editField = nullptr;
    CString m_historyPath;

    // Creates the box (control id 203) and reads the history file; 0 when
    // the window cannot be created.
    BOOL Create(const char16_t* historyPath, const RECT& rect, CWnd* parent);
    // The edit field's text; GetFilterText gives it only while the box is shown.
    CString GetText() const;
    CString GetFilterText();
    // Adds the box's text at the top (an equal entry moves there).
    void AddCurrentText();
    void RemoveEntry(const CString& text);

    void ReadHistory();
    void WriteHistory();

protected:
    afx_msg void OnDestroy();
    afx_msg LRESULT OnCtlColorEdit(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    WNDPROC m_editProc = nullptr;
    static LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
