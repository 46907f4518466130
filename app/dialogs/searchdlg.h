// The search, replace and filter dialogs. None of them searches: each fills
// the view's SearchRequest and sends the view one SRM_* message. They keep
// histories of search and replacement texts in the settings and remember
// their width.
#pragma once

#include <afxwin.h>

#include <vector>

#include "grid/griddata.h"

// Messages to the view (sent; the dialog waits for the outcome).
#define SRM_FIND 0xA329        // 0 found, 1 not found
#define SRM_REPLACE 0xA32A     // result unused
#define SRM_FINDCOLUMN 0x04C9  // 0 found, 1 not found
#define SRM_FILTER 0xA38D      // wParam: column; 0 filtered, 1 failed
#define SRM_CLEARFILTER 0xA38E // result unused

// The view's record of the current search.
struct SearchRequest {
    CString searchText;
    CString replaceText;
    int direction = 1; // 1 forward, -1 backward
    int matchCase = 0;
    int matchWidth = 1; // full-width and half-width letters and digits differ
    int useRegex = 0;
    int replaceAll = 0;
    int inSelection = 0;
};

// Option bits of a search-history entry.
#define SEARCH_FLAG_REGEX 1
#define SEARCH_FLAG_MATCH_CASE 2
#define SEARCH_FLAG_MATCH_WIDTH 4

// A history of up to ten texts in a settings section ("0" newest); with
// flags each entry has its option bits under "status_%d".
namespace SearchHistory {
// What a missing entry reads as; it ends the list.
extern const char16_t* const kNoData;
// The entries, newest first, and their bits (flags may be null).
int Load(const char16_t* section, CString texts[10], int flags[10]);
// Stores text (with bits when withFlags) as entry 0, the older entries after
// it without duplicates; false when entry 0 already was the same.
bool Store(const char16_t* section, const CString& text, int bits, bool withFlags);
} // namespace SearchHistory

// What the three dialogs share: the owner, the request, the histories, the
// fixed height and the layout.
class CSearchDlgBase : public CDialog {
public:
    CSearchDlgBase(UINT idTemplate, const char16_t* widthSection, int minWidth, int buttonMargin,
                   CWnd* parent = nullptr);

    // Set by the view before showing.
    HWND m_ownerWnd = nullptr;
    SearchRequest* m_request = nullptr;
    int m_bound = 0;
    int m_closeAtFound = 0;

    // The modeless window, made again whenever it is gone.
    BOOL EnsureWindow();
    // The set-up step; the view runs it before every show.
    virtual void SetUp();
    // Set-up and SW_SHOWNORMAL.
    void ShowDialog();
    // The fixed height the set-up computed.
    int GetFixedHeight() const { return m_height; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    virtual void UpdateEnabling() = 0;
    virtual bool IsModal() const { return false; }
    // The buttons moved on resize, the first being the one the text box ends before.
    virtual std::vector<int> ActionButtons() const = 0;
    // The combos that grow with the window.
    virtual std::vector<int> GrowingCombos() const { return {IDC_SEARCH_TEXT_ID}; }

    // Reads combo 1900 (and the others through ReadCombo) and the boxes.
    CString ReadCombo(int id) const;
    void ReadOptions();
    int OptionBits() const;
    void SetOptionBits(int bits);
    void LoadHistory(int id, const char16_t* section, bool withFlags);
    void TakeSearchRequest();
    void SelectOrInsert(int id, const CString& text, bool withFlags);
    void StoreSearchText();
    void OnSearchTextChosen();
    void Layout();
    // The stored width (at least the minimum) and the fixed height.
    void ApplyStoredSize();
    bool OwnerGone();

    enum { IDC_SEARCH_TEXT_ID = 1900 };
    const char16_t* m_widthSection;
    int m_minWidth;
    int m_buttonMargin;
    int m_height = 0;
    int m_historyFlags[10] = {};

    CString m_searchText;
    int m_useRegex = 0, m_matchCase = 0, m_matchWidth = 1;
    int m_matchWidthId = 1905;
};

class CSearchDlg : public CSearchDlgBase {
public:
    explicit CSearchDlg(CWnd* parent = nullptr);
    UINT m_searchMessage = SRM_FIND;
    int m_modal = 0;
    CString m_title;

    void SetUp() override;
    void OnFind(int direction);

protected:
    void UpdateEnabling() override;
    bool IsModal() const override { return m_modal != 0; }
    std::vector<int> ActionButtons() const override;
    void OnOK() override;

private:
    void OnFindNext() { OnFind(1); }
    void OnFindPrev() { OnFind(-1); }
    void OnTextChanged() { UpdateEnabling(); }
    void OnChosen() { OnSearchTextChosen(); }
    DECLARE_MESSAGE_MAP()
};

class CReplaceDlg : public CSearchDlgBase {
public:
    explicit CReplaceDlg(CWnd* parent = nullptr);
    UINT m_searchMessage = SRM_FIND;
    UINT m_replaceMessage = SRM_REPLACE;

    void SetUp() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void UpdateEnabling() override;
    std::vector<int> ActionButtons() const override;
    std::vector<int> GrowingCombos() const override { return {IDC_SEARCH_TEXT_ID, 1905}; }
    void OnOK() override;

private:
    // 0 find next, 1 find previous, 2 replace, 3 replace all.
    void Act(int action);
    void OnFindNext() { Act(0); }
    void OnFindPrev() { Act(1); }
    void OnReplace() { Act(2); }
    void OnReplaceAll() { Act(3); }
    void OnTextChanged() { UpdateEnabling(); }
    void OnChosen() { OnSearchTextChosen(); }
    void OnReplacementChosen();

    CString m_replaceText;
    int m_scope = 1; // 0 "選択範囲", 1 "全体"
    DECLARE_MESSAGE_MAP()
};

class CGridFilterDlg : public CSearchDlgBase {
public:
    explicit CGridFilterDlg(CWnd* parent = nullptr);
    CGridData* m_gridData = nullptr;
    int m_initialColumn = 0;

    void SetUp() override;

protected:
    void UpdateEnabling() override;
    std::vector<int> ActionButtons() const override;
    void OnOK() override;

private:
    void OnRun();
    void OnClear();
    void OnTextChanged() { UpdateEnabling(); }
    void OnChosen() { OnSearchTextChosen(); }
    DECLARE_MESSAGE_MAP()
};
