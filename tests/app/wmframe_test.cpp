// The main window maximised and restored by the window manager: restored,
// it has its size and place again; ended while maximised, it keeps the
// place it is restored to for the next start.
#include "app/mainfrm.h"
#include "app_fixture.h"

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

} // namespace
