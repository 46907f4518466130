// The small modal dialogs through which the view's commands ask for one
// value: the number sequence, the row count, the sort keys and the BFILE
// locator. The caller fills the public members before DoModal and reads
// them after IDOK.
#pragma once

#include <afxwin.h>

#include <cstdint>

#include "grid/griddata.h"

// "連番を入力": a signed 64-bit start and step.
class CInputSequenceDlg : public CDialog {
public:
    explicit CInputSequenceDlg(CWnd* parent = nullptr);
    int64_t m_start = 1;
    int64_t m_step = 1;

    // An optionally signed integer of 64 bits, blanks around it allowed.
    static bool ParseInt64(const CString& text, int64_t* value);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void UpdateEnabling();
    DECLARE_MESSAGE_MAP()
};

// "レコード追加(複数行)": a row count above 0.
class CInsertRowsDlg : public CDialog {
public:
    explicit CInsertRowsDlg(CWnd* parent = nullptr);
    int m_count = 1;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

private:
    void OnCountChanged();
    DECLARE_MESSAGE_MAP()
};

// "Gridのソート": up to three keys of the model's columns, each ascending
// (1) or descending (-1).
class CGridSortDlg : public CDialog {
public:
    explicit CGridSortDlg(CWnd* parent = nullptr);
    CGridData* m_gridData = nullptr;
    int* m_keys = nullptr;   // at least 3 entries
    int* m_orders = nullptr; // at least 3 entries
    int m_keyCount = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void Collect();
    void OnKeyChanged();
    DECLARE_MESSAGE_MAP()
};

// "BFILE Update": the directory alias and file name of a BFILE locator text
// "<BFILE dir_alias:%s file_name:%s %s>".
class CBfileDlg : public CDialog {
public:
    explicit CBfileDlg(CWnd* parent = nullptr);
    CString m_value; // in and out

    // The alias and file name of a locator text; false when it is not one.
    static bool ParseValue(const CString& value, CString* alias, CString* fileName);

protected:
    BOOL OnInitDialog() override;

private:
    void UpdateEnabling();
    void OnOkButton();
    DECLARE_MESSAGE_MAP()
};
