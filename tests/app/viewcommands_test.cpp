// The view's commands through the frame's command routing on 社員 and
// ALL_TYPES: enabling on plain, filtered, swapped and read-only models, the
// copy types, conversions, column widths, the data editor, find next and
// previous, sorting (with a cell edit open too), empty rows, the current
// time, set NULL repainting every pane of a split.
#include "docview_fixture.h"

#include "app/dialogs/inputdlg.h"
#include "res/dialogs4.h"
#include "testing/framework.h"

#include <map>

namespace {

using apptest::DocViewTest;
using apptest::InkIn;
using apptest::Narrow;
namespace fs = std::filesystem;

class RecordingCmdUI : public CCmdUI {
public:
    bool enabled = false;
    void Enable(BOOL on) override { enabled = on != FALSE; }
};

class ViewCommandTest : public DocViewTest {
public:
    bool Enabled(UINT id) {
        RecordingCmdUI ui;
        ui.m_nID = id;
        frame->OnCmdMsg(id, static_cast<int>(CN_UPDATE_COMMAND_UI), &ui, nullptr);
        return ui.enabled;
    }
    void Command(UINT id) {
        frame->SendMessage(WM_COMMAND, id);
        tvtest::Pump();
    }
    std::string Pane() { return Narrow(frame->m_wndStatusBar.GetPaneText(0)); }
    CGridData* Grid() { return view->m_grid.GetData(); }
    // Cursor at (col, row) of the grid's model, no selection.
    void Cursor(int col, int row) {
        view->m_grid.ClearSelection(0);
        view->m_grid.SetCursorCell(col, row);
        tvtest::Pump();
    }
    void Select(POINT anchor, POINT end) {
        view->m_grid.SetSelectArea(end, anchor, end);
        tvtest::Pump();
    }
    std::u16string Clipboard() {
        std::u16string out;
        if (!::OpenClipboard(nullptr)) return out;
        if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
            auto* p = static_cast<const char16_t*>(::GlobalLock(h));
            if (p) out = p;
            ::GlobalUnlock(h);
        }
        ::CloseClipboard();
        return out;
    }
    void LoadAllTypes() {
        Load(u"ALL_TYPES");
        ASSERT_GT(doc->m_data.GetRowCount(), 2) << BoxTexts();
    }
    int ColumnOf(const char16_t* name) {
        for (int c = 0; c < doc->m_data.GetColCount(); ++c)
            if (std::u16string(doc->m_data.GetColName(c)) == name) return c;
        return -1;
    }
};

TEST_F(ViewCommandTest, EnablingOnPlainFilteredSwappedAndUnloaded) {
    // Nothing loaded: the table commands are off, the current time needs a session.
    EXPECT_FALSE(Enabled(ID_EDIT_SEARCH));
    EXPECT_FALSE(Enabled(ID_EDIT_SEARCH_NEXT));
    EXPECT_TRUE(Enabled(ID_EDIT_INPUT_CURRENT_TIME));
    Load(u"社員");
    Cursor(1, 0);
    for (UINT id : {ID_EDIT_SEARCH, ID_EDIT_SEARCH_NEXT, ID_EDIT_SEARCH_PREV, ID_EDIT_SEARCH_REPLACE,
                    ID_EDIT_NEXT_CHANGED_CELL, ID_EDIT_PREV_CHANGED_CELL, ID_DATA_ADD_RECORDS,
                    ID_DATA_DELETE_EMPTY_ROWS, ID_DATA_DELETE_EMPTY_ADDED_ROWS, ID_EDIT_DATA,
                    ID_EDIT_TO_UPPER, ID_DATA_COLUMN_WIDTH, ID_EDIT_COPY, ID_EDIT_COPY_FIXED_WITH_COLNAME})
        EXPECT_TRUE(Enabled(id)) << id;
    // No LOB column here, no selection in one column.
    for (UINT id : {ID_DATA_LOB_UPLOAD, ID_DATA_BFILE_UPDATE, ID_DATA_SET_NULL, ID_DATA_LOB_DOWNLOAD,
                    ID_EDIT_INPUT_SEQUENCE})
        EXPECT_FALSE(Enabled(id)) << id;
    Select(POINT{1, 0}, POINT{1, 3});
    EXPECT_TRUE(Enabled(ID_EDIT_INPUT_SEQUENCE));
    EXPECT_FALSE(Enabled(ID_EDIT_DATA)) << "one cell only";
    Select(POINT{1, 0}, POINT{2, 3});
    EXPECT_FALSE(Enabled(ID_EDIT_INPUT_SEQUENCE));

    // Filtered: no row may be added or removed.
    int count = 0;
    CString err;
    ASSERT_EQ(doc->m_data.SetFilter(3, u"営業部", 0, 0, 0, &count, &err, 1), 0) << Narrow(err);
    view->RebindData();
    for (UINT id : {ID_DATA_ADD_RECORDS, ID_DATA_DELETE_EMPTY_ROWS, ID_DATA_DELETE_EMPTY_ADDED_ROWS})
        EXPECT_FALSE(Enabled(id)) << id;
    view->ClearFilter();

    // Swapped: the sequence needs a selection in one row of the swapped grid.
    Command(ID_DATA_SWAP_ROW_COL);
    ASSERT_EQ(Grid(), &doc->m_swap);
    Select(POINT{0, 1}, POINT{3, 1});
    EXPECT_TRUE(Enabled(ID_EDIT_INPUT_SEQUENCE));
    Select(POINT{1, 0}, POINT{1, 3});
    EXPECT_FALSE(Enabled(ID_EDIT_INPUT_SEQUENCE));
    Command(ID_DATA_SWAP_ROW_COL);

    // Not connected: the current time is off, and does nothing when sent.
    g_connected = 0;
    EXPECT_FALSE(Enabled(ID_EDIT_INPUT_CURRENT_TIME));
    Cursor(6, 0);
    const std::string before = Narrow(doc->m_data.GetText(0, 6));
    view->SendMessage(WM_COMMAND, ID_EDIT_INPUT_CURRENT_TIME);
    EXPECT_EQ(Narrow(doc->m_data.GetText(0, 6)), before);
    g_connected = 1;
}

TEST_F(ViewCommandTest, ReadOnlyCellsTakeNoCellCommands) {
    Load(u"社員", {u"社員番号", u"氏名"});
    doc->m_columns.push_back(u"給与 * 12 /*READONLY*/");
    Refresh();
    ASSERT_EQ(doc->m_data.GetColCount(), 3) << BoxTexts();
    ASSERT_FALSE(doc->m_data.IsCellEditable(0, 2));
    Cursor(2, 0);
    EXPECT_FALSE(Enabled(ID_EDIT_DATA));
    EXPECT_TRUE(Enabled(ID_EDIT_COPY));
    const std::string before = Narrow(doc->m_data.GetText(0, 2));
    view->SendMessage(WM_COMMAND, ID_EDIT_DATA);
    view->SendMessage(WM_COMMAND, ID_EDIT_TO_ZENKAKU);
    EXPECT_EQ(Narrow(doc->m_data.GetText(0, 2)), before);
    EXPECT_EQ(Pane(), "0件置換しました");
    Cursor(1, 0);
    EXPECT_TRUE(Enabled(ID_EDIT_DATA));
}

TEST_F(ViewCommandTest, CopyCommandsGiveTheirTypesAndConversionsCount) {
    Load(u"社員");
    Select(POINT{0, 0}, POINT{2, 1});
    const struct {
        UINT id;
        int type;
    } copies[] = {{ID_EDIT_COPY, 2},
                  {ID_EDIT_COPY_TAB, 2},
                  {ID_EDIT_COPY_TAB_WITH_COLNAME, 4},
                  {ID_EDIT_COPY_CSV, 1},
                  {ID_EDIT_COPY_CSV_WITH_COLNAME, 3},
                  {ID_EDIT_COPY_FIXED, 5},
                  {ID_EDIT_COPY_FIXED_WITH_COLNAME, 6}};
    for (const auto& c : copies) {
        Command(c.id);
        std::u16string want(4096, u'\0');
        const int64_t n =
            view->m_grid.MakeCopyText(want.data(), static_cast<int64_t>(want.size()), c.type, 0, 1, 0, 2);
        ASSERT_GE(n, 0);
        want.resize(static_cast<size_t>(n));
        EXPECT_EQ(Clipboard(), want) << c.id;
    }
    EXPECT_NE(Clipboard().find(u"社員番号"), std::u16string::npos);

    // A conversion over the selection reports its count, 0 included.
    Select(POINT{1, 0}, POINT{1, 19});
    Command(ID_EDIT_TO_HANKAKU);
    EXPECT_EQ(Pane(), "0件置換しました");
    Select(POINT{6, 0}, POINT{6, 1});
    Command(ID_EDIT_TO_HANKAKU_ALNUM);
    EXPECT_EQ(Pane(), "2件置換しました") << Narrow(doc->m_data.GetText(0, 6));
    EXPECT_EQ(Narrow(doc->m_data.GetText(0, 6)), "東京都千代田区丸の内1-1-1");
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(Narrow(doc->m_data.GetText(0, 6)), "東京都千代田区丸の内１－１－１");
}

// The copy commands and the popup "コピー(フォーマット指定)" of the 編集 menu
// that holds six of them: greyed with nothing to copy (no table, or an open
// cell editor without a selection), enabled with a cursor cell (plain,
// swapped or filtered) or a selection in the editor.
TEST_F(ViewCommandTest, CopyFormatPopupAndItsCommandsNeedSomethingToCopy) {
    const UINT copies[] = {ID_EDIT_COPY,
                           ID_EDIT_COPY_TAB,
                           ID_EDIT_COPY_TAB_WITH_COLNAME,
                           ID_EDIT_COPY_CSV,
                           ID_EDIT_COPY_CSV_WITH_COLNAME,
                           ID_EDIT_COPY_FIXED,
                           ID_EDIT_COPY_FIXED_WITH_COLNAME};
    // The 編集 menu as it opens from the bar (cancelled): the popup entry's state.
    auto popupState = [this]() -> int {
        tvtest::ClearMenus();
        tvtest::AnswerMenu(0);
        win32bk::OpenMenuBarPopup(frame->m_hWnd, 1);
        tvtest::Pump();
        EXPECT_EQ(tvtest::Menus().size(), 1u);
        if (tvtest::Menus().empty()) return -1;
        for (const auto& item : tvtest::Menus()[0].items)
            if (item.text == u"コピー(フォーマット指定)") return static_cast<int>(item.state);
        ADD_FAILURE() << "no popup コピー(フォーマット指定)";
        return -1;
    };
    auto expectAll = [&](bool on, const char* when) {
        for (UINT id : copies) EXPECT_EQ(Enabled(id), on) << id << " " << when;
        const int state = popupState();
        EXPECT_EQ((state & MF_GRAYED) != 0, !on) << when;
        EXPECT_NE(state & MF_POPUP, 0) << when;
    };
    expectAll(false, "nothing loaded");
    Load(u"社員");
    CRect r = view->m_grid.GetCellRect(1, 2);
    tvtest::Click(view->m_grid.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
    tvtest::RunUntilIdle();
    expectAll(true, "a cursor cell");
    // F2 opens the cell's editor with the caret at the end, nothing selected.
    tvtest::Key(GetFocus(), qtplatform::Key_F1 + 1);
    tvtest::RunUntilIdle();
    ASSERT_TRUE(view->m_grid.IsCellEditorVisible());
    expectAll(false, "an editor without a selection");
    tvtest::Key(GetFocus(), qtplatform::Key_Home, static_cast<unsigned>(qtplatform::Mods::Shift));
    tvtest::RunUntilIdle();
    expectAll(true, "a selection in the editor");
    tvtest::Key(GetFocus(), qtplatform::Key_Escape);
    tvtest::RunUntilIdle();
    ASSERT_FALSE(view->m_grid.IsCellEditorVisible());
    // Swapped and filtered models copy their cursor cell as well.
    Command(ID_DATA_SWAP_ROW_COL);
    ASSERT_EQ(Grid(), &doc->m_swap);
    expectAll(true, "swapped");
    Command(ID_DATA_SWAP_ROW_COL);
    int count = 0;
    CString err;
    ASSERT_EQ(doc->m_data.SetFilter(3, u"営業部", 0, 0, 0, &count, &err, 1), 0) << Narrow(err);
    view->RebindData();
    Cursor(1, 0);
    expectAll(true, "filtered");
    view->ClearFilter();
}

TEST_F(ViewCommandTest, ColumnWidthClampsAndFollowsTheSelection) {
    Load(u"社員");
    auto width = [&](const std::u16string& text) {
        tvtest::ExpectDialog(u"列幅", [text](HWND h) {
            ::SetDlgItemTextW(h, CInputDlg::IDC_INPUT_EDIT, text.c_str());
            tvtest::ClickControl(h, IDOK);
            return true;
        });
        Command(ID_DATA_COLUMN_WIDTH);
    };
    Cursor(2, 0);
    const int data = view->m_grid.GetDataAreaWidth();
    width(u"1");
    EXPECT_EQ(doc->m_data.GetColWidth(2), 5);
    width(u"99999999999");
    EXPECT_EQ(doc->m_data.GetColWidth(2), data);
    width(u"-40");
    EXPECT_EQ(doc->m_data.GetColWidth(2), 5);
    // No digits: nothing changes.
    width(u"abc");
    EXPECT_EQ(doc->m_data.GetColWidth(2), 5);
    // A block from its top-right corner sets the same columns as from its top-left.
    Select(POINT{4, 0}, POINT{3, 5});
    width(u"77");
    EXPECT_EQ(doc->m_data.GetColWidth(3), 77);
    EXPECT_EQ(doc->m_data.GetColWidth(4), 77);
    EXPECT_NE(doc->m_data.GetColWidth(5), 77);
    // The dialog shows the current width.
    tvtest::ExpectDialog(u"列幅", [](HWND h) {
        EXPECT_EQ(tvtest::TextOf(::GetDlgItem(h, CInputDlg::IDC_INPUT_EDIT)), u"77");
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    Command(ID_DATA_COLUMN_WIDTH);
}

TEST_F(ViewCommandTest, DataEditRewritesOnlyChangedCells) {
    Load(u"社員");
    // 備考 (column 6) of row 0 without line breaks: the stored LF is offered,
    // and OK without an edit leaves the cell as it was.
    PutInt(u"DATA_EDIT", u"LINE_TYPE", 2);
    Cursor(6, 0);
    tvtest::ExpectDialog(u"データ編集 Name:備考 Type:VARCHAR2(200)", [](HWND h) {
        EXPECT_EQ(tvtest::TextOf(::GetDlgItem(h, IDC_DATA_EDIT_LINE_END)), u"LF(\\n)");
        tvtest::ClickControl(h, IDC_CELL_OK);
        return true;
    });
    Command(ID_EDIT_DATA);
    EXPECT_FALSE(doc->m_data.IsCellModified(0, 6));

    // A cell with CR LF breaks, saved with LF and nothing else edited, is rewritten.
    ASSERT_EQ(view->m_grid.SetCellText(1, 6, u"一\r\n二\r\n三", -1), 0);
    Cursor(6, 1);
    tvtest::ExpectDialog(u"データ編集 Name:備考 Type:VARCHAR2(200)", [](HWND h) {
        EXPECT_EQ(tvtest::TextOf(::GetDlgItem(h, IDC_DATA_EDIT_LINE_END)), u"CR+LF(\\r\\n)");
        HWND combo = ::GetDlgItem(h, IDC_DATA_EDIT_LINE_END);
        ::SendMessageW(combo, CB_SETCURSEL, 1, 0);
        ::SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDC_DATA_EDIT_LINE_END, CBN_SELENDOK),
                       reinterpret_cast<LPARAM>(combo));
        tvtest::ClickControl(h, IDC_CELL_OK);
        return true;
    });
    Command(ID_EDIT_DATA);
    EXPECT_EQ(Narrow(doc->m_data.GetText(1, 6)), "一\n二\n三");

    // Typed text with Enter and Alt+Enter: the cell gets it; Esc keeps it.
    Cursor(6, 2);
    tvtest::ExpectDialog(u"データ編集 Name:備考 Type:VARCHAR2(200)", [](HWND h) {
        HWND ed = ::GetDlgItem(h, 0);
        tvtest::Key(ed, qtplatform::Key_End);
        tvtest::Key(ed, qtplatform::Key_Return, 0, u"\r");
        tvtest::Type(ed, u"追記");
        tvtest::Key(ed, qtplatform::Key_Return, static_cast<unsigned>(qtplatform::Mods::Alt), u"\r");
        return true;
    });
    Command(ID_EDIT_DATA);
    EXPECT_EQ(Narrow(doc->m_data.GetText(2, 6)), "～波ダッシュを含む備考～\n追記");
    tvtest::ExpectDialog(u"データ編集 Name:備考 Type:VARCHAR2(200)", [](HWND h) {
        tvtest::Type(::GetDlgItem(h, 0), u"xyz");
        tvtest::Key(::GetDlgItem(h, 0), qtplatform::Key_Escape);
        return true;
    });
    Command(ID_EDIT_DATA);
    EXPECT_EQ(Narrow(doc->m_data.GetText(2, 6)), "～波ダッシュを含む備考～\n追記");
}

TEST_F(ViewCommandTest, FindNextAndPreviousWrapInTheirOwnDirection) {
    Load(u"社員");
    // "^髙": 髙橋 (row 2, 氏名), then 髙島屋 in 備考 of rows 7 and 15.
    view->m_searchRequest.searchText = u"^髙";
    view->m_searchRequest.useRegex = 1;
    view->m_searchRequest.direction = -1; // never used by F3
    Cursor(1, 0);
    for (int row : {2, 7, 15}) {
        Command(ID_EDIT_SEARCH_NEXT);
        EXPECT_EQ(Grid()->m_curRow, row);
        EXPECT_EQ(Pane(), "");
    }
    Command(ID_EDIT_SEARCH_NEXT);
    EXPECT_EQ(Grid()->m_curRow, 2);
    EXPECT_EQ(Grid()->m_curCol, 1);
    EXPECT_EQ(Pane(), "ファイルの末尾まで検索しました");
    Command(ID_EDIT_SEARCH_PREV);
    EXPECT_EQ(Grid()->m_curRow, 15);
    EXPECT_EQ(Pane(), "ファイルの先頭まで検索しました");
    EXPECT_EQ(view->m_searchRequest.direction, -1);
    const int beeps = tvtest::Beeps();
    view->m_searchRequest.searchText = u"存在しない";
    view->m_searchRequest.useRegex = 0;
    Command(ID_EDIT_SEARCH_NEXT);
    EXPECT_EQ(Pane(), "見つかりません");
    EXPECT_EQ(tvtest::Beeps(), beeps + 1);

    // Changed cells: none, then the one edited.
    Command(ID_EDIT_NEXT_CHANGED_CELL);
    EXPECT_EQ(Pane(), "見つかりません");
    ASSERT_EQ(view->m_grid.SetCellText(5, 3, u"開発部", -1), 0);
    Cursor(0, 0);
    Command(ID_EDIT_NEXT_CHANGED_CELL);
    EXPECT_EQ(Grid()->m_curRow, 5);
    EXPECT_EQ(Grid()->m_curCol, 3);
}

TEST_F(ViewCommandTest, SortKeysFromEitherCornerAndAtMostThree) {
    Load(u"社員");
    std::vector<int> seen;
    auto expectSort = [&](std::function<void(HWND)> act) {
        tvtest::ExpectDialog(u"Gridのソート", [&seen, act](HWND h) {
            seen.clear();
            for (int id : {IDC_SORT_KEY1, IDC_SORT_KEY2, IDC_SORT_KEY3}) {
                HWND list = ::GetDlgItem(h, id);
                LRESULT i = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
                seen.push_back(
                    static_cast<int>(::SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)));
            }
            act(h);
            return true;
        });
        Command(ID_DATA_SORT_GRID);
    };
    Select(POINT{5, 0}, POINT{1, 4});
    expectSort([](HWND h) { tvtest::ClickControl(h, IDCANCEL); });
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    Select(POINT{1, 4}, POINT{5, 0});
    expectSort([](HWND h) { tvtest::ClickControl(h, IDCANCEL); });
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    // The cursor column alone, descending: 給与 from the highest.
    Cursor(5, 3);
    expectSort([](HWND h) {
        tvtest::ClickControl(h, IDC_SORT_DESC1);
        tvtest::ClickControl(h, IDOK);
    });
    EXPECT_EQ(seen, (std::vector<int>{5, -1, -1}));
    EXPECT_EQ(Narrow(doc->m_data.GetText(0, 5)), "487500");
    EXPECT_EQ(Narrow(doc->m_data.GetText(19, 5)), "250000");
}

TEST_F(ViewCommandTest, EmptyRowsSequenceAndCurrentTime) {
    Load(u"社員");
    // Nothing empty: the count 0 is still shown.
    Command(ID_DATA_DELETE_EMPTY_ADDED_ROWS);
    EXPECT_EQ(Pane(), "0行削除しました");
    AppSettings.DISP_DELETE_ALL_NULL_ROWS_WARNING = 1;
    Cursor(0, 19);
    view->m_grid.InsertRows(2);
    ASSERT_EQ(doc->m_data.GetRowCount(), 22);
    tvtest::AnswerBox(IDNO);
    Command(ID_DATA_DELETE_EMPTY_ROWS);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"Message");
    EXPECT_EQ(doc->m_data.GetRowCount(), 22);
    tvtest::AnswerBox(IDYES);
    Command(ID_DATA_DELETE_EMPTY_ROWS);
    EXPECT_EQ(Pane(), "2行削除しました");
    EXPECT_EQ(doc->m_data.GetRowCount(), 20);
    AppSettings.DISP_DELETE_ALL_NULL_ROWS_WARNING = 0;

    // A sequence from 5000000000 step -2 down a column.
    Select(POINT{6, 0}, POINT{6, 2});
    tvtest::ExpectDialog(u"連番を入力", [](HWND h) {
        EXPECT_EQ(tvtest::TextOf(::GetDlgItem(h, IDC_SEQ_START)), u"0");
        ::SetDlgItemTextW(h, IDC_SEQ_START, u"5000000000");
        ::SetDlgItemTextW(h, IDC_SEQ_STEP, u"-2");
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    Command(ID_EDIT_INPUT_SEQUENCE);
    EXPECT_EQ(Narrow(doc->m_data.GetText(0, 6)), "5000000000");
    EXPECT_EQ(Narrow(doc->m_data.GetText(2, 6)), "4999999996");

    // The database's date in NLS_DATE_FORMAT at the cursor.
    AppSettings.NLS_DATE_FORMAT = u"YYYY/MM/DD";
    Cursor(6, 5);
    Command(ID_EDIT_INPUT_CURRENT_TIME);
    const std::string pasted = Narrow(doc->m_data.GetText(5, 6));
    ASSERT_EQ(pasted.size(), 10u) << pasted << " / " << Pane();
    EXPECT_EQ(pasted[4], '/');
    EXPECT_EQ(pasted[7], '/');
    EXPECT_EQ(Pane(), "");
}

TEST_F(ViewCommandTest, LobCellsSetNullUploadAndBfile) {
    LoadAllTypes();
    const int blob = ColumnOf(u"C_BLOB"), bfile = ColumnOf(u"C_BFILE"), clob = ColumnOf(u"C_CLOB");
    ASSERT_GE(blob, 0);
    ASSERT_GE(bfile, 0);
    ASSERT_GE(clob, 0);
    Cursor(clob, 0);
    EXPECT_FALSE(Enabled(ID_DATA_LOB_UPLOAD));
    EXPECT_FALSE(Enabled(ID_DATA_SET_NULL));
    Cursor(blob, 0);
    EXPECT_TRUE(Enabled(ID_DATA_LOB_UPLOAD));
    EXPECT_FALSE(Enabled(ID_DATA_BFILE_UPDATE));
    EXPECT_TRUE(Enabled(ID_DATA_SET_NULL));
    Command(ID_DATA_SET_NULL);
    EXPECT_TRUE(doc->m_data.IsUpdatedRow(0));
    EXPECT_TRUE(doc->m_data.IsNull(0, blob));
    EXPECT_FALSE(Enabled(ID_DATA_LOB_DOWNLOAD)) << "a modified cell is not downloaded";
    Command(ID_EDIT_UNDO);
    EXPECT_FALSE(doc->m_data.IsUpdatedRow(0));

    // Upload stores the path (undoable); the commit reads the file.
    const fs::path file = root / "up.bin";
    std::ofstream(file, std::ios::binary) << "xyz";
    tvtest::AnswerFile(Utf8ToWide(file.c_str()));
    Command(ID_DATA_LOB_UPLOAD);
    EXPECT_EQ(Narrow(doc->m_data.GetText(0, blob)), file.string());
    Command(ID_EDIT_UNDO);
    EXPECT_FALSE(doc->m_data.IsCellModified(0, blob));

    // BFILE Update re-points the cell.
    Cursor(bfile, 1);
    ASSERT_TRUE(Enabled(ID_DATA_BFILE_UPDATE));
    tvtest::ExpectDialog(u"BFILE Update", [](HWND h) {
        EXPECT_EQ(tvtest::TextOf(::GetDlgItem(h, IDC_BFILE_ALIAS)), u"DEMO_DIR");
        ::SetDlgItemTextW(h, IDC_BFILE_NAME, u"other.txt");
        tvtest::ClickControl(h, IDC_CELL_OK);
        return true;
    });
    Command(ID_DATA_BFILE_UPDATE);
    EXPECT_EQ(Narrow(doc->m_data.GetText(1, bfile)), "<BFILE dir_alias:DEMO_DIR file_name:other.txt update>");
}

// "NULLにする" from the cell menu of the lower right pane of a 2 x 2 split:
// the row is marked updated, and every pane draws the cell empty.
TEST_F(ViewCommandTest, SetNullFromTheCellMenuRepaintsEveryPane) {
    LoadAllTypes();
    const int blob = ColumnOf(u"C_BLOB");
    ASSERT_GE(blob, 0);
    CSplitterWnd& split = frame->m_wndSplitter;
    ASSERT_TRUE(split.SplitRow(200));
    ASSERT_TRUE(split.SplitColumn(300));
    tvtest::RunUntilIdle();
    // Every pane shows the BLOB cell of row 0 whole.
    std::vector<CTavexView*> panes;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            panes.push_back(dynamic_cast<CTavexView*>(split.GetPane(r, c)));
            ASSERT_NE(panes.back(), nullptr);
            CGridCtrl& g = panes.back()->m_grid;
            g.SetScrollPosition(SB_HORZ, blob);
            tvtest::RunUntilIdle();
            CRect client, cell = g.GetCellRect(blob, 0);
            g.GetClientRect(&client);
            ASSERT_GE(cell.left + 1, g.m_rowHeaderWidth) << r << c;
            ASSERT_LE(cell.right, client.right) << r << c;
            ASSERT_GE(cell.top + 1, g.m_colHeaderHeight) << r << c;
        }
    CGridCtrl& lower = panes[3]->m_grid;
    CRect cell = lower.GetCellRect(blob, 0);
    tvtest::Click(lower.m_hWnd, cell.CenterPoint().x, cell.CenterPoint().y);
    tvtest::RunUntilIdle();
    ASSERT_EQ(doc->m_data.m_curCol, blob);
    ASSERT_EQ(doc->m_data.m_curRow, 0);
    ASSERT_FALSE(doc->m_data.IsNull(0, blob));
    std::vector<int> before;
    for (CTavexView* p : panes) {
        before.push_back(InkIn(p->m_grid, blob, 0, 3));
        EXPECT_GT(before.back(), 10) << "the BLOB cell shows its value";
    }
    tvtest::ClearMenus();
    tvtest::AnswerMenu(ID_DATA_SET_NULL);
    tvtest::Click(lower.m_hWnd, cell.CenterPoint().x, cell.CenterPoint().y, 1);
    tvtest::RunUntilIdle();
    ASSERT_EQ(tvtest::Menus().size(), 1u);
    EXPECT_TRUE(doc->m_data.IsNull(0, blob));
    EXPECT_TRUE(doc->m_data.IsUpdatedRow(0));
    EXPECT_EQ(doc->m_data.m_updatedCount, 1);
    for (size_t i = 0; i < panes.size(); ++i)
        EXPECT_LT(InkIn(panes[i]->m_grid, blob, 0, 3), before[i] / 4)
            << "pane " << i << " still shows the value";
}

// The panes of a 2 x 2 split, made by dragging both split boxes, share one
// undo history: an edit made in any pane is undone (Ctrl+Z) and redone
// (Ctrl+Y) from any other, and 元に戻す and やり直し in the 編集 menu follow
// the history whichever pane holds the cursor.
TEST_F(ViewCommandTest, UndoAndRedoWorkFromEveryPaneOfA2x2Split) {
    Load(u"社員");
    // Small enough for both bars, which carry the split boxes.
    frame->SetWindowPos(nullptr, 0, 0, 640, 460, SWP_NOZORDER | SWP_NOMOVE);
    tvtest::RunUntilIdle();
    CSplitterWnd& split = frame->m_wndSplitter;
    auto drag = [&](int bar, POINT to) {
        CRect box = split.GetSplitBox(bar);
        ASSERT_FALSE(box.IsRectEmpty()) << bar;
        tvtest::MouseDown(split.m_hWnd, box.CenterPoint().x, box.CenterPoint().y);
        tvtest::MouseMove(split.m_hWnd, to.x, to.y);
        tvtest::MouseUp(split.m_hWnd, to.x, to.y);
        tvtest::RunUntilIdle();
    };
    drag(SB_VERT, POINT{split.GetSplitBox(SB_VERT).CenterPoint().x, 200});
    drag(SB_HORZ, POINT{400, split.GetSplitBox(SB_HORZ).CenterPoint().y});
    ASSERT_EQ(split.GetRowCount(), 2);
    ASSERT_EQ(split.GetColumnCount(), 2);
    std::vector<CTavexView*> panes;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            panes.push_back(dynamic_cast<CTavexView*>(split.GetPane(r, c)));
            ASSERT_NE(panes.back(), nullptr);
        }
    const unsigned ctrl = static_cast<unsigned>(qtplatform::Mods::Ctrl);
    auto clickIn = [&](size_t pane, int row) {
        CGridCtrl& g = panes[pane]->m_grid;
        CRect cell = g.GetCellRect(1, row);
        CRect client;
        g.GetClientRect(&client);
        ASSERT_GE(cell.top, g.m_colHeaderHeight - 1) << pane;
        ASSERT_LE(cell.right, client.right) << pane;
        ASSERT_LE(cell.bottom, client.bottom) << pane;
        tvtest::Click(g.m_hWnd, cell.CenterPoint().x, cell.CenterPoint().y);
        tvtest::RunUntilIdle();
        ASSERT_EQ(::GetFocus(), g.m_hWnd) << pane;
        ASSERT_EQ(doc->m_data.m_curRow, row) << pane;
    };
    // 元に戻す and やり直し as the 編集 menu shows them, opened from the bar.
    auto shown = [&](UINT id) {
        tvtest::ClearMenus();
        tvtest::AnswerMenu(0);
        win32bk::OpenMenuBarPopup(frame->m_hWnd, 1);
        tvtest::RunUntilIdle();
        EXPECT_EQ(tvtest::Menus().size(), 1u);
        if (tvtest::Menus().empty()) return false;
        int state = tvtest::ShownState(tvtest::Menus()[0], id);
        EXPECT_GE(state, 0) << id;
        return state >= 0 && !(state & MF_GRAYED);
    };
    std::vector<std::u16string> names;
    for (int row = 1; row <= 4; ++row) names.emplace_back(doc->m_data.GetText(row, 1));

    // One edit typed in each pane, on its own row.
    for (size_t p = 0; p < panes.size(); ++p) {
        SCOPED_TRACE(p);
        const int row = static_cast<int>(p) + 1;
        clickIn(p, row);
        EXPECT_EQ(shown(ID_EDIT_UNDO), p > 0);
        tvtest::Type(::GetFocus(), u"分割" + std::u16string(1, static_cast<char16_t>(u'A' + p)));
        tvtest::Key(::GetFocus(), qtplatform::Key_Return, 0, u"\r");
        tvtest::RunUntilIdle();
        ASSERT_EQ(doc->m_data.GetText(row, 1), u"分割" + std::u16string(1, static_cast<char16_t>(u'A' + p)));
        EXPECT_TRUE(shown(ID_EDIT_UNDO));
        EXPECT_FALSE(shown(ID_EDIT_REDO));
    }
    ASSERT_EQ(doc->m_data.m_updatedCount, 4);

    // Ctrl+Z from the panes in turn takes the edits back newest first,
    // whichever pane they were made in.
    for (size_t p = 0; p < panes.size(); ++p) {
        SCOPED_TRACE(p);
        const int undone = 4 - static_cast<int>(p);
        clickIn(p, 5);
        EXPECT_TRUE(shown(ID_EDIT_UNDO));
        tvtest::Key(::GetFocus(), 'Z', ctrl);
        tvtest::RunUntilIdle();
        EXPECT_EQ(doc->m_data.GetText(undone, 1), names[static_cast<size_t>(undone - 1)]);
        EXPECT_EQ(doc->m_data.m_updatedCount, undone - 1);
        EXPECT_EQ(shown(ID_EDIT_UNDO), undone > 1);
        EXPECT_TRUE(shown(ID_EDIT_REDO));
    }
    // Ctrl+Y from the panes in the other order brings them back oldest first.
    for (size_t p = panes.size(); p-- > 0;) {
        SCOPED_TRACE(p);
        const int redone = 4 - static_cast<int>(p);
        clickIn(p, 0);
        EXPECT_TRUE(shown(ID_EDIT_REDO));
        tvtest::Key(::GetFocus(), 'Y', ctrl);
        tvtest::RunUntilIdle();
        EXPECT_EQ(doc->m_data.GetText(redone, 1),
                  u"分割" + std::u16string(1, static_cast<char16_t>(u'A' + redone - 1)));
        EXPECT_EQ(doc->m_data.m_updatedCount, redone);
        EXPECT_EQ(shown(ID_EDIT_REDO), redone < 4);
    }
}

// Sorting while a cell's in-place editor holds typed text: the text is
// stored on the record it was typed on, before the rows move.
TEST_F(ViewCommandTest, SortingWithACellEditOpenKeepsTheTextOnItsRecord) {
    Load(u"社員");
    CGridCtrl& grid = view->m_grid;
    // 氏名 of 1003, typed over.
    CRect r = grid.GetCellRect(1, 2);
    tvtest::Click(grid.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
    tvtest::RunUntilIdle();
    ASSERT_EQ(Narrow(doc->m_data.GetText(2, 0)), "1003");
    tvtest::Type(GetFocus(), u"改名 三郎");
    tvtest::RunUntilIdle();
    ASSERT_TRUE(grid.IsCellEditorVisible());
    // "グリッドのソート" from the menu, 氏名 descending.
    tvtest::ExpectDialog(u"Gridのソート", [](HWND h) {
        tvtest::ClickControl(h, IDC_SORT_DESC1);
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    tvtest::AnswerMenu(ID_DATA_SORT_GRID);
    win32bk::OpenMenuBarPopup(frame->m_hWnd, 2); // "データ"
    tvtest::RunUntilIdle();
    tvtest::VerifyDialogs();
    EXPECT_FALSE(grid.IsCellEditorVisible());
    std::map<std::string, std::string> names;
    for (int row = 0; row < doc->m_data.GetRowCount(); ++row)
        names[Narrow(doc->m_data.GetText(row, 0))] = Narrow(doc->m_data.GetText(row, 1));
    ASSERT_EQ(names.size(), 20u);
    EXPECT_EQ(names["1003"], "改名 三郎");
    EXPECT_EQ(names["1001"], "山田 太郎");
    EXPECT_EQ(doc->m_data.m_updatedCount, 1);
    // Sorted with the new name in its place: descending by 氏名.
    for (int row = 1; row < doc->m_data.GetRowCount(); ++row)
        EXPECT_GE(std::u16string(doc->m_data.GetText(row - 1, 1)),
                  std::u16string(doc->m_data.GetText(row, 1)))
            << row;
}

TEST_F(ViewCommandTest, SearchDialogsShowAgainAfterACloseAndHideEachOther) {
    Load(u"社員");
    Command(ID_EDIT_SEARCH);
    CSearchDlg* search = CTavexView::GetSearchDlg();
    ASSERT_TRUE(::IsWindowVisible(search->m_hWnd));
    EXPECT_EQ(search->m_ownerWnd, view->GetSafeHwnd());
    EXPECT_EQ(search->m_request, &view->m_searchRequest);
    // "閉じる" destroys the window; the command makes it again.
    tvtest::ClickControl(search->m_hWnd, IDCANCEL);
    EXPECT_FALSE(::IsWindow(search->m_hWnd));
    Command(ID_EDIT_SEARCH);
    ASSERT_TRUE(::IsWindow(search->m_hWnd));
    EXPECT_TRUE(::IsWindowVisible(search->m_hWnd));
    // The replace dialog hides the search dialog and takes the selection flag.
    Select(POINT{1, 0}, POINT{2, 3});
    Command(ID_EDIT_SEARCH_REPLACE);
    CReplaceDlg* replace = CTavexView::GetReplaceDlg();
    EXPECT_TRUE(::IsWindowVisible(replace->m_hWnd));
    EXPECT_FALSE(::IsWindowVisible(search->m_hWnd));
    EXPECT_EQ(view->m_searchRequest.inSelection, 1);
    tvtest::ClickControl(replace->m_hWnd, IDCANCEL);
    // A new query hides what is shown and touches no window that is gone.
    Command(ID_EDIT_SEARCH);
    Refresh();
    EXPECT_FALSE(::IsWindowVisible(search->m_hWnd));
    EXPECT_FALSE(::IsWindow(replace->m_hWnd));
}

// The search dialog outlives the pane it was opened from: closing that pane
// unbinds and hides it, and its buttons then touch no view that is gone.
TEST_F(ViewCommandTest, ASearchDialogOfAPaneThatClosesForgetsThePane) {
    Load(u"社員");
    CSplitterWnd& split = frame->m_wndSplitter;
    ASSERT_TRUE(split.SplitRow(200));
    tvtest::Pump();
    auto* lower = dynamic_cast<CTavexView*>(split.GetPane(1, 0));
    ASSERT_NE(lower, nullptr);
    frame->SetActiveView(lower);
    Command(ID_EDIT_SEARCH);
    CSearchDlg* search = CTavexView::GetSearchDlg();
    ASSERT_EQ(search->m_request, &lower->m_searchRequest);
    ASSERT_TRUE(::IsWindowVisible(search->m_hWnd));
    split.DeleteRow(1);
    tvtest::Pump();
    EXPECT_EQ(search->m_request, nullptr);
    EXPECT_EQ(search->m_ownerWnd, nullptr);
    EXPECT_FALSE(::IsWindowVisible(search->m_hWnd));
    ::SetDlgItemTextW(search->m_hWnd, IDC_SEARCH_TEXT, u"田中");
    ::SendMessageW(search->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_NEXT, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(search->m_hWnd, IDC_SEARCH_NEXT)));
    EXPECT_EQ(view->m_searchRequest.searchText.GetLength(), 0);
    // The remaining pane binds it again.
    frame->SetActiveView(view);
    Command(ID_EDIT_SEARCH);
    EXPECT_EQ(search->m_request, &view->m_searchRequest);
    tvtest::ClickControl(search->m_hWnd, IDCANCEL);
}

TEST_F(ViewCommandTest, FilterOpensOnTheCursorColumnFromTheTopLeftPaneOnly) {
    Load(u"社員");
    auto chosen = [] {
        HWND combo = ::GetDlgItem(CTavexView::GetFilterDlg()->m_hWnd, IDC_FILTER_COLUMN);
        LRESULT i = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
        return i < 0 ? -1
                     : static_cast<int>(::SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
    };
    Cursor(3, 4);
    Command(ID_DATA_FILTER);
    CGridFilterDlg* filter = CTavexView::GetFilterDlg();
    ASSERT_TRUE(::IsWindowVisible(filter->m_hWnd));
    EXPECT_EQ(chosen(), 3);
    EXPECT_EQ(filter->m_gridData, &doc->m_data);
    tvtest::ClickControl(filter->m_hWnd, IDCANCEL);
    // Swapped: the cursor row is the table's column.
    Command(ID_DATA_SWAP_ROW_COL);
    view->m_grid.SetCursorCell(2, 5);
    Command(ID_DATA_FILTER);
    EXPECT_EQ(chosen(), 5);
    tvtest::ClickControl(filter->m_hWnd, IDCANCEL);
    Command(ID_DATA_SWAP_ROW_COL);

    // In a 2 x 2 split only pane (0, 0) opens it, whichever pane is active.
    CSplitterWnd& split = frame->m_wndSplitter;
    ASSERT_TRUE(split.SplitRow(200));
    ASSERT_TRUE(split.SplitColumn(300));
    tvtest::Pump();
    ASSERT_EQ(split.GetRowCount(), 2);
    ASSERT_EQ(split.GetColumnCount(), 2);
    auto* lower = dynamic_cast<CTavexView*>(split.GetPane(1, 1));
    ASSERT_NE(lower, nullptr);
    frame->SetActiveView(lower);
    doc->UpdateAllViews(nullptr, HINT_OPEN_FILTER);
    tvtest::Pump();
    EXPECT_TRUE(::IsWindowVisible(filter->m_hWnd));
    EXPECT_EQ(filter->m_ownerWnd, split.GetPane(0, 0)->GetSafeHwnd());
    tvtest::ClickControl(filter->m_hWnd, IDCANCEL);
}

TEST_F(ViewCommandTest, KeyAssignOpensTheKeyDialogAndOkStoresTheBindings) {
    EXPECT_EQ(GetInt(u"ACCELERATOR", u"ACCEL_CNT", -1), -1);
    tvtest::ExpectDialog(u"キー割り当て", [](HWND h) {
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    Command(ID_TOOL_KEY_ASSIGN);
    EXPECT_EQ(GetInt(u"ACCELERATOR", u"ACCEL_CNT", -1), -1) << "Cancel stores nothing";
    tvtest::ExpectDialog(u"キー割り当て", [](HWND h) {
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    Command(ID_TOOL_KEY_ASSIGN);
    EXPECT_EQ(GetInt(u"ACCELERATOR", u"ACCEL_CNT", -1), 17);
}

} // namespace
