// The main window maximised and restored by the window manager: restored,
// it has its size and place again; ended while maximised, it keeps the
// place it is restored to for the next start. Maximised and then minimised
// while a dialog is open, it stays minimised when the dialog ends and comes
// back maximised.
#include "app/mainfrm.h"
#include "app_fixture.h"
#include "res/dialogs4.h"
#include "testing/dialogs.h"

namespace {

using namespace apptest;

class WmFrameTest : public AppTest {
public:
    CMainFrame* Frame() { return dynamic_cast<CMainFrame*>(theApp.m_pMainWnd); }
    void SetState(qtplatform::ShownState state) {
        qtplatform::SetStateByWindowManager(Frame()->m_hWnd, state);
        tvtest::Pump();
    }
};

TEST_F(WmFrameTest, MaximisedByTheWindowManagerItIsRestoredAndEndsWithItsOwnPlace) {
    tvtest::SetScreen(RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 984});
    PutPlace(120, 60, 700, 500);
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    CRect normal;
    Frame()->GetWindowRect(&normal);
    ASSERT_EQ(normal, CRect(120, 60, 820, 560));

    SetState(qtplatform::ShownState::Maximized);
    ASSERT_TRUE(Frame()->IsZoomed());
    CRect maximised;
    Frame()->GetWindowRect(&maximised);
    EXPECT_NE(maximised, normal);
    SetState(qtplatform::ShownState::Normal);
    EXPECT_FALSE(Frame()->IsZoomed());
    CRect restored;
    Frame()->GetWindowRect(&restored);
    EXPECT_EQ(restored, normal);

    SetState(qtplatform::ShownState::Maximized);
    Exit();
    EXPECT_EQ(GetInt(u"WINDOW", u"ZOOMED"), 1);
    EXPECT_EQ(GetInt(u"WINDOW", u"WIDTH"), 700);
    EXPECT_EQ(GetInt(u"WINDOW", u"HEIGHT"), 500);
    tvtest::SetScreen(RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1080});
}

TEST_F(WmFrameTest, MinimisedWhileADialogIsOpenItStaysMinimisedAndComesBackMaximised) {
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    HWND frame = Frame()->m_hWnd;
    SetState(qtplatform::ShownState::Maximized);
    ASSERT_TRUE(Frame()->IsZoomed());
    CRect maximised;
    Frame()->GetWindowRect(&maximised);
    tvtest::ExpectDialog(IDD_ABOUTBOX, [&](HWND dlg) {
        qtplatform::SetStateByWindowManager(frame, qtplatform::ShownState::Minimized);
        tvtest::Pump();
        EXPECT_TRUE(::IsIconic(frame));
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    Frame()->SendMessage(WM_COMMAND, ID_APP_ABOUT);
    tvtest::Pump();
    tvtest::VerifyDialogs();
    EXPECT_TRUE(Frame()->IsIconic());
    EXPECT_TRUE(qtplatform::ShownMinimized(frame));
    EXPECT_TRUE(qtplatform::ShownMaximized(frame));
    SetState(qtplatform::ShownState::ShownAgain);
    EXPECT_FALSE(Frame()->IsIconic());
    EXPECT_TRUE(Frame()->IsZoomed());
    CRect again;
    Frame()->GetWindowRect(&again);
    EXPECT_EQ(again, maximised);
    SetState(qtplatform::ShownState::Normal);
}

} // namespace
