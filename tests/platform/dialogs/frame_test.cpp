// Window frames by the fixed metrics, tracking sizes and owned windows; a
// shown window mapped once on the display, its menu bar repainted in place,
// modal dialogs on the work area above their owner.
#include <gtest/gtest.h>

#include <afxwin.h>

#include "template_builder.h"
#include "testing/dialogs.h"
#include "testing/driver.h"
#include "testing/framework.h"

namespace {

CWinApp& App() {
    static CWinApp app(u"frames");
    return app;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        App();
    }
    void TearDown() override {
        tvtest::VerifyDialogs();
        tvtest::Pump();
    }
};

SIZE OuterSize(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// A resizable dialog with a minimum tracking size, as the login dialog has.
class SizedDlg : public CDialog {
public:
    int asked = 0;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        ModifyStyle(0, WS_THICKFRAME);
        return TRUE;
    }
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* mmi) {
        ++asked;
        mmi->ptMinTrackSize = POINT{350, 300};
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(SizedDlg, CDialog)
ON_WM_GETMINMAXINFO()
END_MESSAGE_MAP()

TEST_F(FrameTest, CaptionAndBordersAreFixedMetricsAndOuterSizesRoundTrip) {
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 23);
    EXPECT_EQ(GetSystemMetrics(SM_CXDLGFRAME), 3);
    EXPECT_EQ(GetSystemMetrics(SM_CYFRAME), 4);
    TemplateBuilder t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 220, 70, u"Plain");
    CDialog dlg;
    ASSERT_TRUE(dlg.CreateIndirect(t.Get()));
    HWND h = dlg.GetSafeHwnd();
    RECT c;
    GetClientRect(h, &c);
    EXPECT_EQ(c.right, 440);
    EXPECT_EQ(c.bottom, 140);
    EXPECT_EQ(OuterSize(h).cx, 440 + 2 * 3);
    EXPECT_EQ(OuterSize(h).cy, 140 + 2 * 3 + 23);
    RECT adjusted{0, 0, 440, 140};
    AdjustWindowRectEx(&adjusted, DWORD(GetWindowLongW(h, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongW(h, GWL_EXSTYLE)));
    EXPECT_EQ(adjusted.right - adjusted.left, OuterSize(h).cx);
    EXPECT_EQ(adjusted.top, -26);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    RECT w;
    GetWindowRect(h, &w);
    EXPECT_EQ(origin.x - w.left, 3);
    EXPECT_EQ(origin.y - w.top, 26);

    // The window manager draws the frame: the host is the client area.
    dlg.ShowWindow(SW_SHOW);
    tvtest::Pump();
    EXPECT_TRUE(qtplatform::IsFramedByWindowManager(h));
    qtplatform::Image shot = tvtest::Capture(h);
    EXPECT_EQ(shot.width, 440);
    EXPECT_EQ(shot.height, 140);

    // A stored outer size comes back as it was; a sizing border takes a pixel more a side.
    SetWindowPos(h, nullptr, 10, 20, 500, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(OuterSize(h).cx, 500);
    EXPECT_EQ(OuterSize(h).cy, 300);
    dlg.ModifyStyle(0, WS_THICKFRAME);
    EXPECT_EQ(OuterSize(h).cx, 500);
    GetClientRect(h, &c);
    EXPECT_EQ(c.right, 500 - 8);
    EXPECT_EQ(c.bottom, 300 - 8 - 23);
    dlg.DestroyWindow();
}

TEST_F(FrameTest, ResizableDialogIsHeldToItsMinimumTrackingSize) {
    TemplateBuilder t(WS_POPUP | WS_CAPTION | WS_SYSMENU, 220, 200, u"Sized");
    SizedDlg dlg;
    dlg.InitModalIndirect(t.Get());
    tvtest::ExpectDialog(u"Sized", [&](HWND h) {
        EXPECT_GE(dlg.asked, 1); // when the style made it sizable
        SetWindowPos(h, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_EQ(OuterSize(h).cx, 350);
        EXPECT_EQ(OuterSize(h).cy, 300);
        SetWindowPos(h, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_EQ(OuterSize(h).cx, 640);
        EndDialog(h, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);

    // A fixed popup keeps any size, down to 0 x 0, and is never asked.
    TemplateBuilder fixed(WS_POPUP | WS_CAPTION, 100, 50, u"Fixed");
    SizedDlg plain;
    ASSERT_TRUE(plain.CreateIndirect(fixed.Get()));
    plain.ModifyStyle(WS_THICKFRAME, 0);
    int asked = plain.asked;
    SetWindowPos(plain.GetSafeHwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(OuterSize(plain.GetSafeHwnd()).cx, 0);
    EXPECT_EQ(plain.asked, asked);
    plain.DestroyWindow();
}

TEST_F(FrameTest, OwnedWindowsStayAboveTheirOwnerAndPopupsHaveNoFrame) {
    CWnd main;
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400, nullptr,
                              nullptr));
    App().m_pMainWnd = &main;
    TemplateBuilder t(WS_POPUP | WS_CAPTION | WS_VISIBLE, 100, 50, u"Owned");
    CDialog owned;
    ASSERT_TRUE(owned.CreateIndirect(t.Get()));
    tvtest::Pump();
    EXPECT_EQ(qtplatform::KeptAbove(owned.GetSafeHwnd()), main.GetSafeHwnd());
    EXPECT_EQ(qtplatform::KeptAbove(main.GetSafeHwnd()), nullptr);
    // A new owner takes over.
    CWnd other;
    ASSERT_TRUE(other.CreateEx(0, nullptr, u"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                               nullptr, nullptr));
    const int mapped = qtplatform::TimesMapped(owned.GetSafeHwnd());
    SetWindowLongPtrW(owned.GetSafeHwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(other.GetSafeHwnd()));
    EXPECT_EQ(qtplatform::KeptAbove(owned.GetSafeHwnd()), other.GetSafeHwnd());
    // A window without an owner, shown, gets one: it stays on the screen all along.
    SetWindowLongPtrW(other.GetSafeHwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(main.GetSafeHwnd()));
    tvtest::Pump();
    EXPECT_EQ(qtplatform::KeptAbove(other.GetSafeHwnd()), main.GetSafeHwnd());
    EXPECT_EQ(qtplatform::TimesMapped(other.GetSafeHwnd()), 1);
    EXPECT_EQ(qtplatform::TimesMapped(owned.GetSafeHwnd()), mapped);
    SetWindowLongPtrW(other.GetSafeHwnd(), GWLP_HWNDPARENT, 0);

    HWND popup = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_BORDER | WS_VISIBLE, 0, 0, 50, 20,
                                 main.GetSafeHwnd(), nullptr, nullptr, nullptr);
    tvtest::Pump();
    EXPECT_FALSE(qtplatform::IsFramedByWindowManager(popup));
    EXPECT_TRUE(qtplatform::IsFramedByWindowManager(main.GetSafeHwnd()));
    RECT c;
    GetClientRect(popup, &c);
    EXPECT_EQ(c.right, 48); // its own border
    DestroyWindow(popup);
    owned.DestroyWindow();
    other.DestroyWindow();
    App().m_pMainWnd = nullptr;
    main.DestroyWindow();
}

// A menu bar with a counts item at its end, as the main window has.
HMENU CountsMenu(HWND frame) {
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_STRING, 1, u"ファイル(&F)");
    AppendMenuW(bar, MF_STRING, 2, u" Insert:0, Update:0, Delete:0 ");
    SetMenu(frame, bar);
    return bar;
}

TEST_F(FrameTest, AShownWindowIsMappedOnceWhateverChangesWhileItIsShown) {
    CWnd main;
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 500, 300,
                              nullptr, nullptr));
    App().m_pMainWnd = &main;
    HWND h = main.GetSafeHwnd();
    HMENU bar = CountsMenu(h);
    tvtest::Pump();
    ASSERT_TRUE(qtplatform::IsMapped(h));
    EXPECT_EQ(qtplatform::TimesMapped(h), 1);

    // What edits, undo steps, dialogs and the user's moves do to the main
    // window: the counts drawn again, a new title, disabled and enabled,
    // placed, sized and moved by the window manager, a caption button less.
    for (int i = 1; i <= 5; ++i) {
        const std::u16string counts =
            u" Insert:0, Update:" + std::u16string(1, char16_t(u'0' + i)) + u", Delete:0 ";
        ModifyMenuW(bar, 1, MF_BYPOSITION | MF_STRING, 2, counts.c_str());
        DrawMenuBar(h);
        tvtest::Pump();
    }
    SetWindowTextW(h, u"main - edited");
    EnableWindow(h, FALSE);
    EnableWindow(h, TRUE);
    SetWindowPos(h, nullptr, 60, 70, 520, 320, SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT shown = qtplatform::ShownRect(h);
    qtplatform::MoveByWindowManager(h, shown.left + 30, shown.top + 20);
    main.ModifyStyle(WS_MAXIMIZEBOX, 0);
    tvtest::Pump();
    TemplateBuilder t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 100, 50, u"Over");
    CDialog dlg;
    dlg.InitModalIndirect(t.Get(), &main);
    tvtest::ExpectDialog(u"Over", [](HWND d) {
        EndDialog(d, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    tvtest::Pump();
    EXPECT_TRUE(qtplatform::IsMapped(h));
    EXPECT_EQ(qtplatform::TimesMapped(h), 1);
    EXPECT_TRUE(qtplatform::IsFramedByWindowManager(h));

    // Only hiding takes it off the screen; showing maps it again.
    main.ShowWindow(SW_HIDE);
    tvtest::Pump();
    EXPECT_FALSE(qtplatform::IsMapped(h));
    main.ShowWindow(SW_SHOW);
    tvtest::Pump();
    EXPECT_EQ(qtplatform::TimesMapped(h), 2);
    App().m_pMainWnd = nullptr;
    main.DestroyWindow();
}

TEST_F(FrameTest, DrawMenuBarRepaintsTheBarOnTheScreen) {
    CWnd main;
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 500, 300,
                              nullptr, nullptr));
    HWND h = main.GetSafeHwnd();
    HMENU bar = CountsMenu(h);
    tvtest::Pump();
    const qtplatform::Image before = qtplatform::Shown(h);
    ASSERT_GT(before.width, 0);
    ModifyMenuW(bar, 1, MF_BYPOSITION | MF_STRING, 2, u" Insert:0, Update:10, Delete:0 ");
    DrawMenuBar(h);
    tvtest::Pump();
    // What the screen shows now is the window painted anew, new counts included.
    const qtplatform::Image after = qtplatform::Shown(h);
    EXPECT_TRUE(after.pixels != before.pixels) << "the screen still shows the old counts";
    EXPECT_TRUE(after.pixels == tvtest::Capture(h).pixels)
        << "the screen differs from the window painted anew";
    main.DestroyWindow();
}

TEST_F(FrameTest, AModalDialogOpensOnTheWorkAreaAboveItsOwnerWithTheKeyboard) {
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT low{0, 0, 800, 560}; // a panel along the bottom of an 800 x 600 screen
    tvtest::SetScreen(RECT{0, 0, 800, 600}, low);
    // The owner low on the screen: the dialog at its client corner would reach below the work area.
    CWnd main;
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 330, 600, 200,
                              nullptr, nullptr));
    tvtest::Pump();
    TemplateBuilder t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 150, 100, u"Low");
    t.Control(u"Button", u"OK", IDOK, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 50, 70, 50, 14);
    CDialog dlg;
    dlg.InitModalIndirect(t.Get(), &main);
    bool seen = false;
    tvtest::ExpectDialog(u"Low", [&](HWND d) {
        seen = true;
        EXPECT_TRUE(qtplatform::IsMapped(d));
        EXPECT_EQ(qtplatform::KeptAbove(d), main.GetSafeHwnd());
        EXPECT_TRUE(qtplatform::IsFramedByWindowManager(d));
        RECT r;
        GetWindowRect(d, &r);
        EXPECT_TRUE(r.left >= low.left && r.top >= low.top && r.right <= low.right && r.bottom <= low.bottom)
            << r.left << "," << r.top << "-" << r.right << "," << r.bottom;
        const RECT onScreen = qtplatform::ShownRect(d);
        EXPECT_LE(onScreen.bottom, low.bottom);
        const HWND focus = GetFocus();
        EXPECT_TRUE(focus == d || IsChild(d, focus));
        EndDialog(d, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(seen);
    tvtest::SetScreen(screen, work);
    main.DestroyWindow();
}

TEST_F(FrameTest, ADialogOpensOnTheScreenThatHoldsItsOwner) {
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // The primary 800 x 600 with a panel along its bottom, a second screen of
    // 1024 x 768 to its right.
    const RECT work1{0, 0, 800, 560}, work2{800, 0, 1824, 768};
    win32bk::SetScreens({{RECT{0, 0, 800, 600}, work1}, {RECT{800, 0, 1824, 768}, work2}});
    auto inside = [](const RECT& r, const RECT& area) {
        return r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom;
    };
    // The owner low on the second screen: its dialog is kept on that
    // screen's work area, not carried to the primary.
    CWnd main;
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 1000, 560, 600, 180,
                              nullptr, nullptr));
    tvtest::Pump();
    TemplateBuilder t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 150, 100, u"Second");
    t.Control(u"Button", u"OK", IDOK, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 50, 70, 50, 14);
    CDialog dlg;
    dlg.InitModalIndirect(t.Get(), &main);
    RECT shown{};
    tvtest::ExpectDialog(u"Second", [&](HWND d) {
        GetWindowRect(d, &shown);
        EndDialog(d, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(inside(shown, work2))
        << shown.left << "," << shown.top << "-" << shown.right << "," << shown.bottom;
    main.DestroyWindow();
    tvtest::SetScreen(screen, work);
}

} // namespace
