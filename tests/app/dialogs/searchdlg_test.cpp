// The search, replace and filter dialogs against a test owner that answers
// their SRM_* messages: histories, enabling, close-at-found, widths and the
// fixed height, windows made again after a close; pictures of the three.
#include "settings_fixture.h"

#include "app/dialogs/searchdlg.h"
#include "grid/strgrid.h"
#include "res/dialogs4.h"

namespace {

using dlgtest::SettingsTest;

// The view's stand-in: records each message with the request as it was.
class Owner : public CWnd {
public:
    struct Call {
        UINT message;
        WPARAM wParam;
        SearchRequest request;
    };
    SearchRequest request;
    std::vector<Call> calls;
    LRESULT answer = 0;
    CGridData* filtered = nullptr;

    Owner() { CreateEx(0, AfxRegisterWndClass(0), u"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr); }
    ~Owner() override { DestroyWindow(); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case SRM_FIND:
        case SRM_REPLACE:
        case SRM_FINDCOLUMN:
        case SRM_FILTER:
        case SRM_CLEARFILTER:
            calls.push_back({message, wParam, request});
            if (filtered) filtered->m_filtered = message == SRM_FILTER && answer == 0;
            return answer;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

std::string Stored(const char16_t* section, const char16_t* key) {
    return WideToUtf8(AfxGetApp()->GetProfileString(section, key, SearchHistory::kNoData).GetString());
}
int Status(int i) {
    CString key;
    key.Format(u"status_%d", i);
    return int(AfxGetApp()->GetProfileInt(u"SEARCH_TEXT", key, -1));
}
bool Enabled(CWnd& dlg, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dlg.GetSafeHwnd(), id)) != FALSE;
}
std::u16string Text(CWnd& dlg, int id) {
    return tvtest::TextOf(::GetDlgItem(dlg.GetSafeHwnd(), id));
}
int WindowWidth(CWnd& dlg) {
    RECT r{};
    ::GetWindowRect(dlg.GetSafeHwnd(), &r);
    return r.right - r.left;
}
int WindowHeight(CWnd& dlg) {
    RECT r{};
    ::GetWindowRect(dlg.GetSafeHwnd(), &r);
    return r.bottom - r.top;
}
std::string Shot(const char* name) {
    return std::string(TAVRELIX_BIN_DIR) + "/../" + name;
}

// Typing into a combo's edit part, as the user does.
void TypeIntoCombo(HWND dlg, int id, const std::u16string& text) {
    HWND edit = ::GetDlgItem(::GetDlgItem(dlg, id), 1001);
    RECT r;
    ::GetClientRect(edit, &r);
    tvtest::Click(edit, r.right - 1, r.bottom / 2);
    tvtest::Type(edit, text);
    tvtest::Pump();
}

template <class Dlg> void Open(Dlg& dlg, Owner& owner) {
    dlg.m_ownerWnd = owner.GetSafeHwnd();
    dlg.m_request = &owner.request;
    dlg.m_bound = 1;
    ASSERT_TRUE(dlg.EnsureWindow());
    dlg.ShowDialog();
    tvtest::Pump();
}

TEST_F(SettingsTest, SearchDialogHistoryEnablingAndCloseAtFound) {
    Owner owner;
    CSearchDlg dlg;
    Open(dlg, owner);
    ASSERT_TRUE(::IsWindowVisible(dlg.GetSafeHwnd()));
    EXPECT_EQ(Text(dlg, IDC_SEARCH_TEXT), u"");
    EXPECT_FALSE(Enabled(dlg, IDC_SEARCH_NEXT));
    EXPECT_FALSE(Enabled(dlg, IDC_SEARCH_PREV));
    EXPECT_EQ(::GetParent(::GetFocus()), ::GetDlgItem(dlg.GetSafeHwnd(), IDC_SEARCH_TEXT))
        << "focus in the text box";

    TypeIntoCombo(dlg.GetSafeHwnd(), IDC_SEARCH_TEXT, u"山田");
    EXPECT_TRUE(Enabled(dlg, IDC_SEARCH_NEXT));
    tvtest::ClickControl(dlg.GetSafeHwnd(), IDC_SEARCH_NEXT);
    ASSERT_EQ(owner.calls.size(), 1u);
    EXPECT_EQ(owner.calls[0].message, UINT(SRM_FIND));
    EXPECT_EQ(owner.calls[0].request.searchText, u"山田");
    EXPECT_EQ(owner.calls[0].request.direction, 1);
    EXPECT_EQ(owner.calls[0].request.matchWidth, 1);
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"0"), "山田");
    EXPECT_EQ(Status(0), SEARCH_FLAG_MATCH_WIDTH);

    // The same search again writes nothing; other options rewrite entry 0.
    AfxGetApp()->WriteProfileString(u"SEARCH_TEXT", u"9", u"sentinel");
    tvtest::ClickControl(dlg.GetSafeHwnd(), IDC_SEARCH_PREV);
    EXPECT_EQ(owner.calls.back().request.direction, -1);
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"9"), "sentinel");
    tvtest::Tick(dlg.GetSafeHwnd(), IDC_SEARCH_REGEX);
    tvtest::ClickControl(dlg.GetSafeHwnd(), IDC_SEARCH_NEXT);
    EXPECT_EQ(owner.calls.back().request.useRegex, 1);
    EXPECT_EQ(Status(0), SEARCH_FLAG_MATCH_WIDTH | SEARCH_FLAG_REGEX);
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"1"), "sentinel");
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"2"), WideToUtf8(SearchHistory::kNoData));

    // Eleven texts: the oldest goes; a known text moves up, not doubled.
    for (int i = 0; i < 11; ++i) {
        CString t;
        t.Format(u"t%d", i);
        EXPECT_TRUE(SearchHistory::Store(u"SEARCH_TEXT", t, i, true));
    }
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"0"), "t10");
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"9"), "t1");
    EXPECT_TRUE(SearchHistory::Store(u"SEARCH_TEXT", u"t5", 7, true));
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"0"), "t5");
    EXPECT_EQ(Status(0), 7);
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"5"), "t6");
    EXPECT_EQ(Status(5), 6);
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"9"), "t1");
    CString texts[10];
    EXPECT_EQ(SearchHistory::Load(u"SEARCH_TEXT", texts, nullptr), 10);

    // Close-at-found: only "次を検索" with a match closes; the window is
    // destroyed and made again on the next use.
    dlg.m_closeAtFound = 1;
    owner.answer = 0;
    tvtest::ClickControl(dlg.GetSafeHwnd(), IDC_SEARCH_PREV);
    EXPECT_TRUE(::IsWindowVisible(dlg.GetSafeHwnd()));
    owner.answer = 1;
    tvtest::ClickControl(dlg.GetSafeHwnd(), IDC_SEARCH_NEXT);
    EXPECT_TRUE(::IsWindowVisible(dlg.GetSafeHwnd()));
    owner.answer = 0;
    tvtest::ClickControl(dlg.GetSafeHwnd(), IDC_SEARCH_NEXT);
    EXPECT_FALSE(::IsWindow(dlg.GetSafeHwnd()));

    // A first show with an empty request takes the newest entry and its
    // options: "山田" again, stored by the searches above with regex on.
    owner.request = SearchRequest{};
    owner.request.matchWidth = 0;
    Open(dlg, owner);
    EXPECT_EQ(Text(dlg, IDC_SEARCH_TEXT), u"山田");
    EXPECT_EQ(::IsDlgButtonChecked(dlg.GetSafeHwnd(), IDC_SEARCH_REGEX), UINT(BST_CHECKED));
    EXPECT_EQ(::IsDlgButtonChecked(dlg.GetSafeHwnd(), IDC_SEARCH_MATCH_CASE), UINT(BST_UNCHECKED));
    EXPECT_EQ(::IsDlgButtonChecked(dlg.GetSafeHwnd(), IDC_SEARCH_MATCH_WIDTH), UINT(BST_CHECKED));
    EXPECT_TRUE(tvtest::SavePng(dlg.GetSafeHwnd(), Shot("searchdlg.png")));

    // A chosen history entry becomes the text, with its own options (t6
    // was stored with 6: case and width, no regex).
    tvtest::Choose(dlg.GetSafeHwnd(), IDC_SEARCH_TEXT, u"t6");
    EXPECT_EQ(Text(dlg, IDC_SEARCH_TEXT), u"t6");
    EXPECT_EQ(::IsDlgButtonChecked(dlg.GetSafeHwnd(), IDC_SEARCH_REGEX), UINT(BST_UNCHECKED));
    EXPECT_EQ(::IsDlgButtonChecked(dlg.GetSafeHwnd(), IDC_SEARCH_MATCH_CASE), UINT(BST_CHECKED));
    EXPECT_EQ(::IsDlgButtonChecked(dlg.GetSafeHwnd(), IDC_SEARCH_MATCH_WIDTH), UINT(BST_CHECKED));

    // "閉じる": the dialog goes and comes back.
    tvtest::ClickControl(dlg.GetSafeHwnd(), IDCANCEL);
    EXPECT_FALSE(::IsWindow(dlg.GetSafeHwnd()));
    Open(dlg, owner);
    EXPECT_TRUE(::IsWindowVisible(dlg.GetSafeHwnd()));

    // A gone owner hides the dialog instead of acting.
    const size_t before = owner.calls.size();
    dlg.m_ownerWnd = reinterpret_cast<HWND>(uintptr_t(0x7654321));
    tvtest::ClickControl(dlg.GetSafeHwnd(), IDC_SEARCH_NEXT);
    EXPECT_EQ(owner.calls.size(), before);
    EXPECT_FALSE(::IsWindowVisible(dlg.GetSafeHwnd()));
    dlg.DestroyWindow();
}

TEST_F(SettingsTest, SearchDialogWidthsAreKeptAndTheHeightIsFixed) {
    Owner owner;
    CSearchDlg dlg;
    Open(dlg, owner);
    EXPECT_EQ(WindowWidth(dlg), 450);
    // The height mark only measures: it is never shown.
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dlg.GetSafeHwnd(), IDC_SEARCH_HEIGHT_MARK)));
    EXPECT_FALSE(qtplatform::IsMapped(::GetDlgItem(dlg.GetSafeHwnd(), IDC_SEARCH_HEIGHT_MARK)));
    const int height = WindowHeight(dlg);
    EXPECT_EQ(height, dlg.GetFixedHeight());
    MINMAXINFO info{};
    ::SendMessageW(dlg.GetSafeHwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 450);
    EXPECT_EQ(info.ptMinTrackSize.y, height);
    EXPECT_EQ(info.ptMaxTrackSize.y, height);

    // Wider: the buttons keep to the right edge and the text box grows.
    dlg.SetWindowPos(nullptr, 0, 0, 640, height, SWP_NOMOVE | SWP_NOZORDER);
    tvtest::Pump();
    RECT next{}, text{};
    ::GetWindowRect(::GetDlgItem(dlg.GetSafeHwnd(), IDC_SEARCH_NEXT), &next);
    ::GetWindowRect(::GetDlgItem(dlg.GetSafeHwnd(), IDC_SEARCH_TEXT), &text);
    ::MapWindowPoints(nullptr, dlg.GetSafeHwnd(), reinterpret_cast<POINT*>(&next), 2);
    ::MapWindowPoints(nullptr, dlg.GetSafeHwnd(), reinterpret_cast<POINT*>(&text), 2);
    EXPECT_EQ(next.left, 640 - (next.right - next.left) - 28);
    EXPECT_EQ(text.right, next.left - 10);
    tvtest::ClickControl(dlg.GetSafeHwnd(), IDCANCEL);
    EXPECT_EQ(AfxGetApp()->GetProfileInt(u"SEARCH_DLG", u"DLG_WIDTH", 0), 640u);
    Open(dlg, owner);
    EXPECT_EQ(WindowWidth(dlg), 640);
    EXPECT_EQ(WindowHeight(dlg), height);
    dlg.DestroyWindow();

    // A stored width below the minimum opens at the minimum.
    AfxGetApp()->WriteProfileInt(u"REPLACE_DLG", u"DLG_WIDTH", 300);
    CReplaceDlg replace;
    Open(replace, owner);
    EXPECT_EQ(WindowWidth(replace), 500);
    // At that width the buttons stay clear of the 範囲 group and its
    // radios, and the height mark is not shown.
    auto rectOf = [&replace](int id) {
        RECT r{};
        ::GetWindowRect(::GetDlgItem(replace.GetSafeHwnd(), id), &r);
        return r;
    };
    int groupRight = 0;
    for (HWND c = ::GetWindow(replace.GetSafeHwnd(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        if (tvtest::TextOf(c) != u"範囲") continue;
        RECT r{};
        ::GetWindowRect(c, &r);
        groupRight = r.right;
    }
    ASSERT_GT(groupRight, 0);
    EXPECT_LE(rectOf(IDC_REPLACE_IN_SELECTION).right, groupRight);
    for (int id : {IDC_SEARCH_NEXT, IDC_SEARCH_PREV, IDC_REPLACE_ONE, IDC_REPLACE_ALL, IDCANCEL})
        EXPECT_GE(rectOf(id).left, groupRight) << id;
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(replace.GetSafeHwnd(), IDC_SEARCH_HEIGHT_MARK)));
    EXPECT_FALSE(qtplatform::IsMapped(::GetDlgItem(replace.GetSafeHwnd(), IDC_SEARCH_HEIGHT_MARK)));
    replace.DestroyWindow();
}

TEST_F(SettingsTest, ReplaceDialogScopeHistoriesAndReplaceAll) {
    Owner owner;
    owner.request.inSelection = 1;
    CReplaceDlg dlg;
    Open(dlg, owner);
    HWND h = dlg.GetSafeHwnd();
    EXPECT_EQ(::IsDlgButtonChecked(h, IDC_REPLACE_IN_SELECTION), UINT(BST_CHECKED));
    for (int id : {IDC_SEARCH_NEXT, IDC_SEARCH_PREV, IDC_REPLACE_ONE, IDC_REPLACE_ALL})
        EXPECT_FALSE(Enabled(dlg, id)) << id;
    TypeIntoCombo(h, IDC_SEARCH_TEXT, u"^(.+) (.+)$");
    TypeIntoCombo(h, IDC_REPLACE_TEXT, u"$2 $1");
    // In a selection only "全て置換" can be pressed.
    EXPECT_TRUE(Enabled(dlg, IDC_REPLACE_ALL));
    EXPECT_FALSE(Enabled(dlg, IDC_SEARCH_NEXT));
    EXPECT_FALSE(Enabled(dlg, IDC_REPLACE_ONE));
    tvtest::Tick(h, IDC_SEARCH_REGEX);
    tvtest::ClickControl(h, IDC_REPLACE_ALL);
    ASSERT_EQ(owner.calls.size(), 1u);
    EXPECT_EQ(owner.calls[0].message, UINT(SRM_REPLACE));
    const SearchRequest& r = owner.calls[0].request;
    EXPECT_EQ(r.searchText, u"^(.+) (.+)$");
    EXPECT_EQ(r.replaceText, u"$2 $1");
    EXPECT_EQ(r.replaceAll, 1);
    EXPECT_EQ(r.inSelection, 1);
    EXPECT_EQ(r.useRegex, 1);
    EXPECT_EQ(Stored(u"REPLACE_TEXT", u"0"), "$2 $1");
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"0"), "^(.+) (.+)$");
    EXPECT_EQ(Status(0), SEARCH_FLAG_REGEX | SEARCH_FLAG_MATCH_WIDTH);

    // "全体": every button; find and replace one.
    tvtest::ClickControl(h, IDC_REPLACE_WHOLE);
    EXPECT_TRUE(Enabled(dlg, IDC_SEARCH_NEXT));
    EXPECT_TRUE(Enabled(dlg, IDC_REPLACE_ONE));
    tvtest::ClickControl(h, IDC_SEARCH_PREV);
    EXPECT_EQ(owner.calls.back().message, UINT(SRM_FIND));
    EXPECT_EQ(owner.calls.back().request.direction, -1);
    EXPECT_EQ(owner.calls.back().request.inSelection, 0);
    tvtest::ClickControl(h, IDC_REPLACE_ONE);
    EXPECT_EQ(owner.calls.back().message, UINT(SRM_REPLACE));
    EXPECT_EQ(owner.calls.back().request.replaceAll, 0);
    EXPECT_EQ(owner.calls.back().request.direction, 1);
    tvtest::Pump();
    EXPECT_TRUE(tvtest::SavePng(h, Shot("replacedlg.png")));

    // An empty replacement is stored like any other.
    ::SetDlgItemTextW(h, IDC_REPLACE_TEXT, u"");
    tvtest::ClickControl(h, IDC_REPLACE_ALL);
    EXPECT_EQ(owner.calls.back().request.replaceText, u"");
    EXPECT_EQ(Stored(u"REPLACE_TEXT", u"0"), "");
    EXPECT_EQ(Stored(u"REPLACE_TEXT", u"1"), "$2 $1");
    dlg.DestroyWindow();
}

TEST_F(SettingsTest, FilterDialogColumnsRunClearAndClose) {
    CStrGridData model;
    model.AllocArrays(2, 3);
    model.m_colNames[0] = u"社員番号";
    model.m_colNames[1] = u"氏名";
    model.m_colNames[2] = u"部署";
    Owner owner;
    owner.filtered = &model;
    CGridFilterDlg dlg;
    dlg.m_gridData = &model;
    dlg.m_initialColumn = 1;
    dlg.m_closeAtFound = 1;
    Open(dlg, owner);
    HWND h = dlg.GetSafeHwnd();
    EXPECT_EQ(Text(dlg, IDC_FILTER_COLUMN), u"氏名");
    EXPECT_FALSE(Enabled(dlg, IDC_FILTER_RUN));
    EXPECT_FALSE(Enabled(dlg, IDC_FILTER_CLEAR));
    tvtest::Choose(h, IDC_FILTER_COLUMN, u"部署");
    TypeIntoCombo(h, IDC_SEARCH_TEXT, u"営業");
    tvtest::Pump();
    EXPECT_TRUE(tvtest::SavePng(h, Shot("filterdlg.png")));
    // A failed filter keeps the dialog open and still stores the text.
    owner.answer = 1;
    tvtest::ClickControl(h, IDC_FILTER_RUN);
    ASSERT_EQ(owner.calls.size(), 1u);
    EXPECT_EQ(owner.calls[0].message, UINT(SRM_FILTER));
    EXPECT_EQ(owner.calls[0].wParam, 2u);
    EXPECT_EQ(owner.calls[0].request.searchText, u"営業");
    EXPECT_TRUE(::IsWindowVisible(h));
    EXPECT_EQ(Stored(u"SEARCH_TEXT", u"0"), "営業");
    // A successful one closes it (close-at-found).
    owner.answer = 0;
    tvtest::ClickControl(h, IDC_FILTER_RUN);
    EXPECT_FALSE(::IsWindow(h));
    Open(dlg, owner);
    h = dlg.GetSafeHwnd();
    EXPECT_TRUE(Enabled(dlg, IDC_FILTER_CLEAR));
    tvtest::ClickControl(h, IDC_FILTER_CLEAR);
    EXPECT_EQ(owner.calls.back().message, UINT(SRM_CLEARFILTER));
    EXPECT_FALSE(Enabled(dlg, IDC_FILTER_CLEAR));
    dlg.DestroyWindow();
}

} // namespace
