// The cell value editor: loading a cell's text, the keys of its editor, the
// line end and wrap choices it keeps, and its layout when resized.
#include "settings_fixture.h"

#include <climits>

#include "app/dialogs/dataeditdlg.h"
#include "res/dialogs4.h"

namespace {

using dlgtest::SettingsTest;
constexpr unsigned kAlt = static_cast<unsigned>(qtplatform::Mods::Alt);

std::u16string AllText(const CEditData& data) {
    return data.GetAllText().GetString();
}

TEST(DataEditLoad, CutsAtTheMaximumWithOneBeepAndNeverHalfAPair) {
    tvtest::Init();
    struct Case {
        const char16_t* text;
        int max;
        const char16_t* loaded;
        bool whole;
    };
    const Case cases[] = {
        {u"abcdefg", 5, u"abcde", false},
        // The fifth unit is the high half of "𠮷": it goes with its pair.
        {u"abcd\U00020BB7e", 5, u"abcd", false},
        {u"abc\U00020BB7e", 5, u"abc\U00020BB7", false},
        {u"abcde", 5, u"abcde", true},
        // A line break counts as CR LF (2) and needs two free units.
        {u"ab\r\ncd", 4, u"ab\r\n", false},
        {u"abc\ncd", 4, u"abc", false},
        {u"a\nb\rc\r\nd", INT_MAX, u"a\r\nb\r\nc\r\nd", true},
        {u"", 3, u"", true},
    };
    for (const Case& c : cases) {
        CEditData data;
        data.SetUnlimitedUndo();
        const int before = tvtest::Beeps();
        EXPECT_EQ(CDataEditDlg::LoadText(&data, c.text, c.max), c.whole) << WideToUtf8(c.text);
        EXPECT_EQ(AllText(data), c.loaded) << WideToUtf8(c.text) << " max " << c.max;
        EXPECT_EQ(tvtest::Beeps() - before, c.whole ? 0 : 1) << WideToUtf8(c.text);
        EXPECT_FALSE(CDataEditDlg::IsModified(data));
        EXPECT_NE(data.Undo(), 0) << "loading cannot be undone";
        EXPECT_EQ(AllText(data), c.loaded);
    }
    // With LF line ends a break costs one unit, but still needs two free.
    CEditData lf;
    lf.SetLineEndType(2);
    EXPECT_FALSE(CDataEditDlg::LoadText(&lf, u"ab\ncd", 4));
    EXPECT_EQ(AllText(lf), u"ab\nc");
}

class DataEditTest : public SettingsTest {
public:
    CEditData data;
    void SetUp() override {
        SettingsTest::SetUp();
        data.SetUnlimitedUndo();
    }
    static HWND Editor(HWND dlg) { return ::GetDlgItem(dlg, 0); }
    static std::u16string ComboText(HWND dlg) {
        HWND combo = ::GetDlgItem(dlg, IDC_DATA_EDIT_LINE_END);
        LRESULT i = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
        if (i < 0) return u"";
        char16_t text[64]{};
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        return text;
    }
    static void ChooseLineEnd(HWND dlg, int index) {
        HWND combo = ::GetDlgItem(dlg, IDC_DATA_EDIT_LINE_END);
        ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        ::SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_DATA_EDIT_LINE_END, CBN_SELENDOK),
                       reinterpret_cast<LPARAM>(combo));
    }
    static int Stored(const char16_t* section, const char16_t* key) {
        return static_cast<int>(AfxGetApp()->GetProfileInt(section, key, -1));
    }
};

TEST_F(DataEditTest, KeysOfTheEditorEnterBreaksAltEnterAcceptsEscCancels) {
    CDataEditDlg::LoadText(&data, u"ab", INT_MAX);
    CDataEditDlg dlg;
    dlg.m_data = &data;
    dlg.m_title = u"データ編集 Name:氏名 Type:VARCHAR2(40)";
    tvtest::ExpectDialog(u"データ編集 Name:氏名 Type:VARCHAR2(40)", [this](HWND h) -> bool {
        HWND ed = Editor(h);
        EXPECT_NE(ed, nullptr);
        EXPECT_EQ(::GetFocus(), ed);
        // The items, with the stored default (CR LF) chosen.
        HWND combo = ::GetDlgItem(h, IDC_DATA_EDIT_LINE_END);
        EXPECT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(ComboText(h), u"CR+LF(\\r\\n)");
        tvtest::Key(ed, qtplatform::Key_End);
        tvtest::Key(ed, qtplatform::Key_Return, 0, u"\r");
        tvtest::Type(ed, u"c");
        tvtest::Pump();
        EXPECT_EQ(AllText(data), u"ab\r\nc") << "Enter is a line break in the editor";
        EXPECT_TRUE(::IsWindowVisible(h));
        tvtest::Key(ed, qtplatform::Key_Return, kAlt, u"\r");
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(AllText(data), u"ab\r\nc") << "Alt+Enter adds nothing";
    EXPECT_TRUE(CDataEditDlg::IsModified(data));

    CDataEditDlg again;
    again.m_data = &data;
    tvtest::ExpectDialog(u"データ編集", [](HWND h) -> bool {
        tvtest::Key(Editor(h), qtplatform::Key_Escape);
        return true;
    });
    EXPECT_EQ(again.DoModal(), IDCANCEL);
    EXPECT_EQ(AllText(data), u"ab\r\nc");
}

TEST_F(DataEditTest, LineEndAndWrapAreKeptOnOkAndCancel) {
    CDataEditDlg::LoadText(&data, u"x\r\ny", INT_MAX);
    AfxGetApp()->WriteProfileInt(u"DATA_EDIT", u"LINE_TYPE", 3);
    {
        // Type 0 takes the stored one; LF chosen, the wrap switched on, Cancel.
        CDataEditDlg dlg;
        dlg.m_data = &data;
        tvtest::ExpectDialog(u"データ編集", [](HWND h) -> bool {
            EXPECT_EQ(ComboText(h), u"CR(\\r)");
            EXPECT_EQ(::IsDlgButtonChecked(h, IDC_DATA_EDIT_WRAP), BST_UNCHECKED);
            ChooseLineEnd(h, 1);
            tvtest::ClickControl(h, IDC_DATA_EDIT_WRAP);
            tvtest::ClickControl(h, IDCANCEL);
            return true;
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(dlg.m_lineEndType, 2);
        EXPECT_EQ(Stored(u"DATA_EDIT", u"LINE_TYPE"), 2);
        EXPECT_EQ(Stored(u"SHOW_DATA_DLG", u"LINE_MODE_RIGHT"), 1);
        EXPECT_EQ(AllText(data), u"x\ny") << "the buffer joins its lines with the chosen end";
    }
    {
        // A caller's type wins over the stored one; OK by button 1051.
        CDataEditDlg dlg;
        dlg.m_data = &data;
        dlg.m_lineEndType = 1;
        tvtest::ExpectDialog(u"データ編集", [](HWND h) -> bool {
            EXPECT_EQ(ComboText(h), u"CR+LF(\\r\\n)");
            EXPECT_EQ(::IsDlgButtonChecked(h, IDC_DATA_EDIT_WRAP), BST_CHECKED);
            tvtest::ClickControl(h, IDC_DATA_EDIT_WRAP);
            tvtest::ClickControl(h, IDC_CELL_OK);
            return true;
        });
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(Stored(u"DATA_EDIT", u"LINE_TYPE"), 1);
        EXPECT_EQ(Stored(u"SHOW_DATA_DLG", u"LINE_MODE_RIGHT"), 0);
    }
    {
        // The window's close cancels.
        CDataEditDlg dlg;
        dlg.m_data = &data;
        tvtest::ExpectDialog(u"データ編集", [](HWND h) -> bool {
            ::SendMessageW(h, WM_CLOSE, 0, 0);
            return true;
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    }
}

TEST_F(DataEditTest, ReadOnlyTakesNoTypingAndTheLayoutFollowsTheSize) {
    CDataEditDlg::LoadText(&data, u"DELETE FROM T", INT_MAX);
    CDataEditDlg dlg;
    dlg.m_data = &data;
    dlg.m_readOnly = 1;
    dlg.m_title = u"更新SQLを表示";
    tvtest::ExpectDialog(u"更新SQLを表示", [this](HWND h) -> bool {
        tvtest::Type(Editor(h), u"zz");
        tvtest::Key(Editor(h), qtplatform::Key_Return, 0, u"\r");
        EXPECT_EQ(AllText(data), u"DELETE FROM T");
        // Never below 400 x 200.
        ::SetWindowPos(h, nullptr, 0, 0, 100, 50, SWP_NOMOVE | SWP_NOZORDER);
        RECT w{};
        ::GetWindowRect(h, &w);
        EXPECT_GE(w.right - w.left, 400);
        EXPECT_GE(w.bottom - w.top, 200);
        // At the narrowest the bottom line's controls stay apart.
        {
            RECT c{};
            ::GetClientRect(h, &c);
            std::vector<RECT> line;
            for (int id : {IDC_DATA_EDIT_WRAP, IDC_CELL_OK, IDCANCEL, IDC_DATA_EDIT_LINE_LABEL,
                           IDC_DATA_EDIT_LINE_END}) {
                RECT r{};
                ::GetWindowRect(::GetDlgItem(h, id), &r);
                ::MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&r), 2);
                line.push_back(r);
            }
            for (size_t i = 1; i < line.size(); ++i) EXPECT_LE(line[i - 1].right, line[i].left) << i;
            EXPECT_LE(line.back().right, c.right);
        }
        ::SetWindowPos(h, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
        tvtest::Pump();
        RECT client{};
        ::GetClientRect(h, &client);
        auto rectOf = [h](int id) {
            RECT r{};
            ::GetWindowRect(id < 0 ? Editor(h) : ::GetDlgItem(h, id), &r);
            ::MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&r), 2);
            return r;
        };
        const RECT ok = rectOf(IDC_CELL_OK), cancel = rectOf(IDCANCEL), wrap = rectOf(IDC_DATA_EDIT_WRAP);
        const RECT combo = rectOf(IDC_DATA_EDIT_LINE_END), label = rectOf(IDC_DATA_EDIT_LINE_LABEL);
        const RECT editor = rectOf(-1);
        const int centre = client.right / 2;
        EXPECT_EQ(ok.bottom, client.bottom - 15);
        EXPECT_EQ(cancel.bottom, client.bottom - 15);
        EXPECT_EQ(ok.right, centre);
        EXPECT_EQ(cancel.left, centre + 10);
        EXPECT_EQ(wrap.left, 10);
        EXPECT_EQ(combo.right, client.right - 20);
        EXPECT_LE(label.right, combo.left);
        EXPECT_GT(label.left, cancel.right);
        EXPECT_EQ(editor.left, 5);
        EXPECT_EQ(editor.top, 5);
        EXPECT_EQ(editor.right, client.right - 5);
        EXPECT_EQ(editor.bottom, ok.top - 5);
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

} // namespace
