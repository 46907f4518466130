// The platform pieces of text editing: clipboard formats, the input method,
// OLE drags, glyph outlines and the shell.
#include <afxole.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "fixture.h"
#include "win32/ime.h"

namespace {

std::vector<uint8_t> Bytes(const std::u16string& t) {
    std::vector<uint8_t> b((t.size() + 1) * 2, 0);
    std::memcpy(b.data(), t.data(), t.size() * 2);
    return b;
}

HGLOBAL Block(const std::vector<uint8_t>& b) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, b.size());
    std::memcpy(GlobalLock(h), b.data(), b.size());
    GlobalUnlock(h);
    return h;
}

std::vector<uint8_t> Read(UINT format) {
    std::vector<uint8_t> out;
    if (!OpenClipboard(nullptr)) return out;
    if (HANDLE h = GetClipboardData(format)) {
        auto* p = static_cast<const uint8_t*>(GlobalLock(h));
        out.assign(p, p + GlobalSize(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return out;
}

// A drop target that records what it saw.
struct Target : COleDropTarget {
    int entered = 0, dropped = 0;
    DROPEFFECT OnDragEnter(CWnd*, COleDataObject*, DWORD keys, CPoint) override {
        entered++;
        return keys & MK_CONTROL ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
    }
    DROPEFFECT OnDragOver(CWnd*, COleDataObject*, DWORD keys, CPoint) override {
        return keys & MK_CONTROL ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
    }
    BOOL OnDrop(CWnd*, COleDataObject* data, DROPEFFECT, CPoint) override {
        dropped += data->IsDataAvailable(CF_UNICODETEXT) ? 1 : 0;
        return TRUE;
    }
};

} // namespace

TEST_F(WindowTest, ClipboardFormatsRoundTrip) {
    UINT a = RegisterClipboardFormatW(u"Tavrelix_Test_Format");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatW(u"TAVRELIX_test_format"), a);
    HWND w = Make();
    ASSERT_TRUE(OpenClipboard(w));
    EXPECT_FALSE(OpenClipboard(nullptr)); // held by w
    ASSERT_TRUE(EmptyClipboard());
    std::vector<uint8_t> raw = {1, 2, 3, 0, 5};
    ASSERT_NE(SetClipboardData(CF_UNICODETEXT, Block(Bytes(u"日本語"))), nullptr);
    ASSERT_NE(SetClipboardData(a, Block(raw)), nullptr);
    ASSERT_TRUE(CloseClipboard());
    EXPECT_EQ(Read(CF_UNICODETEXT), Bytes(u"日本語"));
    EXPECT_EQ(Read(a), raw);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT)); // nothing is synthesised
    // SetClipboardData needs an open, emptied clipboard.
    HGLOBAL h = Block(raw);
    EXPECT_EQ(SetClipboardData(a, h), nullptr);
    GlobalFree(h);
}

TEST_F(WindowTest, ImeCommitAfterPreeditSendsTheCompositionMessages) {
    HWND w = Make();
    SetFocus(w);
    tvtest::Pump();
    Log().clear();
    tvtest::ImePreedit(w, u"にほん");
    EXPECT_TRUE(ImmGetOpenStatus(ImmGetContext(w)));
    char16_t buf[16] = {};
    LONG n = ImmGetCompositionStringW(ImmGetContext(w), GCS_COMPSTR, buf, sizeof buf);
    EXPECT_EQ(std::u16string(buf, static_cast<size_t>(n / 2)), u"にほん");
    tvtest::ImeCommit(w, u"日本語");
    auto seq = Messages(
        w, {WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION, WM_IME_CHAR, WM_IME_ENDCOMPOSITION, WM_CHAR});
    std::vector<UINT> want = {WM_IME_STARTCOMPOSITION,
                              WM_IME_COMPOSITION,
                              WM_IME_COMPOSITION,
                              WM_IME_CHAR,
                              WM_CHAR,
                              WM_IME_CHAR,
                              WM_CHAR,
                              WM_IME_CHAR,
                              WM_CHAR,
                              WM_IME_ENDCOMPOSITION};
    EXPECT_EQ(seq, want);
    EXPECT_EQ(Of(WM_IME_CHAR).size(), 3u);
    Log().clear();
    tvtest::ImeCommit(w, u"あい"); // without a preedit: characters only
    EXPECT_EQ(Messages(w, {WM_IME_STARTCOMPOSITION, WM_IME_CHAR, WM_CHAR}),
              (std::vector<UINT>{WM_CHAR, WM_CHAR}));
}

TEST_F(WindowTest, CompleteCommitsThePreeditOnce) {
    HWND w = Make();
    SetFocus(w);
    tvtest::ImePreedit(w, u"か");
    Log().clear();
    EXPECT_TRUE(ImmNotifyIME(ImmGetContext(w), NI_COMPOSITIONSTR, CPS_COMPLETE, 0));
    tvtest::ImeCommit(w, u""); // the input method was reset: nothing more arrives
    tvtest::Pump();
    EXPECT_EQ(Of(WM_CHAR).size(), 1u);
    EXPECT_FALSE(ImmGetOpenStatus(ImmGetContext(w)));
    tvtest::ImeSetOpen(w, true);
    EXPECT_TRUE(ImmGetOpenStatus(ImmGetContext(w)));
    EXPECT_EQ(Of(WM_IME_NOTIFY).size(), 1u);
}

TEST_F(WindowTest, CompositionWindowAndFontAreReadBack) {
    HWND w = Make();
    COMPOSITIONFORM cf{CFS_POINT, {30, 40}, {}};
    ImmSetCompositionWindow(ImmGetContext(w), &cf);
    POINT p = tvtest::ImeCompositionPoint(w);
    EXPECT_EQ(p.x, 30);
    EXPECT_EQ(p.y, 40);
    LOGFONTW lf{};
    lf.lfHeight = -20;
    ImmSetCompositionFontW(ImmGetContext(w), &lf);
    LOGFONTW back{};
    ASSERT_TRUE(tvtest::ImeCompositionFont(w, &back));
    EXPECT_EQ(back.lfHeight, -20);
}

TEST_F(WindowTest, DoDragDropReleasedInStartMovesOrCopies) {
    HWND src = Make();
    HWND dst = Make();
    CWnd* target = CWnd::FromHandle(dst);
    Target t;
    ASSERT_TRUE(t.Register(target));
    {
        COleDataSource s;
        s.CacheGlobalData(CF_UNICODETEXT, Block(Bytes(u"x")));
        tvtest::DragScript({{win32bk::DragStep::ReleaseInStart, nullptr, {}, 0}});
        EXPECT_EQ(s.DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DROPEFFECT>(DROPEFFECT_NONE));
        EXPECT_EQ(t.entered, 0);
    }
    {
        COleDataSource s;
        s.CacheGlobalData(CF_UNICODETEXT, Block(Bytes(u"x")));
        tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                            {win32bk::DragStep::Move, dst, {5, 5}, 0},
                            {win32bk::DragStep::Drop, dst, {5, 5}, 0}});
        EXPECT_EQ(s.DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DROPEFFECT>(DROPEFFECT_MOVE));
        EXPECT_EQ(t.dropped, 1);
    }
    {
        COleDataSource s;
        s.CacheGlobalData(CF_UNICODETEXT, Block(Bytes(u"x")));
        tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                            {win32bk::DragStep::Drop, dst, {5, 5}, MK_CONTROL}});
        EXPECT_EQ(s.DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DROPEFFECT>(DROPEFFECT_COPY));
    }
    t.Revoke();
    (void)src;
}

TEST_F(WindowTest, GlyphOutlineCoverageMatchesTheDrawnInk) {
    HWND w = Make();
    HDC dc = GetDC(w);
    LOGFONTW lf{};
    lf.lfHeight = -24;
    HFONT f = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, f);
    MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS gm{};
    DWORD size = GetGlyphOutlineW(dc, u'A', GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity);
    ASSERT_NE(size, GDI_ERROR);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> buf(size);
    ASSERT_NE(GetGlyphOutlineW(dc, u'A', GGO_GRAY8_BITMAP, &gm, size, buf.data(), &identity), GDI_ERROR);
    int pitch = (static_cast<int>(gm.gmBlackBoxX) + 3) & ~3;
    EXPECT_EQ(size, static_cast<DWORD>(pitch) * gm.gmBlackBoxY);
    int maxv = 0, zeros = 0;
    for (uint8_t v : buf) {
        maxv = std::max<int>(maxv, v);
        zeros += v == 0;
    }
    EXPECT_EQ(maxv, 64);
    EXPECT_GT(zeros, 0);
    EXPECT_GT(gm.gmCellIncX, 0);
    // The ink ExtTextOutW puts down lies in the black box (within a pixel).
    RECT r{0, 0, 60, 40};
    HBRUSH white = CreateSolidBrush(0xFFFFFF);
    FillRect(dc, &r, white);
    DeleteObject(white);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    ExtTextOutW(dc, 10, 5, 0, nullptr, u"A", 1, nullptr);
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 60; x++)
            if ((GetPixel(dc, x, y) & 0xFFFFFF) != 0xFFFFFF) {
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
    int boxLeft = 10 + gm.gmptGlyphOrigin.x, boxTop = 5 + tm.tmAscent - gm.gmptGlyphOrigin.y;
    EXPECT_NEAR(minX, boxLeft, 1);
    EXPECT_NEAR(minY, boxTop, 1);
    EXPECT_NEAR(maxX, boxLeft + static_cast<int>(gm.gmBlackBoxX) - 1, 1);
    EXPECT_NEAR(maxY, boxTop + static_cast<int>(gm.gmBlackBoxY) - 1, 1);
    SelectObject(dc, old);
    DeleteObject(f);
    ReleaseDC(w, dc);
}

TEST_F(WindowTest, ShellExecuteOpensOnlyUrlsAndExistingFiles) {
    tvtest::RecordShell(true);
    auto code = [](HINSTANCE h) { return reinterpret_cast<intptr_t>(h); };
    EXPECT_EQ(code(ShellExecuteW(nullptr, nullptr, u"www.x.bat", nullptr, nullptr, SW_SHOWNORMAL)), 2);
    EXPECT_EQ(code(ShellExecuteW(nullptr, nullptr, u"credits.txt", nullptr, nullptr, SW_SHOWNORMAL)), 2);
    EXPECT_EQ(code(ShellExecuteW(nullptr, u"print", u"http://a.jp", nullptr, nullptr, SW_SHOWNORMAL)), 2);
    EXPECT_GT(code(ShellExecuteW(nullptr, u"open", u"https://a.jp/x", nullptr, nullptr, SW_SHOWNORMAL)), 32);
    std::filesystem::path p = std::filesystem::temp_directory_path() / "tavrelix_shell_test.txt";
    std::ofstream(p) << "x";
    std::u16string file = p.u16string();
    EXPECT_GT(code(ShellExecuteW(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL)), 32);
    std::filesystem::remove(p);
    ASSERT_EQ(tvtest::ShellCalls().size(), 2u);
    EXPECT_EQ(tvtest::ShellCalls()[0].file, u"https://a.jp/x");
    EXPECT_EQ(tvtest::ShellCalls()[1].file, file);
    tvtest::RecordShell(false);
}

TEST_F(WindowTest, ResourceExceptionIsACException) {
    try {
        AfxThrowResourceException();
    } catch (CException* e) {
        EXPECT_NE(dynamic_cast<CResourceException*>(e), nullptr);
        e->Delete();
    }
    SetCaretBlinkTime(86400000);
    EXPECT_EQ(GetCaretBlinkTime(), 86400000u);
}
