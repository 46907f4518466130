// "キー割り当て": edits a copy of the key bindings by category and command;
// a capture box shows the name of every key pressed in it.
#pragma once

#include <afxwin.h>

#include "app/dialogs/acceltable.h"

class CAcceleratorDlg : public CDialog {
public:
    explicit CAcceleratorDlg(CWnd* parent = nullptr);

    // The copy the dialog edits: filled by the caller, read back after IDOK.
    AccelTable m_table;

    // Category number and command id of the 61 commands, in list order.
    struct CommandRow {
        int category;
        int cmd;
    };
    static const CommandRow kCommands[61];

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

private:
    void FillCategories();
    void FillCommands(int category);
    void FillKeys(int cmd);
    void RefreshKeyColumn();
    void UpdateEnabling();
    int SelectedCommand() const;

    void OnCategoryChanged(NMHDR* nm, LRESULT* result);
    void OnCommandChanged(NMHDR* nm, LRESULT* result);
    void OnKeyChanged(NMHDR* nm, LRESULT* result);
    void OnCaptureChanged();
    void OnAssign();
    void OnRemove();
    void OnDefaults();

    static LRESULT CALLBACK CaptureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    CListCtrl m_categories, m_commands, m_keys;
    DECLARE_MESSAGE_MAP()
};
