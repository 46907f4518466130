// The single-document open, closing, command routing and the update of
// menus, buttons and panes.
#include "sdi_fixture.h"

namespace {

TEST_F(SdiTest, AFailedOpenDestroysTheFrameAndLeavesNoMainWindow) {
    TestDoc::failOpen = true;
    SetProcessArgumentsW({u"prog", u"cond.txt"});
    CCommandLineInfo info;
    app_->ParseCommandLine(info);
    EXPECT_FALSE(app_->ProcessShellCommand(info));
    EXPECT_EQ(TestDoc::mainDuringOpen, nullptr);
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    EXPECT_EQ(TestFrame::live, 0);
    EXPECT_EQ(TestView::live, 0);
    EXPECT_EQ(TestDoc::live, 0);
    EXPECT_EQ(Record::Log(), std::vector<std::string>{"open"});

    // The next open works; the main window is set only after it.
    TestDoc::failOpen = false;
    EXPECT_TRUE(app_->ProcessShellCommand(info));
    EXPECT_EQ(TestDoc::mainDuringOpen, nullptr);
    ASSERT_NE(AfxGetMainWnd(), nullptr);
    auto* frame = static_cast<TestFrame*>(AfxGetMainWnd());
    EXPECT_TRUE(frame->IsWindowVisible());
    CView* view = frame->GetActiveView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::u16string(view->GetDocument()->GetPathName()), u"cond.txt");
    // The title joins the frame's and the document's.
    WCHAR title[64];
    frame->GetWindowText(title, 64);
    EXPECT_EQ(std::u16string(title), u"テスト - cond.txt");
}

TEST_F(SdiTest, ClosingAsksTheDocumentAndEndsTheLoop) {
    TestFrame* frame = OpenNew();
    ASSERT_NE(frame, nullptr);
    TestDoc::refuseClose = true;
    frame->SendMessage(WM_CLOSE);
    EXPECT_EQ(TestFrame::live, 1);
    EXPECT_EQ(Record::Log(), std::vector<std::string>{"save-modified"});
    TestDoc::refuseClose = false;
    frame->SendMessage(WM_CLOSE);
    EXPECT_EQ(TestFrame::live, 0);
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    MSG m;
    EXPECT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(SdiTest, CommandsGoToTheViewBeforeTheDocument) {
    TestFrame* frame = OpenNew();
    frame->SendMessage(WM_COMMAND, ID_BOTH);
    frame->SendMessage(WM_COMMAND, ID_DOC_ONLY);
    EXPECT_EQ(Record::Log(), (std::vector<std::string>{"view-both", "doc-only"}));
    // A menu command disabled by its update handler is dropped.
    Record::Log().clear();
    frame->SendMessage(WM_COMMAND, ID_GREYED);
    EXPECT_TRUE(Record::Log().empty());
    TestFrame::greyed = false;
    frame->SendMessage(WM_COMMAND, ID_GREYED);
    EXPECT_EQ(Record::Log(), std::vector<std::string>{"greyed-ran"});
}

TEST_F(SdiTest, APopupIsUpdatedThroughTheRouting) {
    TestFrame* frame = OpenNew();
    tvtest::AnswerMenu(0);
    win32bk::OpenMenuBarPopup(frame->m_hWnd, 0);
    ASSERT_EQ(tvtest::Menus().size(), 1u);
    const win32bk::ShownMenu& file = tvtest::Menus()[0];
    EXPECT_EQ(tvtest::ShownState(file, ID_BOTH) & MF_GRAYED, 0);
    EXPECT_NE(tvtest::ShownState(file, ID_GREYED) & MF_GRAYED, 0);     // by its handler
    EXPECT_NE(tvtest::ShownState(file, ID_NO_HANDLER) & MF_GRAYED, 0); // no handler at all
    EXPECT_EQ(tvtest::ShownState(file, ID_APP_EXIT) & MF_GRAYED, 0);   // the application's
    // The popup entry, greyed by position from its first command's handler.
    ASSERT_EQ(file.items.size(), 6u);
    EXPECT_EQ(file.items[4].id, static_cast<UINT>(-1));
    EXPECT_NE(file.items[4].state & MF_GRAYED, 0u);
    // The submenu's own item was left alone by the entry's update.
    HMENU sub = GetSubMenu(GetSubMenu(GetMenu(frame->m_hWnd), 0), 4);
    EXPECT_EQ(GetMenuState(sub, ID_SUB_FIRST, MF_BYCOMMAND) & MF_GRAYED, 0u);

    // A command chosen there arrives as WM_COMMAND.
    tvtest::AnswerMenu(ID_BOTH);
    win32bk::OpenMenuBarPopup(frame->m_hWnd, 0);
    EXPECT_TRUE(Record::Log().empty());
    tvtest::Pump();
    EXPECT_EQ(Record::Log(), std::vector<std::string>{"view-both"});
}

TEST_F(SdiTest, ButtonsAndPanesChangeAtTheNextIdle) {
    TestFrame* frame = OpenNew();
    tvtest::RunUntilIdle();
    int greyed = frame->m_toolbar.CommandToIndex(ID_GREYED);
    int none = frame->m_toolbar.CommandToIndex(ID_NO_HANDLER);
    int both = frame->m_toolbar.CommandToIndex(ID_BOTH);
    EXPECT_NE(frame->m_toolbar.GetButtonStyle(greyed) & TBBS_DISABLED, 0u);
    EXPECT_NE(frame->m_toolbar.GetButtonStyle(none) & TBBS_DISABLED, 0u);
    EXPECT_EQ(frame->m_toolbar.GetButtonStyle(both) & TBBS_DISABLED, 0u);
    EXPECT_EQ(std::u16string(frame->m_status.GetPaneText(1)), u"P1");
    EXPECT_EQ(std::u16string(frame->m_toolbar.GetToolTipText(both)), u"両方");

    TestFrame::greyed = false;
    TestFrame::paneText = u"P2";
    EXPECT_NE(frame->m_toolbar.GetButtonStyle(greyed) & TBBS_DISABLED, 0u);
    tvtest::RunUntilIdle();
    EXPECT_EQ(frame->m_toolbar.GetButtonStyle(greyed) & TBBS_DISABLED, 0u);
    EXPECT_EQ(std::u16string(frame->m_status.GetPaneText(1)), u"P2");
    TestFrame::paneText = u"P1";

    // The bars toggle from their commands.
    frame->SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR);
    EXPECT_FALSE(frame->m_toolbar.IsWindowVisible());
    frame->SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR);
    EXPECT_TRUE(frame->m_toolbar.IsWindowVisible());
}

TEST_F(SdiTest, TheMessagePaneShowsWithoutPumping) {
    TestFrame* frame = OpenNew();
    tvtest::RunUntilIdle();
    EXPECT_EQ(std::u16string(frame->m_status.GetPaneText(0)), u"レディ");
    CRect pane;
    frame->m_status.GetItemRect(0, &pane);
    auto before = qtplatform::Capture(frame->m_status.m_hWnd);
    frame->SetMessageText(u"マクロ実行中...");
    auto after = qtplatform::Capture(frame->m_status.m_hWnd);
    int changed = 0;
    for (int y = pane.top; y < pane.bottom; ++y)
        for (int x = pane.left; x < pane.right; ++x) changed += before.At(x, y) != after.At(x, y);
    EXPECT_GT(changed, 20);
    // A highlighted item's prompt, then the idle message again.
    frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(ID_BOTH, 0),
                       reinterpret_cast<LPARAM>(GetMenu(frame->m_hWnd)));
    EXPECT_EQ(std::u16string(frame->m_status.GetPaneText(0)), u"両方の説明");
    frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(std::u16string(frame->m_status.GetPaneText(0)), u"レディ");
}

TEST_F(SdiTest, PlacementCommands) {
    TestFrame* frame = OpenNew();
    tvtest::SetScreen(RECT{0, 0, 1280, 800}, RECT{0, 30, 1280, 800});
    CRect normal;
    frame->GetWindowRect(&normal);
    frame->ShowWindow(SW_MAXIMIZE);
    EXPECT_TRUE(frame->IsZoomed());
    CRect max;
    frame->GetWindowRect(&max);
    EXPECT_EQ(max, CRect(0, 30, 1280, 800));
    frame->ShowWindow(SW_MINIMIZE);
    EXPECT_TRUE(frame->IsIconic());
    frame->ShowWindow(SW_RESTORE);
    EXPECT_FALSE(frame->IsIconic());
    EXPECT_TRUE(frame->IsZoomed());
    frame->ShowWindow(SW_RESTORE);
    EXPECT_FALSE(frame->IsZoomed());
    CRect back;
    frame->GetWindowRect(&back);
    EXPECT_EQ(back, normal);
    RECT work{};
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.top, 30);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 800);
    tvtest::SetScreen(RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1080});
}

} // namespace

namespace {

TEST_F(SdiTest, ADraggedSplitBoxMakesTwoRowsOfViewsOnTheDocument) {
    TestFrame::split = true;
    TestFrame* frame = OpenNew();
    CSplitterWnd& s = frame->m_splitter;
    ASSERT_EQ(s.GetRowCount(), 1);
    EXPECT_EQ(TestView::rowsAtInitialUpdate, std::vector<int>{1});
    auto* first = static_cast<CView*>(s.GetPane(0, 0));
    SplitByTheBox(s);
    if (HasFatalFailure()) return;
    ASSERT_EQ(s.GetRowCount(), 2);
    auto* second = static_cast<CView*>(s.GetPane(1, 0));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetDocument(), first->GetDocument());
    EXPECT_TRUE(second->IsKindOf(RUNTIME_CLASS(TestView)));
    // The counts were updated before the new view's initial update.
    EXPECT_EQ(TestView::rowsAtInitialUpdate, (std::vector<int>{1, 2}));
    EXPECT_NE(s.GetSharedBar(SB_VERT, 1), nullptr);
    EXPECT_TRUE(s.GetSplitBox(SB_VERT).IsRectEmpty());
    // A click makes a pane the active one.
    tvtest::Click(second->m_hWnd, 5, 5);
    int row = -1, col = -1;
    EXPECT_EQ(s.GetActivePane(&row, &col), second);
    EXPECT_EQ(row, 1);

    // The bar between the rows dragged to the bottom edge removes the lower row.
    CRect r;
    first->GetWindowRect(&r);
    s.ScreenToClient(&r);
    int gap = r.bottom + 2;
    CRect client;
    s.GetClientRect(&client);
    tvtest::MouseDown(s.m_hWnd, 20, gap);
    tvtest::MouseUp(s.m_hWnd, 20, client.bottom - 2);
    tvtest::Pump();
    EXPECT_EQ(Record::Log().back(), "delete-row 1");
    EXPECT_EQ(s.GetRowCount(), 1);
    EXPECT_EQ(TestView::live, 1);
    EXPECT_EQ(frame->GetActiveView(), first);
}

// A window that covers a view's client area wholly, as a grid covers its
// pane; it notes which view was active when each press reached it. One of
// another class answers that a press must not activate (as a toolbar
// inside a view would).
struct Cover {
    static inline CFrameWnd* frame = nullptr;
    static inline std::vector<CView*> activeAtPress;
    static LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_LBUTTONDOWN && frame) activeAtPress.push_back(frame->GetActiveView());
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    static LRESULT NoActivateProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    static HWND Over(CView* view, bool activates = true) {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.lpszClassName = u"TestCover";
            RegisterClassW(&wc);
            wc.lpfnWndProc = NoActivateProc;
            wc.lpszClassName = u"TestNoActivateCover";
            RegisterClassW(&wc);
            return true;
        }();
        (void)registered;
        CRect r;
        view->GetClientRect(&r);
        return CreateWindowExW(0, activates ? u"TestCover" : u"TestNoActivateCover", u"",
                               WS_CHILD | WS_VISIBLE, 0, 0, r.Width(), r.Height(), view->m_hWnd, nullptr,
                               nullptr, nullptr);
    }
};

// The panes of a split frame whose client areas are covered by a child
// window each: a press in a pane's child makes that pane the frame's active
// view (with the focus) before the press reaches the child, whether the
// frame was active or another window was; a child answering that it does not
// activate leaves the active view as it was.
TEST_F(SdiTest, APressInAWindowCoveringAPaneMakesThatPaneTheActiveView) {
    TestFrame::split = true;
    TestFrame* frame = OpenNew();
    CSplitterWnd& s = frame->m_splitter;
    SplitByTheBox(s);
    if (HasFatalFailure()) return;
    ASSERT_EQ(s.GetRowCount(), 2);
    auto* first = static_cast<CView*>(s.GetPane(0, 0));
    auto* second = static_cast<CView*>(s.GetPane(1, 0));
    ASSERT_NE(second, nullptr);
    Cover::frame = frame;
    Cover::activeAtPress.clear();
    HWND cover1 = Cover::Over(first), cover2 = Cover::Over(second);
    tvtest::Pump();
    frame->SetActiveView(first);
    ASSERT_EQ(frame->GetActiveView(), first);

    tvtest::Click(cover2, 10, 10);
    EXPECT_EQ(frame->GetActiveView(), second);
    int row = -1;
    EXPECT_EQ(s.GetActivePane(&row), second);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(::GetFocus(), second->m_hWnd);
    tvtest::Advance(1000);
    tvtest::Click(cover1, 10, 10);
    EXPECT_EQ(frame->GetActiveView(), first);
    EXPECT_EQ(::GetFocus(), first->m_hWnd);
    EXPECT_EQ(Cover::activeAtPress, (std::vector<CView*>{second, first}));

    // With another window active, the press activates the frame too; the
    // focus goes to the pane pressed.
    HWND other = CreateWindowExW(0, u"TestCover", u"other", WS_OVERLAPPED | WS_VISIBLE, 700, 500, 100, 80,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(::GetActiveWindow(), other);
    tvtest::Advance(1000);
    tvtest::Click(cover2, 10, 10);
    EXPECT_EQ(::GetActiveWindow(), frame->m_hWnd);
    EXPECT_EQ(frame->GetActiveView(), second);
    EXPECT_EQ(::GetFocus(), second->m_hWnd);
    DestroyWindow(other);

    // A child that refuses the activation leaves the active view.
    ::DestroyWindow(cover1);
    HWND refusing = Cover::Over(first, false);
    tvtest::Pump();
    tvtest::Advance(1000);
    tvtest::Click(refusing, 10, 10);
    EXPECT_EQ(frame->GetActiveView(), second);
    Cover::frame = nullptr;
}

} // namespace
