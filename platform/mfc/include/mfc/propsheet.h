// Property sheets: CPropertySheet with its tab control and buttons,
// CPropertyPage, the tab control's class, and CDialogTemplate for changing a
// template's font before the dialog is made.
#pragma once
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Woverloaded-virtual"
#endif

#include <string>
#include <vector>

#include <windows.h>

#include "mfc/cstring.h"
#include "mfc/dialog.h"
#include "mfc/wnd.h"
#include "win32/commctrl.h"
#include "win32/prsht.h"

// A dialog template held in memory, rewritten whole by SetFont.
class CDialogTemplate {
public:
    explicit CDialogTemplate(const DLGTEMPLATE* tmpl = nullptr);
    explicit CDialogTemplate(HGLOBAL tmpl);
    ~CDialogTemplate();
    CDialogTemplate(const CDialogTemplate&) = delete;
    CDialogTemplate& operator=(const CDialogTemplate&) = delete;

    BOOL Load(LPCWSTR templateName);
    BOOL SetTemplate(const DLGTEMPLATE* tmpl, UINT size);
    // Gives the template DS_SETFONT with this face and point size; the
    // items and the rest of the header stay as they were.
    BOOL SetFont(LPCWSTR faceName, WORD fontSize);
    BOOL HasFont() const;
    BOOL GetFont(CString& faceName, WORD& fontSize) const;
    void GetSizeInDialogUnits(SIZE* size) const;
    void GetSizeInPixels(SIZE* size) const;
    HGLOBAL Detach();
    // The bytes a template takes, 0 for a malformed one.
    static UINT GetTemplateSize(const DLGTEMPLATE* tmpl);

    HGLOBAL m_hTemplate = nullptr; // GlobalLock gives the bytes
    DWORD m_dwTemplateSize = 0;
    BOOL m_bSystemFont = FALSE;
};

class CTabCtrl : public CWnd {
    DECLARE_DYNAMIC(CTabCtrl)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetItemCount() const { return int(::SendMessageW(m_hWnd, TCM_GETITEMCOUNT, 0, 0)); }
    int GetCurSel() const { return int(::SendMessageW(m_hWnd, TCM_GETCURSEL, 0, 0)); }
    int SetCurSel(int item) { return int(::SendMessageW(m_hWnd, TCM_SETCURSEL, WPARAM(item), 0)); }
    LONG InsertItem(int item, LPCWSTR text);
    LONG InsertItem(int item, TCITEMW* tcItem) {
        return LONG(::SendMessageW(m_hWnd, TCM_INSERTITEMW, WPARAM(item), reinterpret_cast<LPARAM>(tcItem)));
    }
    BOOL GetItem(int item, TCITEMW* tcItem) const {
        return BOOL(::SendMessageW(m_hWnd, TCM_GETITEMW, WPARAM(item), reinterpret_cast<LPARAM>(tcItem)));
    }
    BOOL SetItem(int item, TCITEMW* tcItem) {
        return BOOL(::SendMessageW(m_hWnd, TCM_SETITEMW, WPARAM(item), reinterpret_cast<LPARAM>(tcItem)));
    }
    BOOL DeleteItem(int item) { return BOOL(::SendMessageW(m_hWnd, TCM_DELETEITEM, WPARAM(item), 0)); }
    BOOL DeleteAllItems() { return BOOL(::SendMessageW(m_hWnd, TCM_DELETEALLITEMS, 0, 0)); }
    BOOL GetItemRect(int item, LPRECT rect) const {
        return BOOL(::SendMessageW(m_hWnd, TCM_GETITEMRECT, WPARAM(item), reinterpret_cast<LPARAM>(rect)));
    }
    void AdjustRect(BOOL larger, LPRECT rect) {
        ::SendMessageW(m_hWnd, TCM_ADJUSTRECT, WPARAM(larger), reinterpret_cast<LPARAM>(rect));
    }
    int HitTest(TCHITTESTINFO* hit) const {
        return int(::SendMessageW(m_hWnd, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(hit)));
    }
};

class CPropertySheet;

class CPropertyPage : public CDialog {
    DECLARE_DYNAMIC(CPropertyPage)
public:
    CPropertyPage();
    explicit CPropertyPage(UINT idTemplate, UINT idCaption = 0, DWORD size = sizeof(PROPSHEETPAGEW));
    explicit CPropertyPage(LPCWSTR templateName, UINT idCaption = 0, DWORD size = sizeof(PROPSHEETPAGEW));
    void Construct(UINT idTemplate, UINT idCaption = 0);
    void Construct(LPCWSTR templateName, UINT idCaption = 0);

    // Called as the page is shown: the first time after OnInitDialog's
    // exchange, later with an exchange to the controls.
    virtual BOOL OnSetActive();
    // Leaving the page or OK: the exchange from the controls; FALSE keeps the sheet on the page.
    virtual BOOL OnKillActive();
    // OK and Apply, for each page that was created.
    void OnOK() override;
    // Cancel, for each page that was created (after OnReset).
    void OnCancel() override;
    virtual BOOL OnApply();
    virtual void OnReset();
    virtual BOOL OnQueryCancel();
    void SetModified(BOOL changed = TRUE);
    void CancelToClose();
    BOOL PreTranslateMessage(MSG* msg) override;

    PROPSHEETPAGEW m_psp{};

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    friend class CPropertySheet;
    CString m_strCaption;
    BOOL m_bFirstSetActive = TRUE;
};

// A modal sheet: a tab per page (its caption, else its template's title), OK,
// Cancel and, without PSH_NOAPPLYNOW, Apply. With PSH_USECALLBACK the callback
// gets PSCB_PRECREATE and the sheet's template before the window is made;
// BuildPropPageArray lays each page's template into m_psh.ppsp
// (PSP_DLGINDIRECT, each writable with room for a longer font name), where
// an override may change it before any page is made. Pages are made when
// first shown.
class CPropertySheet : public CWnd {
    DECLARE_DYNAMIC(CPropertySheet)
public:
    CPropertySheet();
    explicit CPropertySheet(UINT idCaption, CWnd* parent = nullptr, UINT selectPage = 0);
    explicit CPropertySheet(LPCWSTR caption, CWnd* parent = nullptr, UINT selectPage = 0);
    ~CPropertySheet() override;
    void Construct(UINT idCaption, CWnd* parent = nullptr, UINT selectPage = 0);
    void Construct(LPCWSTR caption, CWnd* parent = nullptr, UINT selectPage = 0);

    void AddPage(CPropertyPage* page);
    void RemovePage(CPropertyPage* page);
    void RemovePage(int index);
    int GetPageCount() const { return int(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    int GetPageIndex(CPropertyPage* page) const;
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    // Switches as a click on the tab does: FALSE when the current page refuses to be left.
    BOOL SetActivePage(int index);
    BOOL SetActivePage(CPropertyPage* page);
    void SetTitle(LPCWSTR text, UINT style = 0);
    CTabCtrl* GetTabControl() const;
    BOOL PressButton(int button);
    void EndDialog(int result);

    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    PROPSHEETHEADERW m_psh{};

protected:
    virtual void BuildPropPageArray();
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    std::vector<CPropertyPage*> m_pages;
    CString m_strCaption;
    CWnd* m_pParentWnd = nullptr;

private:
    friend class CPropertyPage;
    bool ShowPage(int index);
    bool LeaveCurrent();
    bool CreatePage(int index);
    void LayOut();
    void FinishOK();
    void FinishCancel();
    void Changed(bool changed);

    std::vector<BYTE> m_sheetTemplate;
    std::vector<std::vector<BYTE>> m_pageTemplates;
    std::vector<BYTE> m_pageArray;
    CTabCtrl m_tab;
    int m_current = -1;
    SIZE m_pageSize{0, 0};
    HFONT m_font = nullptr;
};

#if defined(__clang__)
#pragma clang diagnostic pop
#endif
