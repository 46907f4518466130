// Standard controls and the list view, from the notifications their parent records.
#include <algorithm>

#include <gtest/gtest.h>

#include <set>

#include <afxwin.h>

#include "testing/dialogs.h"
#include "testing/driver.h"
#include "testing/framework.h"

namespace {

struct Note {
    UINT msg;
    int id;
    UINT code;
    int item, sub;
    UINT oldState, newState;
    std::u16string text; // a combo's edit text when it notified
};

std::vector<Note>& Notes() {
    static std::vector<Note> v;
    return v;
}

LRESULT ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && lParam) {
        // A combo's selection and edit text as its handler sees them.
        HWND ctl = reinterpret_cast<HWND>(lParam);
        HWND edit = GetDlgItem(ctl, 1001);
        int sel = int(SendMessageW(ctl, CB_GETCURSEL, 0, 0));
        Notes().push_back(
            {msg, LOWORD(wParam), HIWORD(wParam), sel, 0, 0, 0, edit ? tvtest::TextOf(edit) : u""});
    }
    if (msg == WM_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr->code == UDN_DELTAPOS) {
            auto* ud = reinterpret_cast<NMUPDOWN*>(lParam);
            Notes().push_back({msg, int(hdr->idFrom), hdr->code, ud->iPos, ud->iDelta, 0, 0, u""});
            return 0;
        }
        auto* nm = reinterpret_cast<NMLISTVIEW*>(lParam);
        Notes().push_back({msg, int(nm->hdr.idFrom), nm->hdr.code, nm->iItem, nm->iSubItem, nm->uOldState,
                           nm->uNewState, u""});
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        static bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = ParentProc;
            wc.lpszClassName = u"ControlsParent";
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            return RegisterClassW(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        parent_ = CreateWindowExW(0, u"ControlsParent", u"p", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 500, 400,
                                  nullptr, nullptr, nullptr, nullptr);
        Notes().clear();
    }
    void TearDown() override {
        DestroyWindow(parent_);
        tvtest::Pump();
    }
    HWND Child(LPCWSTR cls, DWORD style, int id, int w = 200, int h = 24) {
        return CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, 10, 10, w, h, parent_,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    }
    std::vector<Note> Of(UINT code) const {
        std::vector<Note> out;
        for (const Note& n : Notes())
            if (n.code == code) out.push_back(n);
        return out;
    }
    HWND parent_ = nullptr;
};

TEST_F(ControlsTest, EditNotifiesEveryChangeAndCountsUnits) {
    HWND edit = Child(u"Edit", WS_BORDER | ES_AUTOHSCROLL, 7);
    SetWindowTextW(edit, u"社員番号");
    EXPECT_EQ(Of(EN_CHANGE).size(), 1u);
    EXPECT_EQ(tvtest::TextOf(edit), u"社員番号");
    SetWindowTextW(edit, u"a𠮷b");
    EXPECT_EQ(GetWindowTextLengthW(edit), 4); // UTF-16 units
    SendMessageW(edit, EM_SETSEL, 1, 3);
    DWORD a = 0, b = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 3u);
    Notes().clear();
    SendMessageW(edit, WM_CLEAR, 0, 0);
    EXPECT_EQ(tvtest::TextOf(edit), u"ab");
    EXPECT_EQ(Of(EN_CHANGE).size(), 1u);
    // Typed text through the window procedure, one EN_CHANGE per character.
    Notes().clear();
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 2, 2);
    tvtest::Type(edit, u"日本");
    tvtest::Pump();
    EXPECT_EQ(tvtest::TextOf(edit), u"ab日本");
    EXPECT_EQ(Of(EN_CHANGE).size(), 2u);
    // Read-only and numbers only.
    SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
    tvtest::Type(edit, u"x");
    tvtest::Pump();
    EXPECT_EQ(tvtest::TextOf(edit), u"ab日本");
    HWND number = Child(u"Edit", ES_NUMBER, 8);
    SetFocus(number);
    tvtest::Type(number, u"1a2");
    tvtest::Pump();
    EXPECT_EQ(tvtest::TextOf(number), u"12");
    SendMessageW(number, EM_LIMITTEXT, 3, 0);
    tvtest::Type(number, u"345");
    tvtest::Pump();
    EXPECT_EQ(tvtest::TextOf(number), u"123");
}

TEST_F(ControlsTest, PastesTextAnotherProgramPutOnTheClipboard) {
    HWND edit = Child(u"Edit", WS_BORDER, 7);
    qtplatform::SetSystemClipboardText(u"貼り付け𠮷");
    tvtest::Pump();
    SendMessageW(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(tvtest::TextOf(edit), u"貼り付け𠮷");
    EXPECT_EQ(Of(EN_CHANGE).size(), 1u);
}

TEST_F(ControlsTest, MultiLineEditKeepsLinesAndMovesByThem) {
    HWND edit = Child(u"Edit", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN, 9, 200, 60);
    SetWindowTextW(edit, u"一行目\r\n二行目\r\n三");
    EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(edit, EM_LINEINDEX, 1, 0), 5);
    EXPECT_EQ(SendMessageW(edit, EM_LINEINDEX, 3, 0), -1);
    EXPECT_EQ(SendMessageW(edit, EM_LINELENGTH, 6, 0), 3);
    EXPECT_EQ(SendMessageW(edit, EM_LINEFROMCHAR, 10, 0), 2);
    char16_t line[8] = {7};
    EXPECT_EQ(SendMessageW(edit, EM_GETLINE, 1, reinterpret_cast<LPARAM>(line)), 3);
    EXPECT_EQ(std::u16string(line, 3), u"二行目");

    using namespace qtplatform;
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 1, 1);
    tvtest::Key(edit, Key_Down);
    tvtest::Key(edit, Key_End);
    DWORD a = 0, b = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(a, 8u); // the end of the second line
    Notes().clear();
    tvtest::Key(edit, Key_Return, 0, u"\r");
    tvtest::Pump();
    EXPECT_EQ(tvtest::TextOf(edit), u"一行目\r\n二行目\r\n\r\n三");
    EXPECT_EQ(Of(EN_CHANGE).size(), 1u);
    // A line end is one step for Backspace and Delete.
    tvtest::Key(edit, Key_Backspace, 0, u"\b");
    tvtest::Pump();
    EXPECT_EQ(tvtest::TextOf(edit), u"一行目\r\n二行目\r\n三");
    tvtest::Key(edit, Key_Delete);
    EXPECT_EQ(tvtest::TextOf(edit), u"一行目\r\n二行目三");
    tvtest::Key(edit, Key_Home);
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(a, 5u);

    // Many lines: the caret line is kept in view and the bar follows.
    std::u16string many;
    for (int i = 0; i < 30; ++i) many += u"行\r\n";
    SetWindowTextW(edit, many.c_str());
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    tvtest::Key(edit, Key_End, unsigned(Mods::Ctrl));
    LRESULT top = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_GT(top, 20);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(edit, SB_VERT, &si);
    EXPECT_EQ(si.nPos, top);
    EXPECT_EQ(si.nMax, 30);
    SendMessageW(edit, EM_LINESCROLL, 0, -100);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessageW(edit, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 1);
}

// Without ES_AUTOHSCROLL a multi-line edit wraps at its client width: after
// the last blank that fits, a run without blanks where it no longer fits; the
// rows follow a new width. With ES_AUTOHSCROLL only line ends break.
TEST_F(ControlsTest, MultiLineEditWrapsAtTheClientWidthUnlessItScrolls) {
    HWND wrap = Child(u"Edit", ES_MULTILINE, 40, 120, 150);
    HWND run = Child(u"Edit", ES_MULTILINE | ES_AUTOHSCROLL, 41, 120, 150);
    const std::u16string text = u"alpha beta gamma delta epsilon zeta\r\n社員番号社員番号社員番号社員番号";
    SetWindowTextW(wrap, text.c_str());
    SetWindowTextW(run, text.c_str());
    EXPECT_EQ(SendMessageW(run, EM_GETLINECOUNT, 0, 0), 2);
    const int rows = int(SendMessageW(wrap, EM_GETLINECOUNT, 0, 0));
    EXPECT_GE(rows, 4);
    const int japanese = int(SendMessageW(wrap, EM_LINEFROMCHAR, text.find(u'社'), 0));
    EXPECT_GE(japanese, 2);
    for (int row = 1; row < rows; ++row) {
        const int start = int(SendMessageW(wrap, EM_LINEINDEX, WPARAM(row), 0));
        if (row < japanese) {
            EXPECT_EQ(text[size_t(start - 1)], u' ') << "row " << row << " starts after a blank";
        }
        EXPECT_GT(SendMessageW(wrap, EM_LINELENGTH, WPARAM(start), 0), 0) << "row " << row;
    }
    // Drawn within the width: the right margin stays clear.
    qtplatform::Image shot = tvtest::Capture(wrap);
    ASSERT_EQ(shot.width, 120);
    const uint32_t paper = shot.At(shot.width - 1, shot.height - 1);
    int inked = 0;
    for (int y = 0; y < shot.height; ++y) {
        EXPECT_EQ(shot.At(shot.width - 1, y), paper) << "ink at the right edge, y " << y;
        for (int x = 0; x < shot.width; ++x) inked += shot.At(x, y) != paper;
    }
    EXPECT_GT(inked, 100);
    // Wider, fewer rows.
    SetWindowPos(wrap, nullptr, 0, 0, 480, 150, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SendMessageW(wrap, EM_GETLINECOUNT, 0, 0), 2);
}

std::u16string ClipboardText() {
    std::u16string out;
    if (!OpenClipboard(nullptr)) return out;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        out = static_cast<const char16_t*>(GlobalLock(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return out;
}

TEST_F(ControlsTest, CopyAndCutWriteTheSystemClipboardButNeverAPassword) {
    HWND edit = Child(u"Edit", WS_BORDER, 7);
    SetWindowTextW(edit, u"社員番号");
    SendMessageW(edit, EM_SETSEL, 0, 2);
    SendMessageW(edit, WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(), u"社員");
    SendMessageW(edit, EM_SETSEL, 2, 4);
    Notes().clear();
    SendMessageW(edit, WM_CUT, 0, 0);
    EXPECT_EQ(ClipboardText(), u"番号");
    EXPECT_EQ(tvtest::TextOf(edit), u"社員");
    EXPECT_EQ(Of(EN_CHANGE).size(), 1u);

    HWND password = Child(u"Edit", WS_BORDER | ES_PASSWORD, 8);
    SetWindowTextW(password, u"secret");
    SendMessageW(password, EM_SETSEL, 0, -1);
    SendMessageW(password, WM_COPY, 0, 0);
    SendMessageW(password, WM_CUT, 0, 0);
    EXPECT_EQ(ClipboardText(), u"番号");
    EXPECT_EQ(tvtest::TextOf(password), u"secret");
}

TEST_F(ControlsTest, ContextMenuOffersWhatTheEditCanDo) {
    HWND edit = Child(u"Edit", WS_BORDER, 7);
    SetWindowTextW(edit, u"社員番号");
    qtplatform::SetSystemClipboardText(u"氏名");
    tvtest::Pump();
    tvtest::ClearMenus();
    tvtest::AnswerMenu(WM_PASTE);
    SendMessageW(edit, EM_SETSEL, 0, 2);
    tvtest::Click(edit, 20, 10, 1); // the right button
    tvtest::Pump();
    ASSERT_EQ(tvtest::Menus().size(), 1u);
    const win32bk::ShownMenu& m = tvtest::Menus()[0];
    std::vector<std::u16string> texts;
    for (const auto& it : m.items) texts.push_back(it.text);
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"元に戻す(&U)", u"", u"切り取り(&T)", u"コピー(&C)",
                                                  u"貼り付け(&P)", u"削除(&D)", u"", u"すべて選択(&A)"}));
    EXPECT_TRUE(tvtest::ShownState(m, WM_UNDO) & MF_GRAYED); // nothing to undo yet
    EXPECT_FALSE(tvtest::ShownState(m, WM_CUT) & MF_GRAYED);
    EXPECT_FALSE(tvtest::ShownState(m, WM_PASTE) & MF_GRAYED);
    EXPECT_EQ(tvtest::TextOf(edit), u"氏名番号"); // the selection was replaced

    // Read-only: only copying and selecting.
    SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
    tvtest::ClearMenus();
    tvtest::AnswerMenu(0);
    SendMessageW(edit, EM_SETSEL, 0, 1);
    SendMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), -1); // from the keyboard
    ASSERT_EQ(tvtest::Menus().size(), 1u);
    const win32bk::ShownMenu& r = tvtest::Menus()[0];
    EXPECT_TRUE(tvtest::ShownState(r, WM_CUT) & MF_GRAYED);
    EXPECT_TRUE(tvtest::ShownState(r, WM_PASTE) & MF_GRAYED);
    EXPECT_TRUE(tvtest::ShownState(r, WM_CLEAR) & MF_GRAYED);
    EXPECT_FALSE(tvtest::ShownState(r, WM_COPY) & MF_GRAYED);
    EXPECT_EQ(tvtest::TextOf(edit), u"氏名番号");
}

// A subclass that eats VK_UP before the control sees it.
class EatUp : public CEdit {
public:
    int seen = 0;

protected:
    afx_msg void OnKeyDown(UINT ch, UINT repeat, UINT flags) {
        if (ch == VK_UP) {
            ++seen;
            return;
        }
        CEdit::OnKeyDown(ch, repeat, flags);
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(EatUp, CEdit)
ON_WM_KEYDOWN()
END_MESSAGE_MAP()

TEST_F(ControlsTest, SubclassSeesAndEatsKeys) {
    HWND edit = Child(u"Edit", WS_BORDER, 7);
    SetWindowTextW(edit, u"abc");
    SendMessageW(edit, EM_SETSEL, 2, 2);
    EatUp sub;
    sub.SubclassWindow(edit);
    SetFocus(edit);
    tvtest::Key(edit, qtplatform::Key_Up);
    EXPECT_EQ(sub.seen, 1);
    EXPECT_EQ(SendMessageW(edit, EM_GETSEL, 0, 0), MAKELONG(2, 2)); // the edit never moved to the start
    tvtest::Key(edit, qtplatform::Key_Home);
    EXPECT_EQ(SendMessageW(edit, EM_GETSEL, 0, 0), MAKELONG(0, 0));
    sub.UnsubclassWindow();
}

TEST_F(ControlsTest, ButtonsClickToggleAndStaySilentOnSetCheck) {
    HWND box = Child(u"Button", BS_AUTOCHECKBOX, 9);
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(Of(BN_CLICKED).empty());
    tvtest::Click(box, 5, 5);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED); // toggled before the notification
    EXPECT_EQ(Of(BN_CLICKED).size(), 1u);
    SetFocus(box);
    tvtest::Key(box, ' ', 0, u" ");
    tvtest::Pump();
    EXPECT_EQ(Of(BN_CLICKED).size(), 2u);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    HWND label = Child(u"Static", SS_NOTIFY, 10);
    tvtest::Click(label, 3, 3);
    int clicks = 0;
    for (const Note& n : Of(STN_CLICKED)) clicks += n.id == 10;
    EXPECT_EQ(clicks, 1);
}

// A pixel of a captured image as a COLORREF.
COLORREF PixelAt(const qtplatform::Image& img, int x, int y) {
    uint32_t p = img.At(x, y);
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

TEST_F(ControlsTest, RadioButtonsAreRoundAndShowWhichIsChecked) {
    HWND first = Child(u"Button", BS_AUTORADIOBUTTON | WS_GROUP, 12);
    HWND second = CreateWindowExW(0, u"Button", u"", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 10, 40, 200,
                                  24, parent_, reinterpret_cast<HMENU>(UINT_PTR(13)), nullptr, nullptr);
    HWND box = Child(u"Button", BS_AUTOCHECKBOX, 14);
    SetWindowPos(box, nullptr, 10, 70, 200, 24, SWP_NOZORDER);
    SendMessageW(first, BM_SETCHECK, BST_CHECKED, 0);
    tvtest::Pump();
    // The 13-pixel box sits at the left, centred in the 24-pixel height.
    const int top = (24 - 13) / 2, mid = 6;
    const COLORREF face = GetSysColor(COLOR_BTNFACE), window = GetSysColor(COLOR_WINDOW);
    const COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    auto look = [&](HWND h, bool checked) {
        const qtplatform::Image img = tvtest::Capture(h);
        ASSERT_GE(img.height, 24);
        // Round: the box's corners show the face around it, its sides a ring.
        EXPECT_EQ(PixelAt(img, 0, top), face);
        EXPECT_EQ(PixelAt(img, 12, top + 12), face);
        EXPECT_NE(PixelAt(img, mid, top), face);
        EXPECT_NE(PixelAt(img, 0, top + mid), face);
        // Inside it the window colour, with a dot in the middle when checked.
        EXPECT_EQ(PixelAt(img, 2, top + mid), window);
        EXPECT_EQ(PixelAt(img, mid, top + mid), checked ? ink : window);
    };
    look(first, true);
    look(second, false);
    tvtest::Click(second, 5, 12);
    tvtest::Pump();
    EXPECT_EQ(SendMessageW(first, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    look(first, false);
    look(second, true);
    // A check box stays square: its corner belongs to the box.
    const qtplatform::Image img = tvtest::Capture(box);
    EXPECT_NE(PixelAt(img, 0, top), face);
}

// A check box's box is the display style's: ticked, unticked and partly
// ticked it shows what Qt's own check box paints, and the tick is a mark,
// not a filled square.
TEST_F(ControlsTest, CheckBoxesShowTheStylesCheckMark) {
    HWND box = Child(u"Button", BS_AUTO3STATE, 16);
    SetWindowPos(box, nullptr, 10, 10, 200, 24, SWP_NOZORDER);
    const int top = (24 - 13) / 2;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const uint32_t background = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    auto shown = [&] {
        tvtest::Pump();
        const qtplatform::Image img = tvtest::Capture(box);
        qtplatform::Image part;
        part.width = part.height = 13;
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 13; ++x) part.pixels.push_back(img.At(x, top + y) & 0xFFFFFF);
        return part;
    };
    auto reference = [&](int check, bool enabled) {
        qtplatform::Image ref = qtplatform::CheckBoxReference(check, enabled, 13, background);
        for (uint32_t& p : ref.pixels) p &= 0xFFFFFF;
        return ref;
    };
    const qtplatform::Image off = shown();
    EXPECT_EQ(off.pixels, reference(0, true).pixels);
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    const qtplatform::Image on = shown();
    EXPECT_EQ(on.pixels, reference(1, true).pixels);
    EXPECT_NE(on.pixels, off.pixels);
    // The middle of the box: a filled square would change every pixel of it
    // to one colour; the mark leaves some as they are unticked.
    int same = 0;
    std::set<uint32_t> colours;
    for (int y = 4; y < 9; ++y)
        for (int x = 4; x < 9; ++x) {
            same += on.At(x, y) == off.At(x, y);
            colours.insert(on.At(x, y));
        }
    EXPECT_GT(same, 0);
    EXPECT_GT(colours.size(), 1u);
    SendMessageW(box, BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_EQ(shown().pixels, reference(2, true).pixels);
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    EnableWindow(box, FALSE);
    EXPECT_EQ(shown().pixels, reference(1, false).pixels);
}

// Each half of an up-down control shows its arrow: wider row by row away
// from its point, the upper one pointing up, the lower one down.
TEST_F(ControlsTest, UpDownShowsAnArrowInEachHalf) {
    HWND spin = Child(UPDOWN_CLASSW, 0, 15, 18, 32);
    tvtest::Pump();
    const qtplatform::Image img = tvtest::Capture(spin);
    ASSERT_GE(img.height, 32);
    const COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    auto inkIn = [&](int y) {
        int n = 0;
        for (int x = 3; x < img.width - 3; ++x) n += PixelAt(img, x, y) == ink; // inside the edges
        return n;
    };
    std::vector<int> upper, lower;
    for (int y = 3; y < 13; ++y)
        if (int n = inkIn(y)) upper.push_back(n);
    for (int y = 19; y < 29; ++y)
        if (int n = inkIn(y)) lower.push_back(n);
    ASSERT_GE(upper.size(), 2u);
    ASSERT_GE(lower.size(), 2u);
    EXPECT_EQ(upper.front(), 1);
    EXPECT_TRUE(std::is_sorted(upper.begin(), upper.end()));
    EXPECT_EQ(lower.back(), 1);
    EXPECT_TRUE(std::is_sorted(lower.rbegin(), lower.rend()));
}

TEST_F(ControlsTest, UpDownProposesDeltaBeforeEveryClickAlsoAtALimit) {
    HWND spin = Child(UPDOWN_CLASSW, 0, 11, 16, 30);
    tvtest::Click(spin, 8, 4); // up
    tvtest::Advance(1000);
    tvtest::Click(spin, 8, 26); // down
    std::vector<Note> n = Of(UDN_DELTAPOS);
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0].sub, -1); // the default range runs from 100 down to 0
    EXPECT_EQ(n[1].sub, 1);
    EXPECT_EQ(SendMessageW(spin, UDM_GETPOS, 0, 0), 1); // -1 was below the range
    // At the limit the notification still comes, the position stays.
    SendMessageW(spin, UDM_SETRANGE32, 0, 5);
    SendMessageW(spin, UDM_SETPOS, 0, 5);
    Notes().clear();
    tvtest::Advance(1000);
    tvtest::Click(spin, 8, 4);
    EXPECT_EQ(Of(UDN_DELTAPOS).size(), 1u);
    EXPECT_EQ(SendMessageW(spin, UDM_GETPOS, 0, 0), 5);

    HWND bar = Child(PROGRESS_CLASSW, PBS_SMOOTH, 12);
    SendMessageW(bar, PBM_SETRANGE32, 0, 20);
    SendMessageW(bar, PBM_SETPOS, 15, 0);
    SendMessageW(bar, PBM_SETSTEP, 4, 0);
    SendMessageW(bar, PBM_STEPIT, 0, 0);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 19);
}

TEST_F(ControlsTest, ComboNotifiesInWindowsOrder) {
    HWND combo = Child(u"ComboBox", CBS_DROPDOWN | CBS_SORT | WS_VSCROLL, 30, 200, 24);
    for (const char16_t* s : {u"scott", u"HR", u"Sys"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(u"SCOTT")), 1);
    HWND edit = GetDlgItem(combo, 1001);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(ChildWindowFromPoint(combo, POINT{10, 10}), edit);
    SendMessageW(combo, CB_SETCURSEL, 2, 0);
    SetWindowTextW(combo, u"x");
    EXPECT_TRUE(Notes().empty()); // the combo's own changes notify nothing
    SendMessageW(combo, CB_SETCURSEL, 0, 0);

    // A click in the open list: SELENDOK while the edit shows the old text, then the text, CLOSEUP,
    // SELCHANGE.
    SetFocus(combo);
    Notes().clear();
    tvtest::Choose(parent_, 30, u"scott");
    std::vector<UINT> codes;
    for (const Note& n : Notes())
        if (n.id == 30) codes.push_back(n.code);
    EXPECT_EQ(codes, (std::vector<UINT>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
    EXPECT_EQ(tvtest::TextOf(combo), u"scott");
    // At CBN_SELENDOK the selection has moved to the chosen row, the edit
    // still shows the old one ("HR", row 0).
    ASSERT_EQ(Of(CBN_SELENDOK).size(), 1u);
    EXPECT_EQ(Of(CBN_SELENDOK)[0].item, 1);
    EXPECT_EQ(Of(CBN_SELENDOK)[0].text, u"HR");

    // Escape on an open list cancels.
    Notes().clear();
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    tvtest::Key(GetFocus(), qtplatform::Key_Escape);
    codes.clear();
    for (const Note& n : Notes())
        if (n.id == 30) codes.push_back(n.code);
    EXPECT_EQ(codes, (std::vector<UINT>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));

    // Arrows on the closed list change the selection; WM_CLEAR to the combo is an edit change.
    Notes().clear();
    tvtest::Key(GetFocus(), qtplatform::Key_Up);
    EXPECT_EQ(Of(CBN_SELCHANGE).size(), 1u);
    EXPECT_EQ(tvtest::TextOf(combo), u"HR");
    SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    SendMessageW(combo, WM_CLEAR, 0, 0);
    EXPECT_EQ(Of(CBN_EDITCHANGE).size(), 1u);
    EXPECT_EQ(tvtest::TextOf(combo), u"");
}

class ListTest : public ControlsTest {
protected:
    void SetUp() override {
        ControlsTest::SetUp();
        HWND h = Child(WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER, 20, 400, 300);
        list_.Attach(h);
        list_.SetExtendedStyle(LVS_EX_FULLROWSELECT);
        list_.InsertColumn(0, u"社員番号", LVCFMT_LEFT, 100);
        list_.InsertColumn(1, u"氏名", LVCFMT_LEFT, 120);
        list_.InsertColumn(2, u"隠し", LVCFMT_LEFT, 0);
        for (int i = 0; i < 5; ++i) {
            CString s;
            s.Format(u"%d", 100 + i);
            list_.InsertItem(i, s);
            list_.SetItemText(i, 1, u"山田");
            list_.SetItemData(i, DWORD_PTR(i));
        }
        EXPECT_TRUE(Of(LVN_ITEMCHANGED).empty()); // inserting notifies nothing
        Notes().clear();
    }
    void TearDown() override {
        list_.Detach();
        ControlsTest::TearDown();
    }
    POINT RowPoint(int row, int x = 20) {
        int rh = 0;
        HDC dc = GetDC(list_);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        ReleaseDC(list_, dc);
        rh = tm.tmHeight + 2;
        return POINT{x, rh + 4 + row * rh + rh / 2};
    }
    CListCtrl list_;
};

// Rows that overflow the list bring its vertical bar (the client narrows),
// made without WS_VSCROLL as a dialog's list is; it goes with them.
TEST_F(ListTest, AVerticalBarShowsWhileTheRowsOverflow) {
    RECT few{};
    GetClientRect(list_, &few);
    EXPECT_FALSE(GetWindowLongW(list_, GWL_STYLE) & WS_VSCROLL);
    for (int i = 5; i < 60; ++i) list_.InsertItem(i, u"行");
    RECT many{};
    GetClientRect(list_, &many);
    EXPECT_TRUE(GetWindowLongW(list_, GWL_STYLE) & WS_VSCROLL);
    EXPECT_LT(many.right, few.right);
    list_.DeleteAllItems();
    RECT none{};
    GetClientRect(list_, &none);
    EXPECT_EQ(none.right, few.right);
}

TEST_F(ListTest, SelectingAnotherRowNotifiesTheLossFirst) {
    for (int how = 0; how < 3; ++how) {
        list_.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        list_.SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        Notes().clear();
        if (how == 0) {
            POINT p = RowPoint(2);
            tvtest::Click(list_, p.x, p.y);
        } else if (how == 1) {
            list_.SetItemState(1, 0, LVIS_SELECTED | LVIS_FOCUSED);
            list_.SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        } else {
            SetFocus(list_);
            Notes().clear();
            tvtest::Key(list_, qtplatform::Key_Down);
        }
        std::vector<Note> n = Of(LVN_ITEMCHANGED);
        ASSERT_EQ(n.size(), 2u) << how;
        EXPECT_EQ(n[0].item, 1);
        EXPECT_EQ(n[0].oldState & LVIS_SELECTED, UINT(LVIS_SELECTED));
        EXPECT_EQ(n[0].newState & LVIS_SELECTED, 0u);
        EXPECT_EQ(n[1].item, 2);
        EXPECT_EQ(n[1].newState, UINT(LVIS_SELECTED | LVIS_FOCUSED)); // selection and focus together
        EXPECT_EQ(list_.GetNextItem(-1, LVNI_SELECTED), 2);
    }
}

TEST_F(ListTest, ControlClickAddsAndDeletingNotifiesNothing) {
    POINT p = RowPoint(0);
    tvtest::Click(list_, p.x, p.y);
    Notes().clear();
    p = RowPoint(3);
    tvtest::Click(list_, p.x, p.y, 0, unsigned(qtplatform::Mods::Ctrl));
    int selectionChanges = 0;
    for (const Note& n : Of(LVN_ITEMCHANGED))
        if ((n.oldState ^ n.newState) & LVIS_SELECTED) ++selectionChanges;
    EXPECT_EQ(selectionChanges, 1);
    EXPECT_EQ(list_.GetSelectedCount(), 2u);
    Notes().clear();
    list_.DeleteAllItems();
    EXPECT_TRUE(Of(LVN_ITEMCHANGED).empty());
    EXPECT_EQ(list_.GetItemCount(), 0);
}

TEST_F(ListTest, DoubleClickRightClickAndColumnClickCarryRowAndColumn) {
    POINT p = RowPoint(3, 150);
    tvtest::Click(list_, p.x, p.y);
    tvtest::Click(list_, p.x, p.y);
    std::vector<Note> d = Of(NM_DBLCLK);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].item, 3);
    EXPECT_EQ(d[0].sub, 1);
    tvtest::Advance(1000);
    tvtest::Click(list_, 150, 290, 1);
    std::vector<Note> r = Of(NM_RCLICK);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].item, -1); // off the rows
    tvtest::Click(list_, 150, 5);
    std::vector<Note> c = Of(LVN_COLUMNCLICK);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].sub, 1);
}

TEST_F(ListTest, SortIsStableAndKeepsTexts) {
    list_.SetItemData(0, 1);
    list_.SetItemData(1, 0);
    list_.SetItemData(2, 1);
    list_.SetItemData(3, 0);
    list_.SetItemData(4, 1);
    list_.SortItems([](LPARAM a, LPARAM b, LPARAM) { return int(a) - int(b); }, 0);
    std::vector<std::u16string> order;
    for (int i = 0; i < 5; ++i) order.push_back(list_.GetItemText(i, 0).str());
    EXPECT_EQ(order, (std::vector<std::u16string>{u"101", u"103", u"100", u"102", u"104"}));
    EXPECT_EQ(list_.GetColumnWidth(2), 0);
}

} // namespace
