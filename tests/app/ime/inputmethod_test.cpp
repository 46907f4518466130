// Japanese typed into the running program through an input method that
// behaves as a desktop one does (the tests' model input method: romaji,
// conversion, its own commit inside a reset, a composition dropped when its
// focus object changes), every key a real key event: the grid in grid mode
// and with F2, the table dialog's WHERE editor, the data-edit dialog, the
// find dialog's text and the login dialog's user field each hold what was
// typed exactly once, and a commit leaves it so in the table, as a second
// session reads it.
#include <optional>

#include "app/dialogs/searchdlg.h"
#include "docview_fixture.h"
#include "editor/editctrl.h"
#include "employees.h"
#include "res/dialogs4.h"
#include "win32/ime_composition.h"

namespace {

using namespace apptest;

// Keys go where the keyboard's input goes now.
void Keys(const std::u16string& romaji) {
    for (char16_t c : romaji) tvtest::Type(::GetFocus(), std::u16string(1, c));
    tvtest::Pump();
}
void Press(int key) {
    tvtest::Key(::GetFocus(), key, 0, key == int(u' ') ? u" " : u"");
    tvtest::Pump();
}
std::u16string EditorText(HWND editor) {
    auto* e = static_cast<CEditCtrl*>(CWnd::FromHandle(editor));
    return e && e->GetData() ? std::u16string(e->GetData()->GetAllText().GetString()) : u"<no editor>";
}
// A click in the middle of a window's client area.
void ClickIn(HWND hwnd) {
    RECT r;
    ::GetClientRect(hwnd, &r);
    tvtest::Click(hwnd, r.right / 2, r.bottom / 2);
    tvtest::Pump();
}

class ImeApp : public DocViewTest {
public:
    void SetUp() override {
        tvtest::UseModelInputMethod();
        DocViewTest::SetUp();
        ASSERT_TRUE(tvtest::ModelImeLoaded());
        tvtest::ModelImeCommitsOnReset(true);
    }
    CGridCtrl& Grid() { return view->m_grid; }
    std::u16string Name(int row) { return doc->m_data.GetText(row, 1); }
    std::u16string Id(int row) { return doc->m_data.GetText(row, 0); }
    // The grid with the keys, the cursor on a name, the input method on.
    void InGrid(int row) {
        ::SetFocus(Grid().m_hWnd);
        Grid().SetCursorCell(1, row);
        tvtest::Pump();
        tvtest::ModelImeOn(true);
    }
    // Holds the save's first statement until its progress dialog shows.
    void Commit() {
        static std::thread::id ui;
        static std::atomic<bool> held;
        ui = std::this_thread::get_id();
        held = false;
        apptest::WaitForKeywordLoader();
        TAP(OCIStmtExecute) = [](auto...) {
            if (std::this_thread::get_id() != ui && !held.exchange(true)) Control("gate OCIStmtExecute self");
        };
        tvtest::AnswerBox(IDYES); // save
        tvtest::ExpectDialog(u"実行中", [](HWND) {
            if (!Parked()) return false;
            Control("gate_open");
            return true;
        });
        tvtest::AnswerBox(IDNO); // no new query
        frame->SendMessage(WM_COMMAND, ID_FILE_COMMIT);
        tvtest::Pump();
        tvtest::VerifyDialogs();
    }
    std::optional<std::u16string> SavedName(const std::u16string& id) {
        for (auto& e : Employees())
            if (e.first == id) return e.second;
        return std::nullopt;
    }
};

// In grid mode the commit of a conversion opens the cell's editor; the next
// word typed straight on is not cut (the input method kept its composition
// through the focus move into the editor). With F2, a click inside the
// editor completes the composition once, whether the input method commits
// it itself while it is reset or not. All of it reaches the table once.
TEST_F(ImeApp, ConversionsInTheGridAreSavedOnce) {
    Load(u"社員");
    ASSERT_EQ(doc->m_data.GetRowCount(), 20) << BoxTexts();
    const std::u16string id2 = Id(2), id3 = Id(3), id4 = Id(4), name3 = Name(3), name4 = Name(4);

    InGrid(2);
    Keys(u"nihongo");
    Press(int(u' '));
    EXPECT_FALSE(Grid().IsCellEditorVisible()) << "the composition is the grid's own";
    Keys(u"desu");
    ASSERT_TRUE(Grid().IsCellEditorVisible());
    EXPECT_EQ(tvtest::ModelImePreedit(), u"です");
    Press(qtplatform::Key_Return); // commits です
    Press(qtplatform::Key_Return); // ends the edit
    EXPECT_EQ(Name(2), u"日本語です");
    EXPECT_EQ(doc->m_data.m_curRow, 3);

    for (bool commits : {true, false}) {
        tvtest::ModelImeCommitsOnReset(commits);
        const std::u16string name = commits ? name3 : name4;
        Press(qtplatform::Key_F1 + 1); // F2
        ASSERT_TRUE(Grid().IsCellEditorVisible());
        HWND editor = ::GetFocus();
        Keys(u"nihongo");
        Press(int(u' '));
        ClickIn(editor);
        EXPECT_EQ(EditorText(editor), name + u"日本語") << (commits ? "commits on reset" : "silent on reset");
        Press(qtplatform::Key_Return);
    }
    EXPECT_EQ(Name(3), name3 + u"日本語");
    EXPECT_EQ(Name(4), name4 + u"日本語");

    Commit();
    EXPECT_EQ(SavedName(id2), u"日本語です");
    EXPECT_EQ(SavedName(id3), name3 + u"日本語");
    EXPECT_EQ(SavedName(id4), name4 + u"日本語");
}

// The WHERE editor of the table dialog and the data-edit dialog: a
// conversion completed by a click inside the editor is there once; each
// dialog is a window of its own, where the input method starts off.
TEST_F(ImeApp, TheWhereEditorAndTheDataEditDialogTakeAConversionOnce) {
    SelectTable(ID_FILE_SELECT_TABLE, [&](HWND h) {
        HWND where = GetDlgItem(h, IDC_TL_WHERE);
        ClickIn(where);
        tvtest::ModelImeOn(true);
        Keys(u"nihongo");
        Press(int(u' '));
        tvtest::Advance(1000); // no double click
        ClickIn(where);
        EXPECT_EQ(EditorText(where), u"日本語");
        EXPECT_EQ(tvtest::ModelImePreedit(), u"");
        tvtest::ClickControl(h, IDCANCEL);
    });
    Load(u"社員");
    const std::u16string id = Id(5), name = Name(5);
    Grid().SetCursorCell(1, 5);
    tvtest::Pump();
    tvtest::ExpectDialog(IDD_DATA_EDIT, [&](HWND h) {
        HWND editor = ::GetFocus();
        tvtest::ModelImeOn(true);
        tvtest::Key(editor, qtplatform::Key_End);
        Keys(u"toukyou");
        Press(int(u' '));
        ClickIn(editor);
        EXPECT_EQ(EditorText(editor), name + u"東京");
        tvtest::ClickControl(h, 1051);
        return true;
    });
    frame->SendMessage(WM_COMMAND, ID_EDIT_DATA);
    tvtest::Pump();
    EXPECT_EQ(Name(5), name + u"東京");
}

// Single-line fields: the find dialog's text and the login dialog's user
// compose in their own font and hold the converted text.
TEST_F(ImeApp, TheFindTextComposesInItsOwnFont) {
    Load(u"社員");
    ::SetFocus(Grid().m_hWnd);
    tvtest::Key(Grid().m_hWnd, 'F', unsigned(qtplatform::Mods::Ctrl));
    tvtest::Pump();
    HWND dlg = CTavexView::GetSearchDlg()->m_hWnd;
    HWND text = ::GetFocus();
    ASSERT_TRUE(::IsChild(dlg, text));
    tvtest::ModelImeOn(true);
    Keys(u"kensaku");
    LOGFONTW shown{}, own{};
    ASSERT_TRUE(tvtest::ImeCompositionFont(text, &shown));
    ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(text, WM_GETFONT, 0, 0)), sizeof own, &own);
    EXPECT_EQ(shown.lfHeight, own.lfHeight);
    EXPECT_EQ(std::u16string(shown.lfFaceName), std::u16string(own.lfFaceName));
    Press(int(u' '));
    Press(qtplatform::Key_Return);
    EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_SEARCH_TEXT)), u"検索");
}

class ImeLogin : public AppTest {
public:
    void SetUp() override {
        tvtest::UseModelInputMethod();
        AppTest::SetUp();
        ASSERT_TRUE(tvtest::ModelImeLoaded());
    }
};

TEST_F(ImeLogin, TheUserFieldTakesAConversion) {
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        HWND user = tvtest::Control(dlg, IDC_LOGIN_USER);
        ClickIn(user);
        tvtest::ModelImeOn(true);
        Keys(u"yamada");
        Press(int(u' '));
        Press(qtplatform::Key_Return);
        EXPECT_EQ(tvtest::TextOf(user), u"山田");
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
}

} // namespace
