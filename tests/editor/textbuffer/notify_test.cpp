#include <gtest/gtest.h>

#include <map>

#include <windows.h>

#include "tb_helpers.h"

namespace {

std::map<HWND, int> g_updates;

LRESULT CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == EDM_UPDATEMODIFIED && wParam == 0 && lParam == 0) g_updates[hwnd]++;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

TEST(Views, EveryEditTellsEachRegisteredViewOnce) {
    CEditData d;
    HWND views[5];
    for (HWND& v : views) {
        v = MakeWindow(u"TextBufferTestView", CountingProc);
        ASSERT_NE(v, nullptr);
    }
    for (int i = 0; i < 4; i++) EXPECT_EQ(d.m_disp.RegisterView(views[i]), i);
    EXPECT_EQ(d.m_disp.RegisterView(views[4]), -1);
    SetText(d, u"abc\r\ndef");
    d.SetCaret(0, 1);

    auto expectOnce = [&](const char* what) {
        for (int i = 0; i < 4; i++) EXPECT_EQ(g_updates[views[i]], 1) << what << " view " << i;
        EXPECT_EQ(g_updates[views[4]], 0) << what;
        g_updates.clear();
    };
    g_updates.clear();
    d.InsertText(u"x\r\ny");
    expectOnce("InsertText");
    d.Backspace();
    expectOnce("Backspace");
    d.DeleteNextChar();
    expectOnce("DeleteNextChar");
    d.DeleteRange(EditPos{0, 0}, EditPos{1, 1}, 1);
    expectOnce("DeleteRange");
    d.TypeChar(u'q');
    expectOnce("TypeChar");

    d.m_disp.SendToViews(views[1], EDM_UPDATEMODIFIED, 0, 0);
    EXPECT_EQ(g_updates[views[1]], 0);
    EXPECT_EQ(g_updates[views[0]] + g_updates[views[2]] + g_updates[views[3]], 3);
    g_updates.clear();

    d.m_disp.UnregisterView(views[2]);
    EXPECT_EQ(d.m_disp.RegisterView(views[4]), 2);
    d.TypeChar(u'r');
    EXPECT_EQ(g_updates[views[2]], 0);
    EXPECT_EQ(g_updates[views[4]], 1);
    for (HWND v : views) DestroyWindow(v);
}
