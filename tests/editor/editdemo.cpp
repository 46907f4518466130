// editdemo [--shot FILE]: the editor window over a seeded 10,000-line SQL
// script with keyword colouring, marks, line numbers, ruler, links, drag and
// bracket matching. With --shot it runs a script of typing, selection, undo,
// redo, a box paste, an IME commit, a drag move and a drop onto the
// selection offscreen, checks the text and the pixels of computed cells, and
// writes a PNG showing a box selection and an IME preedit at the caret.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "display/display.h"
#include "editor/editctrl.h"
#include "editor/sqltoken.h"
#include "testing/driver.h"
#include "win32/backend.h"
#include "win32/ime.h"

namespace {

// A small deterministic generator for the seeded text.
struct Lcg {
    uint32_t s;
    uint32_t Next() {
        s = s * 1664525u + 1013904223u;
        return s >> 8;
    }
};

std::u16string SeededSql(int lines) {
    static const char16_t* const kTables[] = {u"emp", u"dept", u"売上", u"顧客"};
    static const char16_t* const kCols[] = {u"empno", u"ename", u"sal", u"名前", u"住所"};
    Lcg r{12345};
    std::u16string s;
    for (int i = 0; i < lines; i++) {
        switch (r.Next() % 8) {
        case 0: s += u"-- 集計 " + std::u16string(kTables[r.Next() % 4]); break;
        case 1: s += u"/* 複数行の"; break;
        case 2: s += u"   コメント */ select 1 from dual"; break;
        case 3:
            s += u"\tselect " + std::u16string(kCols[r.Next() % 5]) + u", count(*) from " +
                 kTables[r.Next() % 4];
            break;
        case 4: s += u"where ename = '山田　太郎' and sal > 1000"; break;
        case 5: s += u"-- 参照 http://example.jp/docs (manual)"; break;
        case 6: s += u"  and upper(ename) like 'A%'　-- 全角空白"; break;
        default: s += u"order by " + std::u16string(kCols[r.Next() % 5]) + u" desc;"; break;
        }
        if (i + 1 < lines) s += u"\r\n";
    }
    return s;
}

LRESULT FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

uint32_t Argb(COLORREF c) {
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

int g_failures = 0;
void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "editdemo: %s\n", what);
        g_failures++;
    }
}

std::u16string LineText(CEditData& d, int line) {
    return d.GetLineText(line);
}

// Whether any pixel of the cell has the colour.
bool CellHas(const qtplatform::Image& img, int x0, int y0, int w, int h, uint32_t argb) {
    for (int y = y0; y < y0 + h && y < img.height; y++)
        for (int x = x0; x < x0 + w && x < img.width; x++)
            if (x >= 0 && y >= 0 && img.At(x, y) == argb) return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    std::string shot;
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "--shot")) shot = argv[++i];
    if (!shot.empty()) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_FONT_DPI", "96", 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
    qtplatform::Init(&argc, argv);
    if (!shot.empty()) win32bk::UseFakeClock(true);

    theSqlStrToken.initSqlSyntax();
    std::filesystem::path exe = std::filesystem::canonical("/proc/self/exe").parent_path();
    std::filesystem::path kw = exe.parent_path() / "bin" / "data" / "keywords.txt";
    if (!std::filesystem::exists(kw))
        kw = std::filesystem::path(TAVRELIX_SOURCE_DIR) / "data" / "keywords.txt";
    CString msg;
    std::u16string kwPath = kw.u16string();
    theSqlStrToken.initDefaultKeyword(kwPath.c_str(), &msg);

    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.lpszClassName = u"EditDemoFrame";
    RegisterClassW(&wc);
    HWND frame = CreateWindowExW(0, u"EditDemoFrame", u"editdemo", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 900, 560, nullptr, nullptr, nullptr, nullptr);
    CEditData data;
    data.m_token = &theSqlStrToken;
    data.InsertText(SeededSql(10000).c_str());
    data.SetCaret(0, 0);
    data.ClearUndo();
    data.MarkSaved();
    CEditCtrl edit;
    edit.SetData(&data);
    const uint64_t options = 0x1 | 0x2 | 0x10 | 0x20 | 0x40 | 0x200 | 0x400 | 0x2000 | 0x2000000 | 0x40000;
    edit.SetOptions(options);
    RECT rc{0, 0, 880, 520};
    if (!edit.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, rc, CWnd::FromHandle(frame), 1))
        return 1;
    edit.Relayout(0, 1);
    ::SetFocus(edit.m_hWnd);
    if (shot.empty()) return qtplatform::Run();

    tvtest::Pump();
    HWND host = frame;
    // The script: type at the top, select, undo and redo.
    data.SetCaret(0, 0);
    edit.UpdateCaret(1, 0, 0);
    tvtest::Type(host, u"select ename from emp;");
    tvtest::Key(host, qtplatform::Key_Return);
    tvtest::Pump();
    Check(LineText(data, 0) == u"select ename from emp;", "typed line");
    tvtest::Key(host, qtplatform::Key_Up);
    tvtest::Key(host, qtplatform::Key_End, static_cast<unsigned>(qtplatform::Mods::Shift));
    tvtest::Pump();
    Check(edit.HasSelection() != 0, "shift+end selects");
    tvtest::Type(host, u"x");
    tvtest::Pump();
    Check(LineText(data, 0) == u"x", "typing replaces the selection");
    edit.Undo();
    Check(LineText(data, 0) == u"select ename from emp;", "undo");
    edit.Redo();
    Check(LineText(data, 0) == u"x", "redo");
    edit.Undo();
    // A box copied from lines 1-3 and pasted as a box at the start of line 0.
    data.m_disp.m_boxMode = 1;
    edit.SelectRange(EditPos{0, 1}, EditPos{3, 3}, 1);
    edit.Copy();
    edit.ClearSelection(1);
    data.SetCaret(0, 0);
    std::u16string before1 = LineText(data, 1);
    edit.Paste();
    Check(LineText(data, 1).size() == before1.size() + 3, "box paste widened line 1");
    // An IME commit after a preedit.
    data.SetCaret(0, 0);
    edit.UpdateCaret(1, 0, 0);
    tvtest::ImePreedit(edit.m_hWnd, u"にほんご");
    tvtest::ImeCommit(edit.m_hWnd, u"日本語");
    Check(LineText(data, 0).substr(0, 3) == u"日本語", "IME commit");
    // Drag "日本語" to the end of line 0 (a move), then drop a selection onto itself.
    edit.SelectRange(EditPos{0, 0}, EditPos{3, 0}, 0);
    CPoint from = edit.PosToPoint(EditPos{1, 0});
    int endCol = data.GetLineLength(0);
    CPoint to = edit.PosToPoint(EditPos{endCol, 0});
    tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                        {win32bk::DragStep::Move, edit.m_hWnd, {to.x + 2, to.y + 3}, 0},
                        {win32bk::DragStep::Drop, edit.m_hWnd, {to.x + 2, to.y + 3}, 0}});
    edit.StartDrag(from);
    std::u16string l0 = LineText(data, 0);
    Check(l0.size() >= 3 && l0.substr(l0.size() - 3) == u"日本語", "drag move");
    std::u16string beforeSelf = l0;
    edit.SelectRange(EditPos{0, 0}, EditPos{4, 0}, 0);
    CPoint in = edit.PosToPoint(EditPos{2, 0});
    tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                        {win32bk::DragStep::Drop, edit.m_hWnd, {in.x + 2, in.y + 3}, 0}});
    edit.StartDrag(in);
    Check(LineText(data, 0) == beforeSelf, "self drop keeps the text");

    // The final view: a three-line box selection and a preedit at the caret.
    data.m_disp.m_boxMode = 1;
    edit.SelectRange(EditPos{2, 4}, EditPos{8, 6}, 1);
    data.SetCaret(8, 9);
    edit.UpdateCaret(1, 0, 0);
    tvtest::ImePreedit(edit.m_hWnd, u"へんかん");
    tvtest::Pump();
    qtplatform::Image img = tvtest::Capture(frame);

    // Pixels at computed cells (the editor sits at the frame's client origin).
    // The capture starts inside the caption and borders the window manager draws.
    RECT wr;
    GetWindowRect(frame, &wr);
    RECT frameInset{0, 0, 0, 0};
    AdjustWindowRectEx(&frameInset, DWORD(GetWindowLongW(frame, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongW(frame, GWL_EXSTYLE)));
    POINT org{0, 0};
    ClientToScreen(frame, &org);
    int ox = org.x - wr.left + frameInset.left, oy = org.y - wr.top + frameInset.top;
    const COLORREF* c = data.m_disp.m_colors;
    int rowH = edit.m_rowPitch, cw = edit.m_charWidth;
    auto cell = [&](int col, int line) {
        CPoint p = edit.PosToPoint(EditPos{col, line});
        return POINT{p.x + ox, p.y + oy};
    };
    POINT kwCell = cell(0, 1);
    Check(CellHas(img, kwCell.x, kwCell.y, cw * 6, rowH, Argb(c[1])) ||
              CellHas(img, cell(3, 1).x, kwCell.y, cw * 6, rowH, Argb(c[1])),
          "keyword colour");
    // A comment line and a string further down.
    int commentLine = -1, stringLine = -1;
    for (int i = 1; i < 20; i++) {
        std::u16string t = LineText(data, i);
        if (commentLine < 0 && t.rfind(u"-- ", 0) == 0) commentLine = i;
        if (stringLine < 0 && t.find(u"'") != std::u16string::npos && i != 4 && i != 5 && i != 6)
            stringLine = i;
    }
    if (commentLine > 0) {
        POINT p = cell(0, commentLine);
        Check(CellHas(img, p.x, p.y, cw * 8, rowH, Argb(c[2])), "comment colour");
    }
    if (stringLine > 0) {
        int q = static_cast<int>(LineText(data, stringLine).find(u"'"));
        POINT p = cell(q, stringLine);
        Check(CellHas(img, p.x, p.y, cw * 3, rowH, Argb(c[5])), "string colour");
    }
    POINT num = cell(0, 2);
    Check(CellHas(img, ox + 1, num.y, edit.m_leftMargin - 2, rowH, Argb(c[8])), "line number colour");
    POINT box = cell(3, 5);
    Check(CellHas(img, box.x, box.y, cw, rowH, Argb(c[7])), "box selection");
    POINT ime = tvtest::ImeCompositionPoint(edit.m_hWnd);
    Check(CellHas(img, ime.x + ox, ime.y + oy, cw * 8, rowH + 4, 0xFF000000u), "preedit underline");
    if (!qtplatform::SavePng(img, shot)) {
        std::fprintf(stderr, "cannot write %s\n", shot.c_str());
        return 1;
    }
    std::printf("%s: %d failures\n", shot.c_str(), g_failures);
    tvtest::ImeCancel(edit.m_hWnd);
    edit.DestroyWindow();
    DestroyWindow(frame);
    return g_failures ? 1 : 0;
}
