// The table-selection dialog on DEMO: lists, filter, columns, chosen list,
// buttons, focus keys, size, the statement it runs and its failures.
#include "tablelist_fixture.h"

namespace {

using namespace dlgtest;
using oratest::Narrow;

HWND Item(HWND dlg, int id) {
    return GetDlgItem(dlg, id);
}

TEST_F(TableDlgTest, OwnersObjectsAndTheFilter) {
    INT_PTR r = Run([&](HWND h) {
        auto owners = ComboItems(h);
        ASSERT_GE(owners.size(), 4u);
        EXPECT_EQ(owners.back(), u"PUBLIC");
        for (size_t i = 1; i + 1 < owners.size(); ++i) EXPECT_LT(owners[i - 1], owners[i]);
        EXPECT_EQ(ComboSelection(h), u"DEMO");
        HWND objects = Item(h, IDC_TL_OBJECTS);
        int emp = ListFind(objects, u"社員");
        ASSERT_GE(emp, 0);
        EXPECT_EQ(ListTexts(objects, 1)[size_t(emp)], u"TABLE");
        EXPECT_EQ(ListTexts(objects, 2)[size_t(emp)], u"社員マスタ");
        EXPECT_GE(ListFind(objects, u"受注明細"), 0);

        tvtest::TypeInto(h, IDC_TL_FILTER, u"^社");
        auto shown = ListTexts(objects);
        EXPECT_GE(ListFind(objects, u"社員"), 0);
        EXPECT_GE(ListFind(objects, u"社員_V"), 0);
        EXPECT_LT(ListFind(objects, u"受注明細"), 0);
        for (auto& n : shown) EXPECT_EQ(n.rfind(u"社", 0), 0u) << WideToUtf8(n.c_str());
        EXPECT_EQ(ListSelected(objects), std::vector<int>{0}); // the first row, nothing matched the table
        EXPECT_EQ(dlg->FilterValid(), 1);

        // Up and Down in the filter move the selection, without wrapping.
        HWND filter = Item(h, IDC_TL_FILTER);
        tvtest::Key(filter, qtplatform::Key_Down);
        tvtest::Pump();
        EXPECT_EQ(ListSelected(objects), std::vector<int>{1});
        tvtest::Key(filter, qtplatform::Key_Down);
        tvtest::Pump();
        EXPECT_EQ(ListSelected(objects), std::vector<int>{int(shown.size()) - 1});
        tvtest::Key(filter, qtplatform::Key_Up);
        tvtest::Key(filter, qtplatform::Key_Up);
        tvtest::Key(filter, qtplatform::Key_Up);
        tvtest::Pump();
        EXPECT_EQ(ListSelected(objects), std::vector<int>{0});

        // A pattern that does not compile shows everything, in red.
        tvtest::TypeInto(h, IDC_TL_FILTER, u"[");
        EXPECT_EQ(dlg->FilterValid(), 0);
        EXPECT_GE(ListFind(objects, u"受注明細"), 0);
        // "Clear" empties it and filters again.
        tvtest::ClickControl(h, IDC_TL_FILTER_CLEAR);
        tvtest::Pump();
        EXPECT_EQ(tvtest::TextOf(filter), u"");
        EXPECT_EQ(dlg->FilterValid(), 1);
        EXPECT_GE(ListFind(objects, u"受注明細"), 0);
        tvtest::ClickControl(h, IDCANCEL);
    });
    EXPECT_EQ(r, IDCANCEL);
}

TEST_F(TableDlgTest, ColumnsChosenListAndButtons) {
    INT_PTR r = Run([&](HWND h) {
        HWND objects = Item(h, IDC_TL_OBJECTS), columns = Item(h, IDC_TL_COLUMNS),
             chosen = Item(h, IDC_TL_CHOSEN);
        EXPECT_FALSE(Enabled(h, IDOK));
        EXPECT_FALSE(Enabled(h, IDC_TL_SAVE));
        ListSelect(objects, ListFind(objects, u"社員"));
        tvtest::Pump();
        auto names = ListTexts(columns);
        ASSERT_EQ(names.size(), 7u);
        EXPECT_EQ(names[0], u"社員番号");
        EXPECT_EQ(ListSelected(columns).size(), 7u); // all selected
        EXPECT_EQ(ListTexts(columns, 4)[0], u"社員番号（主キー）");
        EXPECT_TRUE(Enabled(h, IDOK));
        EXPECT_TRUE(Enabled(h, IDC_TL_SAVE));
        EXPECT_TRUE(Enabled(h, IDC_TL_ADD));
        EXPECT_FALSE(Enabled(h, IDC_TL_DEL));
        EXPECT_FALSE(Enabled(h, IDC_TL_CLEAR));

        // Add two columns, then move the second up.
        ListSelect(columns, 1);
        ListSelect(columns, 3, false);
        tvtest::ClickControl(h, IDC_TL_ADD);
        tvtest::Pump();
        EXPECT_EQ(ListTexts(chosen), (std::vector<std::u16string>{u"氏名", u"部署"}));
        EXPECT_TRUE(Enabled(h, IDC_TL_DEL));
        EXPECT_TRUE(Enabled(h, IDC_TL_CLEAR));
        EXPECT_FALSE(Enabled(h, IDC_TL_UPDOWN)); // two selected
        ListSelect(chosen, 1);
        tvtest::Pump();
        EXPECT_TRUE(Enabled(h, IDC_TL_UPDOWN));
        NMUPDOWN nm{{Item(h, IDC_TL_UPDOWN), IDC_TL_UPDOWN, UINT(UDN_DELTAPOS)}, 0, -1};
        SendMessageW(h, WM_NOTIFY, IDC_TL_UPDOWN, reinterpret_cast<LPARAM>(&nm));
        EXPECT_EQ(ListTexts(chosen), (std::vector<std::u16string>{u"部署", u"氏名"}));
        EXPECT_EQ(ListSelected(chosen), std::vector<int>{0});
        SendMessageW(h, WM_NOTIFY, IDC_TL_UPDOWN, reinterpret_cast<LPARAM>(&nm)); // no row above: nothing
        EXPECT_EQ(ListTexts(chosen), (std::vector<std::u16string>{u"部署", u"氏名"}));

        // Adding a chosen name again only selects it; a double click adds.
        ListSelect(columns, 1);
        NMITEMACTIVATE dbl{};
        dbl.hdr = {columns, IDC_TL_COLUMNS, UINT(NM_DBLCLK)};
        SendMessageW(h, WM_NOTIFY, IDC_TL_COLUMNS, reinterpret_cast<LPARAM>(&dbl));
        EXPECT_EQ(ListTexts(chosen).size(), 2u);
        ListSelect(columns, 0);
        SendMessageW(h, WM_NOTIFY, IDC_TL_COLUMNS, reinterpret_cast<LPARAM>(&dbl));
        EXPECT_EQ(ListTexts(chosen), (std::vector<std::u16string>{u"部署", u"氏名", u"社員番号"}));

        // Reselecting the same table keeps both lists.
        ListSelect(objects, ListFind(objects, u"社員"));
        tvtest::Pump();
        EXPECT_EQ(ListTexts(chosen).size(), 3u);
        EXPECT_EQ(ListSelected(columns), std::vector<int>{0});

        // Del, "&All", Clear.
        ListSelect(chosen, 2);
        tvtest::ClickControl(h, IDC_TL_DEL);
        tvtest::Pump();
        EXPECT_EQ(ListTexts(chosen), (std::vector<std::u16string>{u"部署", u"氏名"}));
        tvtest::ClickControl(h, IDC_TL_ALL);
        tvtest::Pump();
        EXPECT_EQ(ListSelected(columns).size(), 7u);
        tvtest::ClickControl(h, IDC_TL_CLEAR);
        tvtest::Pump();
        EXPECT_TRUE(ListTexts(chosen).empty());
        EXPECT_FALSE(Enabled(h, IDC_TL_CLEAR));

        // Another table loads its columns and empties the chosen list.
        ListSelect(chosen, 0);
        tvtest::ClickControl(h, IDC_TL_ADD);
        ListSelect(objects, ListFind(objects, u"BIG_TABLE"));
        tvtest::Pump();
        EXPECT_TRUE(ListTexts(chosen).empty());
        EXPECT_EQ(ListTexts(columns)[0], u"ID");
        tvtest::ClickControl(h, IDCANCEL);
    });
    EXPECT_EQ(r, IDCANCEL);
}

TEST_F(TableDlgTest, SynonymsAreDescribed) {
    Exec(s, u"create procedure demo_proc is begin null; end;");
    Exec(s, u"create synonym PROC_S for demo_proc");
    Run([&](HWND h) {
        HWND objects = Item(h, IDC_TL_OBJECTS), columns = Item(h, IDC_TL_COLUMNS);
        ListSelect(objects, ListFind(objects, u"EMP"));
        tvtest::Pump();
        EXPECT_EQ(ListTexts(objects, 1)[size_t(ListFind(objects, u"EMP"))], u"SYNONYM");
        auto names = ListTexts(columns);
        ASSERT_EQ(names.size(), 7u);
        EXPECT_EQ(names[1], u"氏名");
        EXPECT_EQ(ListTexts(columns, 3)[1], u"N"); // 氏名 is NOT NULL
        EXPECT_EQ(ListTexts(columns, 3)[2], u"Y");
        EXPECT_EQ(ListTexts(columns, 5)[6], u"7");
        int proc = ListFind(objects, u"PROC_S");
        if (proc >= 0) {
            ListSelect(objects, proc);
            tvtest::Pump();
            EXPECT_TRUE(ListTexts(columns).empty());
        }
        tvtest::ClickControl(h, IDCANCEL);
    });
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
}

TEST_F(TableDlgTest, AltKeysMoveTheFocus) {
    Run([&](HWND h) {
        HWND owner = Item(h, IDC_TL_OWNER);
        struct {
            int key;
            HWND want;
        } cases[] = {{'C', Item(h, IDC_TL_COLUMNS)},
                     {'F', Item(h, IDC_TL_FILTER)},
                     {'T', Item(h, IDC_TL_OBJECTS)},
                     {'W', dlg->WhereEditor().GetSafeHwnd()},
                     {'O', owner}};
        for (auto& c : cases) {
            tvtest::Key(GetFocus() ? GetFocus() : h, c.key, unsigned(qtplatform::Mods::Alt));
            tvtest::Pump();
            EXPECT_EQ(GetFocus(), c.want) << char(c.key);
        }
        tvtest::ClickControl(h, IDCANCEL);
    });
}

TEST_F(TableDlgTest, SizePersists) {
    Run([&](HWND h) {
        SetWindowPos(h, nullptr, 0, 0, 700, 640, SWP_NOMOVE | SWP_NOZORDER);
        tvtest::Pump();
        tvtest::ClickControl(h, IDCANCEL);
    });
    EXPECT_EQ(App().GetProfileInt(u"TABLE_DLG", u"WIDTH", 0), 700u);
    EXPECT_EQ(App().GetProfileInt(u"TABLE_DLG", u"HEIGHT", 0), 640u);
    CTableListDlg again;
    again.m_session = s;
    again.m_owner = u"DEMO";
    RECT rect{};
    tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [&](HWND h) {
        GetWindowRect(h, &rect);
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    again.DoModal();
    EXPECT_EQ(rect.right - rect.left, 700);
    EXPECT_EQ(rect.bottom - rect.top, 640);
}

// OK: the chosen list or every column, the condition with its prefix, the
// query behind the progress dialog.
TEST_F(TableDlgTest, OkRunsTheStatement) {
    dlg->m_table = u"社員";
    INT_PTR r = Run([&](HWND h) {
        TypeWhere(u"部署 = '営業部' order by 給与 desc");
        ExpectQuery();
        tvtest::ClickControl(h, IDOK);
    });
    ASSERT_EQ(r, IDOK) << BoxTexts();
    ASSERT_NE(dlg->m_result, nullptr);
    EXPECT_EQ(dlg->m_columns.size(), 7u);
    EXPECT_EQ(Narrow(dlg->m_where), "WHERE 部署 = '営業部' order by 給与 desc");
    EXPECT_EQ(Narrow(dlg->m_alias), "a");
    ASSERT_EQ(dlg->m_result->row_count, 4);
    EXPECT_EQ(dlg->m_result->col_count, 8); // the row id last
    std::string ids;
    for (int i = 0; i < 4; ++i) ids += WideToUtf8(oci_get_dataset_data(dlg->m_result, i, 0)) + " ";
    EXPECT_EQ(ids, "1016 1011 1006 1001 ");
}

TEST_F(TableDlgTest, ReadOnlyExpressionsAndIndexOrganisedTables) {
    dlg->m_table = u"受注明細";
    dlg->m_columns = {u"商品名", u"数量 * 単価 /*READONLY*/"};
    ASSERT_EQ(Run([&](HWND h) {
                  ExpectQuery();
                  EXPECT_EQ(ListTexts(Item(h, IDC_TL_CHOSEN)),
                            (std::vector<std::u16string>{u"商品名", u"数量 * 単価 /*READONLY*/"}));
                  tvtest::ClickControl(h, IDOK);
              }),
              IDOK)
        << BoxTexts();
    OraDataset* ds = dlg->m_result;
    ASSERT_NE(ds, nullptr);
    ASSERT_EQ(ds->col_count, 5);
    EXPECT_EQ(WideToUtf8(ds->cols[2].wname), "ROWID");
    EXPECT_EQ(WideToUtf8(ds->cols[3].wname), "受注番号");
    EXPECT_EQ(WideToUtf8(ds->cols[4].wname), "明細番号");
    EXPECT_EQ(WideToUtf8(oci_get_dataset_data(ds, 0, 2)), "X");
}

TEST_F(TableDlgTest, ASynonymOfAnIndexOrganisedTableUsesTheRowId) {
    Exec(s, u"create synonym 受注_S for 受注明細");
    dlg->m_table = u"受注_S";
    dlg->m_columns = {u"商品名"};
    ASSERT_EQ(Run([&](HWND h) {
                  ExpectQuery();
                  tvtest::ClickControl(h, IDOK);
              }),
              IDOK)
        << BoxTexts();
    ASSERT_NE(dlg->m_result, nullptr);
    ASSERT_EQ(dlg->m_result->col_count, 2);
    EXPECT_EQ(WideToUtf8(dlg->m_result->cols[1].wname), "ROWID");
}

TEST_F(TableDlgTest, LockHoldsEvenAfterATrailingComment) {
    dlg->m_table = u"社員";
    dlg->m_lock = 1;
    dlg->m_where = u"社員番号 = 1001 -- note";
    ASSERT_EQ(Run([&](HWND h) {
                  ExpectQuery();
                  EXPECT_EQ(IsDlgButtonChecked(h, IDC_TL_LOCK), UINT(BST_CHECKED));
                  tvtest::ClickControl(h, IDOK);
              }),
              IDOK)
        << BoxTexts();
    EXPECT_EQ(dlg->m_lock, 1);
    OraSession* other = LogonDemo();
    ASSERT_NE(other, nullptr);
    CString msg;
    EXPECT_NE(oci_exec_sql(other, u"select * from 社員 where 社員番号 = 1001 for update nowait", &msg),
              ORARC_OK);
    EXPECT_NE(msg.Find(u"ORA-00054"), -1) << Narrow(msg);
}

TEST_F(TableDlgTest, LongRawIsRefused) {
    dlg->m_table = u"LONG_RAW_DATA";
    Run([&](HWND h) {
        tvtest::AnswerBox(IDOK);
        tvtest::ClickControl(h, IDOK);
        tvtest::Pump();
        EXPECT_TRUE(IsWindow(h)); // the dialog stays
        tvtest::ClickControl(h, IDCANCEL);
    });
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"ERROR");
    EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()), "LONG RAWはサポートされていません");
    EXPECT_EQ(dlg->m_result, nullptr);
}

TEST_F(TableDlgTest, OkRollsBackFirst) {
    Exec(s, u"update 社員 set 氏名 = 'x' where 社員番号 = 1001");
    dlg->m_table = u"社員";
    dlg->m_columns = {u"氏名"};
    dlg->m_where = u"社員番号 = 1001";
    ASSERT_EQ(Run([&](HWND h) {
                  ExpectQuery();
                  tvtest::ClickControl(h, IDOK);
              }),
              IDOK)
        << BoxTexts();
    EXPECT_NE(WideToUtf8(oci_get_dataset_data(dlg->m_result, 0, 0)), "x");
}

TEST_F(TableDlgTest, AutoRunWithAFailingQueryCancels) {
    dlg->m_table = u"社員";
    dlg->m_columns = {u"氏名"};
    dlg->m_where = u"no_such_column = 1";
    dlg->m_autoRun = 1;
    tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [&](HWND h) {
        EXPECT_FALSE(Enabled(h, IDOK));
        ExpectQuery();
        tvtest::AnswerBox(IDOK); // the query's error
        tvtest::Advance(10);     // the shortest timer Windows runs
        return true;
    });
    EXPECT_EQ(dlg->DoModal(), IDCANCEL);
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"ERROR");
    EXPECT_EQ(dlg->m_result, nullptr);
}

// An automatic OK that stops before its query (a refused column, a failed
// rollback) leaves the dialog as a plain opening: the owner's objects, the
// filter open to typing, OK by its rule (Enter runs it).
TEST_F(TableDlgTest, AnAutomaticOkStoppedBeforeItsQueryLeavesTheDialogToTheUser) {
    auto typable = [](HWND h) {
        return (GetWindowLongW(GetDlgItem(h, IDC_TL_FILTER), GWL_STYLE) & ES_READONLY) == 0;
    };
    dlg->m_table = u"LONG_RAW_DATA";
    dlg->m_autoRun = 1;
    tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [&](HWND h) {
        HWND objects = Item(h, IDC_TL_OBJECTS);
        EXPECT_EQ(ListTexts(objects), std::vector<std::u16string>{u"LONG_RAW_DATA"});
        EXPECT_FALSE(Enabled(h, IDOK));
        EXPECT_FALSE(typable(h));
        tvtest::AnswerBox(IDOK); // "LONG RAWはサポートされていません"
        tvtest::Advance(10);
        EXPECT_TRUE(IsWindow(h));
        EXPECT_TRUE(Enabled(h, IDOK));
        EXPECT_TRUE(typable(h));
        EXPECT_GE(ListFind(objects, u"受注明細"), 0);
        EXPECT_EQ(ListSelected(objects), std::vector<int>{ListFind(objects, u"LONG_RAW_DATA")});
        EXPECT_EQ(ListTexts(Item(h, IDC_TL_CHOSEN)), (std::vector<std::u16string>{u"ID", u"DATA"}));
        // The user filters to another table and presses Enter.
        tvtest::TypeInto(h, IDC_TL_FILTER, u"^社員$");
        EXPECT_EQ(ListTexts(objects), std::vector<std::u16string>{u"社員"});
        EXPECT_TRUE(Enabled(h, IDOK));
        ExpectQuery();
        tvtest::Key(Item(h, IDC_TL_FILTER), qtplatform::Key_Return);
        tvtest::Pump();
        if (!dlg->m_result) tvtest::ClickControl(h, IDCANCEL); // Enter did nothing
        return true;
    });
    EXPECT_EQ(dlg->DoModal(), IDOK) << BoxTexts();
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()), "LONG RAWはサポートされていません");
    EXPECT_EQ(Narrow(dlg->m_table), "社員");
    EXPECT_NE(dlg->m_result, nullptr);

    // A rollback that fails: the same.
    tvtest::ClearBoxes();
    if (dlg->m_result) {
        oci_free_dataset(dlg->m_result);
        delete dlg->m_result;
    }
    dlg = std::make_unique<CTableListDlg>();
    dlg->m_session = s;
    dlg->m_owner = u"DEMO";
    dlg->m_table = u"社員";
    dlg->m_autoRun = 1;
    Control("fail OCITransRollback 3113 1");
    Run([&](HWND h) {
        tvtest::AnswerBox(IDOK); // the rollback's error
        tvtest::Advance(10);
        EXPECT_TRUE(IsWindow(h));
        EXPECT_TRUE(Enabled(h, IDOK));
        EXPECT_TRUE(typable(h));
        EXPECT_GE(ListFind(Item(h, IDC_TL_OBJECTS), u"受注明細"), 0);
        tvtest::ClickControl(h, IDCANCEL);
    });
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"Error");
    EXPECT_NE(tvtest::Boxes()[0].text.find(u"ORA-03113"), std::u16string::npos) << BoxTexts();
}

// Type-ahead in the owner combo: repeated letters, the pause, Shift, arrows,
// and the change reaching the dialog only when the timer fires.
TEST_F(TableDlgTest, OwnerTypeAhead) {
    Run([&](HWND h) {
        HWND combo = Item(h, IDC_TL_OWNER);
        HWND objects = Item(h, IDC_TL_OBJECTS);
        auto owners = ComboItems(h);
        std::vector<std::u16string> s_owners;
        for (auto& o : owners)
            if (o[0] == u'S') s_owners.push_back(o);
        ASSERT_GE(s_owners.size(), 2u);
        size_t objectsBefore = ListTexts(objects).size();
        SendMessageW(combo, WM_CHAR, 's', 0);
        EXPECT_EQ(ComboSelection(h), s_owners[0]);
        tvtest::Advance(50);
        SendMessageW(combo, WM_CHAR, 's', 0);
        EXPECT_EQ(ComboSelection(h), s_owners[1]);
        // Nothing reached the dialog yet.
        SendMessageW(combo, WM_KEYUP, 'S', 0);
        EXPECT_EQ(ListTexts(objects).size(), objectsBefore);
        tvtest::Advance(199);
        EXPECT_EQ(ListTexts(objects).size(), objectsBefore);
        tvtest::Advance(2);
        tvtest::Pump();
        EXPECT_NE(ListTexts(objects).size(), objectsBefore); // the other owner's objects
        // A pause starts a new prefix: "d" finds DEMO.
        tvtest::Advance(300);
        SendMessageW(combo, WM_CHAR, 'd', 0);
        EXPECT_EQ(ComboSelection(h), u"DEMO");
        // Shift searches backwards: from DEMO, the last S owner.
        tvtest::Advance(300);
        tvtest::SetKeyState(VK_SHIFT, true);
        SendMessageW(combo, WM_CHAR, 's', 0);
        tvtest::SetKeyState(VK_SHIFT, false);
        EXPECT_EQ(ComboSelection(h), s_owners.back());
        // Arrows wrap.
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
        SendMessageW(combo, WM_KEYDOWN, VK_UP, 0);
        EXPECT_EQ(ComboSelection(h), u"PUBLIC");
        SendMessageW(combo, WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_EQ(ComboSelection(h), owners[0]);
        EXPECT_NE(SendMessageW(combo, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, 0);
        tvtest::ClickControl(h, IDCANCEL);
    });
}

} // namespace
