// The options changed, saved and read back at the next start, in process:
// the sheet from the running program, a table shown with the new date
// format, NULL text and background, exit; the next start with every value;
// then the same once more into "tavrelix.ini", read by the third start.
#include "app/dialogs/tablelistdlg.h"
#include "app/mainfrm.h"
#include "app/profilescope.h"
#include "app/tavexdoc.h"
#include "app/tavexview.h"
#include "app_fixture.h"
#include "res/options.h"
#include "res/resource.h"
#include "res/tablelist.h"
#include "tests/oracle/standin_fixture.h"

namespace apptest {
namespace {

using oratest::Tap;

class RestartTest : public AppTest {
public:
    CMainFrame* frame = nullptr;
    CTavexDoc* doc = nullptr;
    CTavexView* view = nullptr;

    void StartConnected() {
        ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
        frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
        ASSERT_NE(frame, nullptr);
        doc = dynamic_cast<CTavexDoc*>(frame->GetActiveDocument());
        view = dynamic_cast<CTavexView*>(frame->m_wndSplitter.GetPane(0, 0));
        ASSERT_NE(doc, nullptr);
        ASSERT_NE(view, nullptr);
    }
    // Exit through the menu's command, then the application object's exit.
    void ExitByMenu() {
        frame->SendMessage(WM_COMMAND, ID_APP_EXIT);
        tvtest::Pump();
        Exit();
        frame = nullptr;
        // The quit message the closed window posted ends that run, as a new
        // process would start without it.
        MSG m;
        while (::PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    static bool Parked() {
        auto control = reinterpret_cast<pfn_oci_standin_control>(
            reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
        char reply[256];
        return control && control("gate_wait 0", reply, sizeof reply) == 0;
    }
    // "テーブル選択..." on ALL_TYPES, the worker held until "実行中" shows.
    void LoadAllTypes() {
        static std::thread::id ui;
        static std::atomic<bool> armed;
        ui = std::this_thread::get_id();
        armed = false;
        if (g_oci.OCIStmtExecute != &Tap<&OciEntryPoints::OCIStmtExecute>::Call) oratest::g_real = g_oci;
        apptest::WaitForKeywordLoader();
        TAP(OCIStmtExecute) = [](auto...) {
            if (std::this_thread::get_id() != ui && !armed.exchange(true))
                Control("gate OCIStmtExecute self");
        };
        tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [](HWND h) {
            auto* l = static_cast<CListCtrl*>(CWnd::FromHandle(GetDlgItem(h, IDC_TL_OBJECTS)));
            for (int i = 0; i < l->GetItemCount(); ++i)
                l->SetItemState(i, l->GetItemText(i, 0) == u"ALL_TYPES" ? LVIS_SELECTED : 0, LVIS_SELECTED);
            tvtest::Pump();
            tvtest::ExpectDialog(u"実行中", [released = false](HWND) mutable {
                if (!released) {
                    if (!Parked()) return false;
                    released = true;
                    Control("gate_open");
                }
                return true;
            });
            tvtest::ClickControl(h, IDOK);
            return true;
        });
        frame->SendMessage(WM_COMMAND, ID_FILE_SELECT_TABLE);
        tvtest::Pump();
        TAP(OCIStmtExecute) = nullptr;
    }
    int Column(const char16_t* name) {
        CGridData* d = view->m_grid.GetData();
        for (int c = 0; c < d->GetColCount(); ++c)
            if (std::u16string(d->GetColName(c)) == name) return c;
        return -1;
    }
    // The colour inside the data cell (col, row), clear of its text and lines.
    uint32_t CellBackground(int col, int row) {
        ::UpdateWindow(view->m_grid.m_hWnd);
        qtplatform::Image img = tvtest::Capture(view->m_grid.m_hWnd);
        CRect r = view->m_grid.GetCellRect(col, row);
        return img.At(r.right - 3, r.bottom - 3) & 0xFFFFFF;
    }
    void ReplaceComboText(HWND page, int id, const std::u16string& text) {
        HWND edit = ::GetWindow(tvtest::Control(page, id), GW_CHILD);
        ASSERT_NE(edit, nullptr);
        ::SetWindowTextW(edit, u"");
        RECT r;
        ::GetClientRect(edit, &r);
        tvtest::Click(edit, r.right - 1, r.bottom / 2);
        tvtest::Type(edit, text);
    }
    static void Retype(HWND page, int id, const std::u16string& text) {
        ::SetWindowTextW(tvtest::Control(page, id), u"");
        tvtest::Pump();
        tvtest::TypeInto(page, id, text);
    }
};

TEST_F(RestartTest, ChangedSavedAndReadBackAtTheNextStartsInTheRegistryThenTheIniFile) {
    StartConnected();
    tvtest::ExpectDialog(u"オプション", [this](HWND sheet) {
        HWND setup = tvtest::SheetPage(sheet);
        ReplaceComboText(setup, IDC_SP_DATE_FORMAT, u"YYYY/MM/DD");
        tvtest::ChoosePage(sheet, 1);
        HWND grid = tvtest::SheetPage(sheet);
        Retype(grid, IDC_GP_NULL_TEXT, u"(null)");
        tvtest::AnswerColor([](win32bk::ColorDialogRequest& r) {
            r.color = 0xFFEECC;
            return true;
        });
        tvtest::ClickControl(grid, IDC_GP_COLOR_BG);
        tvtest::ClickControl(grid, IDC_GP_END_KEY_LIKE_EXCEL);
        Retype(grid, IDC_GP_PADDING_TOP, u"4");
        tvtest::ClickControl(sheet, IDOK);
        return true;
    });
    frame->SendMessage(WM_COMMAND, ID_TOOL_OPTION);
    tvtest::Pump();
    EXPECT_EQ(frame->m_wndStatusBar.GetCount(), 7);

    LoadAllTypes();
    ASSERT_TRUE(doc->IsTableLoaded());
    const int date = Column(u"C_DATE");
    ASSERT_GE(date, 0);
    CGridData* d = view->m_grid.GetData();
    EXPECT_EQ(std::u16string(d->GetText(0, date)), u"2024/04/11");
    EXPECT_EQ(std::u16string(view->m_grid.m_nullText), u"(null)");
    EXPECT_EQ(CellBackground(Column(u"C_VARCHAR2"), 0), 0xCCEEFFu); // 0xFFEECC in Windows' order
    ExitByMenu();

    // The second start reads every changed value.
    AppSettings = AppSettingsRecord();
    StartConnected();
    EXPECT_EQ(std::u16string(AppSettings.NLS_DATE_FORMAT), u"YYYY/MM/DD");
    EXPECT_EQ(std::u16string(AppSettings.NULL_TEXT), u"(null)");
    EXPECT_EQ(AppSettings.colors[GRID_BG_COLOR], 0xFFEECCu);
    EXPECT_EQ(AppSettings.END_KEY_LIKE_EXCEL, 1);
    EXPECT_EQ(AppSettings.CELL_PADDING_TOP, 4);
    EXPECT_EQ(frame->m_wndStatusBar.GetCount(), 7);
    LoadAllTypes();
    EXPECT_EQ(std::u16string(view->m_grid.GetData()->GetText(0, Column(u"C_DATE"))), u"2024/04/11");
    EXPECT_EQ(CellBackground(Column(u"C_VARCHAR2"), 0), 0xCCEEFFu);
    // The grid of the new window paints with them.
    EXPECT_EQ(std::u16string(view->m_grid.m_nullText), u"(null)");
    EXPECT_EQ(view->m_grid.GetGridStyle() & 0x10000u, 0x10000u);
    ::UpdateWindow(view->m_grid.m_hWnd);
    // Inside a cell with a value (the middle of the grid may be a NULL cell).
    CRect cell = view->m_grid.GetCellRect(Column(u"C_VARCHAR2"), 1);
    EXPECT_EQ(tvtest::Capture(view->m_grid.m_hWnd).At(cell.left + 2, cell.top + 2) & 0xFFFFFF, 0xCCEEFFu);

    // The sheet shows them; this time into the ini file, with a new NULL text.
    tvtest::ExpectDialog(u"オプション", [](HWND sheet) {
        HWND setup = tvtest::SheetPage(sheet);
        EXPECT_EQ(tvtest::TextOf(tvtest::Control(setup, IDC_SP_DATE_FORMAT)), u"YYYY/MM/DD");
        tvtest::ClickControl(setup, IDC_SP_USE_INI_FILE);
        tvtest::ChoosePage(sheet, 1);
        HWND grid = tvtest::SheetPage(sheet);
        EXPECT_EQ(tvtest::TextOf(tvtest::Control(grid, IDC_GP_NULL_TEXT)), u"(null)");
        EXPECT_EQ(::IsDlgButtonChecked(grid, IDC_GP_END_KEY_LIKE_EXCEL), BST_CHECKED);
        EXPECT_EQ(tvtest::TextOf(tvtest::Control(grid, IDC_GP_PADDING_TOP)), u"4");
        Retype(grid, IDC_GP_NULL_TEXT, u"<NULL>");
        tvtest::ClickControl(sheet, IDOK);
        return true;
    });
    frame->SendMessage(WM_COMMAND, ID_TOOL_OPTION);
    tvtest::Pump();
    ExitByMenu();
    const std::u16string ini = Wide((bin / "tavrelix.ini").string());
    char16_t text[64] = {};
    GetPrivateProfileStringW(u"GRID", u"NULL_TEXT", u"", text, 64, ini.c_str());
    EXPECT_EQ(std::u16string(text), u"<NULL>");
    GetPrivateProfileStringW(u"SESSION", u"NLS_DATE_FORMAT", u"", text, 64, ini.c_str());
    EXPECT_EQ(std::u16string(text), u"YYYY/MM/DD");
    {
        ProfileScope registry(&theApp, u"tavrelix", u"QUARN\\ORACLE");
        EXPECT_EQ(GetStr(u"GRID", u"NULL_TEXT"), u"(null)");
    }

    // The third start reads the ini file.
    AppSettings = AppSettingsRecord();
    StartConnected();
    EXPECT_EQ(theApp.m_pszRegistryKey, nullptr);
    EXPECT_EQ(AppSettings.USE_INI_FILE, 1);
    EXPECT_EQ(std::u16string(AppSettings.NULL_TEXT), u"<NULL>");
    EXPECT_EQ(std::u16string(AppSettings.NLS_DATE_FORMAT), u"YYYY/MM/DD");
    EXPECT_EQ(AppSettings.END_KEY_LIKE_EXCEL, 1);
    EXPECT_EQ(frame->m_wndStatusBar.GetCount(), 7);
}

} // namespace
} // namespace apptest
