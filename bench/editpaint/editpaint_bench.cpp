// The editor window's keystroke and repaint costs at 1,000 and 1,000,000
// lines against QPlainTextEdit, offscreen, 1920 x 1080, default font, options
// 0x20 | 0x40 | 0x400 and the keyword file. A timed program: one run.
// A keystroke is the key and the paint of what it invalidated, on both
// sides (ours through the window's own paint, QPlainTextEdit through Qt's
// update region); both must have painted after every key and hold the same
// text after the keys. The repaint paints the whole view on both sides.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/editpaint_reference.h"
#include "editor/editctrl.h"
#include "editor/sqltoken.h"
#include "testing/driver.h"
#include "win32/backend.h"
#include "bench/common/bench_summary.h"

namespace {

using Clock = std::chrono::steady_clock;

double Us(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// About 80 units a line: comments, strings, Japanese; one line is the widest.
std::u16string Sql(int lines) {
    static const char16_t* const kLines[] = {
        u"select empno, ename, job, mgr, hiredate, sal, comm, deptno from emp where deptno = 10",
        u"  and ename like '山田%' -- 社員名で絞り込む条件をここに書きます、長めのコメントです。",
        u"/* 集計のための一時的なコメントで、次の行まで続きます。ここでは閉じません */ order by 1",
        u"update dept set loc = '東京都千代田区' where deptno in (select deptno from emp);",
    };
    std::u16string s;
    for (int i = 0; i < lines; i++) {
        s += kLines[i % 4];
        if (i == lines / 4) s += u" -- the widest line of the text, longer than every other one";
        if (i + 1 < lines) s += u"\r\n";
    }
    return s;
}

LRESULT FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The editor window's procedure, wrapped: its paints counted.
WNDPROC g_editProc = nullptr;
long g_paints = 0;
LRESULT CALLBACK CountingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) ++g_paints;
    return ::CallWindowProcW(g_editProc, h, msg, wp, lp);
}

// What the keys left: the text's lines joined by LF (the digest), and
// whether every key was followed by a paint.
std::string KeysResult(const BenchDigest& text, bool everyKeyPainted) {
    return text.Text() + (everyKeyPainted ? "" : ", a key painted nothing");
}

// The keystrokes go to 30 visible middle lines in turn, 34 to each, so no
// typed line grows past the widest one (typing there is measured apart).
constexpr int kKeys = 1000, kKeysPerLine = 34;
int KeyLine(int lines, int key) {
    return lines / 2 + 1 + key / kKeysPerLine;
}

struct Figures {
    double key, repaint, enter, widest, selection, create;
    std::string keys; // KeysResult
};

// keysOnly: only the keystrokes (for profiling one size).
Figures RunOurs(int lines, std::u16string* face, bool keysOnly = false) {
    HWND frame = CreateWindowExW(0, u"EditPaintFrame", u"bench", WS_POPUP | WS_VISIBLE, 0, 0, 1920, 1080,
                                 nullptr, nullptr, nullptr, nullptr);
    auto data = std::make_unique<CEditData>();
    data->m_token = &theSqlStrToken;
    data->InsertText(Sql(lines).c_str());
    data->ClearUndo();
    Figures f{};
    auto t0 = Clock::now();
    CEditCtrl edit;
    edit.SetData(data.get());
    edit.SetOptions(0x20 | 0x40 | 0x400);
    edit.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, RECT{0, 0, 1920, 1080},
                CWnd::FromHandle(frame), 1);
    ::UpdateWindow(edit.m_hWnd);
    f.create = Us(Clock::now() - t0);
    ::SetFocus(edit.m_hWnd);
    int mid = lines / 2 + 1; // not the widest line
    edit.SetScrollPosition(SB_VERT, lines / 2 - 20);
    edit.MoveCaretTo(mid, 10);
    win32bk::PumpPending();
    HDC dc = ::GetDC(edit.m_hWnd);
    ::SelectObject(dc, edit.m_fonts[0].m_hObject);
    char16_t name[64] = {};
    GetTextFaceW(dc, 64, name);
    ::ReleaseDC(edit.m_hWnd, dc);
    *face = name;
    std::vector<double> v;
    g_editProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(edit.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    bool everyKeyPainted = true;
    for (int i = 0; i < kKeys; i++) {
        if (i % kKeysPerLine == 0) {
            edit.MoveCaretTo(KeyLine(lines, i), 10);
            win32bk::PumpPending();
        }
        long paints = g_paints;
        auto a = Clock::now();
        qtplatform::SendKey(frame, 'X', 0, u"x", true);
        qtplatform::SendKey(frame, 'X', 0, u"", false);
        win32bk::PumpPending();
        v.push_back(Us(Clock::now() - a));
        everyKeyPainted &= g_paints > paints;
    }
    ::SetWindowLongPtrW(edit.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editProc));
    f.key = Median(v);
    BenchDigest text;
    for (int i = 0; i < data->GetLineCount(); i++) {
        if (i) text.Add(std::u16string_view(u"\n"));
        text.Add(std::u16string_view(data->GetLineText(i)));
    }
    f.keys = KeysResult(text, everyKeyPainted);
    // The typed lines never became the widest (that is another figure).
    if (data->m_widestLine != data->GetLine(lines / 4)) std::printf("a typed line became the widest\n");
    v.clear();
    for (int i = 0; i < 50 && !keysOnly; i++) {
        auto a = Clock::now();
        ::InvalidateRect(edit.m_hWnd, nullptr, FALSE);
        ::UpdateWindow(edit.m_hWnd);
        v.push_back(Us(Clock::now() - a));
    }
    f.repaint = Median(v);
    v.clear();
    if (keysOnly) {
        edit.DestroyWindow();
        DestroyWindow(frame);
        win32bk::PumpPending();
        return f;
    }
    for (int i = 0; i < 20; i++) {
        auto a = Clock::now();
        qtplatform::SendKey(frame, 0x01000004, 0, u"\r", true);
        qtplatform::SendKey(frame, 0x01000004, 0, u"", false);
        win32bk::PumpPending();
        v.push_back(Us(Clock::now() - a));
    }
    f.enter = Median(v);
    v.clear();
    edit.MoveCaretTo(lines / 4, 5);
    win32bk::PumpPending();
    for (int i = 0; i < 50; i++) {
        auto a = Clock::now();
        qtplatform::SendKey(frame, 'X', 0, u"x", true);
        qtplatform::SendKey(frame, 'X', 0, u"", false);
        win32bk::PumpPending();
        v.push_back(Us(Clock::now() - a));
    }
    f.widest = Median(v);
    v.clear();
    edit.SelectRange(EditPos{0, mid - 5}, EditPos{20, mid + 5}, 0);
    edit.SetSearchHighlight(u"emp", 0, 0, 0);
    edit.SetOptions(0x20 | 0x40 | 0x400 | 0x8000000);
    for (int i = 0; i < 20; i++) {
        auto a = Clock::now();
        ::InvalidateRect(edit.m_hWnd, nullptr, FALSE);
        ::UpdateWindow(edit.m_hWnd);
        v.push_back(Us(Clock::now() - a));
    }
    f.selection = Median(v);
    edit.DestroyWindow();
    DestroyWindow(frame);
    win32bk::PumpPending();
    return f;
}

Figures RunReference(int lines, const std::u16string& face, int tabStop) {
    std::vector<std::u16string> keywords;
    for (int i = 0; i < theSqlStrToken.m_keywordCount; i++)
        if (theSqlStrToken.m_keywords[i].display) keywords.emplace_back(theSqlStrToken.m_keywords[i].display);
    qtplatform::EditPaintReference* r = qtplatform::EditPaintCreate(Sql(lines), keywords, face.c_str(), 18,
                                                                    tabStop, 1920, 1080, lines / 2 - 20);
    Figures f{};
    std::vector<double> v;
    bool everyKeyPainted = true;
    for (int i = 0; i < kKeys; i++) {
        if (i % kKeysPerLine == 0) qtplatform::EditPaintSetCursor(r, KeyLine(lines, i), 10);
        long paints = qtplatform::EditPaintPaints(r);
        auto a = Clock::now();
        qtplatform::EditPaintKey(r, u'x');
        v.push_back(Us(Clock::now() - a));
        everyKeyPainted &= qtplatform::EditPaintPaints(r) > paints;
    }
    f.key = Median(v);
    BenchDigest text;
    text.Add(qtplatform::EditPaintText(r));
    f.keys = KeysResult(text, everyKeyPainted);
    v.clear();
    for (int i = 0; i < 50; i++) {
        auto a = Clock::now();
        qtplatform::EditPaintRepaint(r);
        v.push_back(Us(Clock::now() - a));
    }
    f.repaint = Median(v);
    qtplatform::EditPaintDestroy(r);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_FONT_DPI", "96", 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
    qtplatform::Init(&argc, argv);
    theSqlStrToken.initSqlSyntax();
    std::filesystem::path kw = std::filesystem::path(TAVRELIX_SOURCE_DIR) / "data" / "keywords.txt";
    std::u16string path = kw.u16string();
    CString msg;
    theSqlStrToken.initDefaultKeyword(path.c_str(), &msg);
    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.lpszClassName = u"EditPaintFrame";
    RegisterClassW(&wc);
    std::printf("%-10s %12s %12s %12s %12s %14s %12s | %12s %12s\n", "lines", "key us", "repaint us",
                "enter us", "widest us", "sel+smooth us", "create us", "ref key us", "ref paint us");
    // --keys N: only our keystrokes at N lines (a profiling run).
    if (argc == 3 && std::string(argv[1]) == "--keys") {
        int lines = std::atoi(argv[2]);
        std::u16string face;
        Figures ours = RunOurs(lines, &face, true);
        std::printf("%-10d %12.1f\n", lines, ours.key);
        return 0;
    }
    bool failed = false;
    for (int lines : {1000, 1000000}) {

        std::u16string face;
        Figures ours = RunOurs(lines, &face);
        Figures ref = RunReference(lines, face, 4 * 9);
        std::printf("%-10d %12.1f %12.1f %12.1f %12.1f %14.1f %12.1f | %12.1f %12.1f\n", lines, ours.key,
                    ours.repaint, ours.enter, ours.widest, ours.selection, ours.create, ref.key, ref.repaint);
        std::fflush(stdout);
        // Held to QPlainTextEdit: no slower at either size.
        std::string at = " at " + std::to_string(lines) + " lines, against QPlainTextEdit";
        BenchSummary("editor keystroke, painting what it invalidated," + at, ours.key, ref.key, "us", 1,
                     {ours.keys, ref.keys});
        BenchSummary("editor repaint of the whole view" + at, ours.repaint, ref.repaint, "us", 1,
                     BenchNotComparable());
        failed |= ours.keys != ref.keys;
    }
    return failed ? 1 : 0;
}
