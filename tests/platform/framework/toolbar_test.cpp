// Toolbar images from the TOOLBAR and BITMAP resources (light grey as the
// face, greyed forms of disabled buttons) and the tip that shows when the
// pointer rests on a button.
#include <cstring>

#include "sdi_fixture.h"
#include "testing/dialogs.h"

namespace {

constexpr WORD IDR_IMAGES = 300;

std::vector<BYTE> ToolbarBytes() {
    const WORD words[] = {1, 16, 15, 3, WORD(ID_BOTH), 0, WORD(ID_GREYED)};
    std::vector<BYTE> out(sizeof words);
    std::memcpy(out.data(), words, sizeof words);
    return out;
}

// Two 16 x 15 images, 24 bits: a red square and a blue one, each inside a light grey border.
std::vector<BYTE> BitmapBytes() {
    const int w = 32, h = 15, stride = (w * 3 + 3) / 4 * 4;
    std::vector<BYTE> out(40 + size_t(stride) * h, 0);
    auto put32 = [&](size_t at, DWORD v) { std::memcpy(out.data() + at, &v, 4); };
    put32(0, 40);
    put32(4, w);
    put32(8, h);
    out[12] = 1;
    out[14] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = out.data() + 40 + size_t(h - 1 - y) * stride + size_t(x) * 3; // bottom-up rows
            int lx = x % 16;
            bool inside = lx >= 3 && lx < 13 && y >= 3 && y < 12;
            BYTE r = 192, g = 192, b = 192;
            if (inside) r = x < 16 ? 255 : 0, g = 0, b = x < 16 ? 0 : 255;
            p[0] = b, p[1] = g, p[2] = r;
        }
    return out;
}

class ToolbarTest : public SdiTest {
protected:
    void SetUp() override {
        SdiTest::SetUp();
        toolbar_ = ToolbarBytes();
        bitmap_ = BitmapBytes();
        table_[0] = {241, nullptr, IDR_IMAGES, nullptr, toolbar_.data(), DWORD(toolbar_.size())};
        table_[1] = {2, nullptr, IDR_IMAGES, nullptr, bitmap_.data(), DWORD(bitmap_.size())};
        win32rc::RegisterResources(table_, 2, win32rc::kProgram);
    }
    void TearDown() override {
        win32rc::UnregisterResources(table_);
        SdiTest::TearDown();
    }
    std::vector<BYTE> toolbar_, bitmap_;
    win32rc::Resource table_[2]{};
};

COLORREF PixelAt(const qtplatform::Image& img, int x, int y) {
    uint32_t p = img.At(x, y);
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

TEST_F(ToolbarTest, ButtonsShowTheirImagesAndDisabledOnesTheGreyedForm) {
    TestFrame* frame = OpenNew();
    CToolBar& bar = frame->m_toolbar;
    ASSERT_TRUE(bar.LoadToolBar(IDR_IMAGES));
    tvtest::RunUntilIdle();
    tvtest::Pump();
    ASSERT_NE(bar.GetButtonStyle(2) & TBBS_DISABLED, 0u); // ID_GREYED's handler disables it
    qtplatform::Image img = tvtest::Capture(bar.m_hWnd);
    CRect both, greyed;
    bar.GetItemRect(0, &both);
    bar.GetItemRect(2, &greyed);
    // The image is centred in the button: its middle is the square's.
    EXPECT_EQ(PixelAt(img, both.CenterPoint().x, both.CenterPoint().y), RGB(255, 0, 0));
    int left = both.left + (both.Width() - 16) / 2, top = both.top + (both.Height() - 15) / 2;
    EXPECT_EQ(PixelAt(img, left + 1, top + 1), GetSysColor(COLOR_3DFACE)); // the grey border shows the face
    EXPECT_EQ(PixelAt(img, greyed.CenterPoint().x, greyed.CenterPoint().y), GetSysColor(COLOR_3DSHADOW));
}

// The window at the spot below a button where its tip shows.
HWND TipBelow(CToolBar& bar, const CRect& button) {
    POINT at{button.left + 3, button.bottom + 5};
    ClientToScreen(bar.m_hWnd, &at);
    return WindowFromPoint(at);
}

TEST_F(ToolbarTest, ATipShowsWhenThePointerRestsOnAButton) {
    TestFrame* frame = OpenNew();
    CToolBar& bar = frame->m_toolbar;
    CRect r;
    bar.GetItemRect(0, &r);
    HWND before = TipBelow(bar, r);
    tvtest::MouseMove(bar.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
    tvtest::Pump();
    EXPECT_EQ(TipBelow(bar, r), before); // not before the pointer rests
    tvtest::Advance(600);
    tvtest::Pump();
    HWND tip = TipBelow(bar, r);
    ASSERT_NE(tip, before);
    char16_t cls[64] = {};
    GetClassNameW(tip, cls, 64);
    EXPECT_EQ(std::u16string(cls), u"tooltips_class32");
    EXPECT_TRUE(IsWindowVisible(tip));
    EXPECT_EQ(tvtest::TextOf(tip), std::u16string(bar.GetToolTipText(0)));
    // Above the frame, outside the window manager's frames, and the frame keeps the keyboard.
    EXPECT_EQ(qtplatform::KeptAbove(tip), frame->m_hWnd);
    EXPECT_FALSE(qtplatform::IsFramedByWindowManager(tip));
    EXPECT_EQ(qtplatform::ActiveTopLevel(), frame->m_hWnd);
    // A press hides it.
    tvtest::MouseDown(bar.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
    tvtest::MouseUp(bar.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
    tvtest::Pump();
    EXPECT_FALSE(IsWindowVisible(tip));

    // So does the pointer going from the button straight to another window,
    // which the bar never hears of; the button is no longer hot.
    CRect client;
    bar.GetClientRect(&client);
    tvtest::MouseMove(bar.m_hWnd, client.right - 2, client.CenterPoint().y);
    tvtest::MouseMove(bar.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
    tvtest::Advance(600);
    tvtest::Pump();
    ASSERT_TRUE(IsWindowVisible(tip));
    CRect frameClient;
    frame->GetClientRect(&frameClient);
    POINT below{frameClient.CenterPoint().x, frameClient.CenterPoint().y};
    frame->ClientToScreen(&below);
    const HWND other = WindowFromPoint(below);
    ASSERT_NE(other, bar.m_hWnd);
    ScreenToClient(other, &below);
    tvtest::MouseMove(other, below.x, below.y);
    tvtest::Advance(200);
    tvtest::Pump();
    EXPECT_FALSE(IsWindowVisible(tip));
    const qtplatform::Image after = tvtest::Capture(bar.m_hWnd);
    tvtest::MouseMove(bar.m_hWnd, client.right - 2, client.CenterPoint().y);
    EXPECT_TRUE(after.pixels == tvtest::Capture(bar.m_hWnd).pixels) << "the button was still drawn hot";
}

} // namespace
