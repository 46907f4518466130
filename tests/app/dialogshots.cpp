// dialogshots --shot DIR: the program in this process, offscreen, logged on
// to DEMO with ALL_TYPES loaded: writes one PNG of each dialog behind the
// view's and the document's commands, opened on real data: search.png (133),
// replace.png (135) and filter.png (217), each also widened (*-wide.png) and
// the replace dialog at its minimum width (replace-narrow.png); keys.png
// (155), dataedit.png (142 on a CLOB, also dataedit-narrow.png),
// sequence.png (144), rows.png (136), sort.png (175), bfile.png (145),
// width.png ("列幅"), about.png (100), export.png (the display's save dialog
// with panel 202 inside it) and the cell context menu of a BLOB and of a
// CLOB cell (menu-blob.png, menu-clob.png). Each must hold more than one
// colour.
#include <set>

#include "app/dialogs/acceleratordlg.h"
#include "display/display.h"
#include "docview_fixture.h"
#include "menushot.h"
#include "res/dialogs4.h"

namespace {

// While a cell menu is open: the main window with the popup over it, then
// the menu is cancelled.
std::function<void(const qtplatform::Image&)> g_menuShot;
bool ShootMenu(const win32bk::ShownMenu&, UINT* command) {
    *command = 0;
    HWND popup = ::GetFocus(); // the loop gives its popup the focus before asking
    if (g_menuShot && popup) g_menuShot(apptest::WithPopup(theApp.m_pMainWnd->m_hWnd, popup));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace apptest;
    if (argc != 3 || std::string(argv[1]) != "--shot") {
        std::fprintf(stderr, "usage: dialogshots --shot DIR\n");
        return 2;
    }
    const fs::path out = argv[2];
    fs::create_directories(out);

    struct Shot : DocViewTest {
        void TestBody() override {}
    } env;
    env.SetUp();
    if (!env.view) return 1;

    std::vector<std::string> written, blank;
    auto keep = [&](const qtplatform::Image& image, const char* name) {
        std::set<uint32_t> colours(image.pixels.begin(), image.pixels.end());
        if (colours.size() < 2) blank.push_back(name);
        if (qtplatform::SavePng(image, (out / name).string())) written.push_back(name);
    };
    auto save = [&](HWND h, const char* name) {
        tvtest::Pump();
        ::UpdateWindow(h);
        keep(tvtest::Capture(h), name);
    };
    // The window made wider by its own width's half, as a user drags its edge.
    auto widen = [&](HWND h, const char* name) {
        RECT r;
        ::GetWindowRect(h, &r);
        ::SetWindowPos(h, nullptr, 0, 0, (r.right - r.left) * 3 / 2, r.bottom - r.top,
                       SWP_NOMOVE | SWP_NOZORDER);
        save(h, name);
    };
    auto command = [&](UINT id) {
        env.frame->SendMessage(WM_COMMAND, id);
        tvtest::Pump();
    };
    // A modal dialog by caption: its picture, then Cancel.
    auto modal = [&](const std::u16string& caption, const char* name, UINT id) {
        tvtest::ExpectDialog(caption, [&save, name](HWND h) {
            save(h, name);
            ::SendMessageW(h, WM_COMMAND, IDCANCEL, 0);
            return true;
        });
        command(id);
    };
    CTavexView* view = env.view;
    CTavexDoc* doc = env.doc;
    env.Load(u"ALL_TYPES");
    int clob = -1, blob = -1, bfile = -1;
    for (int c = 0; c < doc->m_data.GetColCount(); ++c) {
        if (std::u16string(doc->m_data.GetColName(c)) == u"C_CLOB") clob = c;
        if (std::u16string(doc->m_data.GetColName(c)) == u"C_BLOB") blob = c;
        if (std::u16string(doc->m_data.GetColName(c)) == u"C_BFILE") bfile = c;
    }
    auto cursor = [&](int col, int row) {
        view->m_grid.ClearSelection(0);
        view->m_grid.SetCursorCell(col, row);
        tvtest::Pump();
    };

    // The three modeless dialogs with a history entry each.
    view->m_searchRequest.searchText = u"髙橋";
    command(ID_EDIT_SEARCH);
    HWND search = CTavexView::GetSearchDlg()->m_hWnd;
    save(search, "search.png");
    widen(search, "search-wide.png");
    ::SendMessageW(search, WM_COMMAND, IDCANCEL, 0);
    view->m_searchRequest.replaceText = u"高橋";
    command(ID_EDIT_SEARCH_REPLACE);
    HWND replace = CTavexView::GetReplaceDlg()->m_hWnd;
    save(replace, "replace.png");
    widen(replace, "replace-wide.png");
    ::SetWindowPos(replace, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
    save(replace, "replace-narrow.png");
    ::SendMessageW(replace, WM_COMMAND, IDCANCEL, 0);
    cursor(1, 2);
    command(ID_DATA_FILTER);
    HWND filter = CTavexView::GetFilterDlg()->m_hWnd;
    save(filter, "filter.png");
    widen(filter, "filter-wide.png");
    ::SendMessageW(filter, WM_COMMAND, IDCANCEL, 0);

    // The key dialog on the default bindings.
    {
        CAcceleratorDlg keys(env.frame);
        keys.m_table.LoadDefaults();
        tvtest::ExpectDialog(u"キー割り当て", [&save](HWND h) {
            auto* categories =
                static_cast<CListCtrl*>(CWnd::FromHandle(::GetDlgItem(h, IDC_ACCEL_CATEGORIES)));
            categories->SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            tvtest::Pump();
            auto* commands = static_cast<CListCtrl*>(CWnd::FromHandle(::GetDlgItem(h, IDC_ACCEL_COMMANDS)));
            commands->SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            save(h, "keys.png");
            ::SendMessageW(h, WM_COMMAND, IDCANCEL, 0);
            return true;
        });
        keys.DoModal();
    }

    cursor(clob, 0);
    tvtest::ExpectDialog(u"データ編集 Name:C_CLOB Type:CLOB", [&save](HWND h) {
        save(h, "dataedit.png");
        // The narrowest it goes.
        ::SetWindowPos(h, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
        save(h, "dataedit-narrow.png");
        ::SendMessageW(h, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    command(ID_EDIT_DATA);
    view->m_grid.SetSelectArea(POINT{8, 3}, POINT{8, 0}, POINT{8, 3});
    tvtest::Pump();
    modal(u"連番を入力", "sequence.png", ID_EDIT_INPUT_SEQUENCE);
    modal(u"レコード追加(複数行)", "rows.png", ID_DATA_ADD_RECORDS);
    view->m_grid.SetSelectArea(POINT{3, 0}, POINT{1, 0}, POINT{3, 0});
    tvtest::Pump();
    modal(u"Gridのソート", "sort.png", ID_DATA_SORT_GRID);
    cursor(bfile, 0);
    modal(u"BFILE Update", "bfile.png", ID_DATA_BFILE_UPDATE);
    cursor(2, 0);
    modal(u"列幅", "width.png", ID_DATA_COLUMN_WIDTH);
    modal(u"バージョン情報(Tavrelix)", "about.png", ID_APP_ABOUT);

    // The export's save dialog with its panel, as the display shows it.
    {
        const win32bk::CommonDialogHooks recorders = win32bk::GetCommonDialogHooks();
        qtplatform::UseQtCommonDialogs();
        qtplatform::WhenCommonDialogShown([&keep] {
            qtplatform::Image image;
            if (qtplatform::CaptureCommonDialog(&image)) keep(image, "export.png");
            qtplatform::CancelCommonDialog();
        });
        command(ID_FILE_SAVE_DATA);
        win32bk::SetCommonDialogHooks(recorders);
    }

    // The cell menus of a BLOB and of a CLOB cell, over the window.
    auto cellMenu = [&](int col, const char* name) {
        cursor(col, 0);
        view->SetFocus();
        ::UpdateWindow(env.frame->m_hWnd);
        g_menuShot = [&keep, name](const qtplatform::Image& image) { keep(image, name); };
        const win32bk::MenuAnswerHook answers = win32bk::SetMenuAnswerHook(&ShootMenu);
        CRect cell = view->m_grid.GetCellRect(col, 0);
        POINT at = cell.CenterPoint();
        ::ClientToScreen(view->m_grid.m_hWnd, &at);
        view->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view->m_hWnd), MAKELPARAM(at.x, at.y));
        tvtest::Pump();
        win32bk::SetMenuAnswerHook(answers);
        g_menuShot = nullptr;
    };
    cellMenu(blob, "menu-blob.png");
    cellMenu(clob, "menu-clob.png");

    env.TearDown();
    for (const std::string& w : written) std::printf("%s\n", w.c_str());
    for (const std::string& b : blank) std::fprintf(stderr, "blank: %s\n", b.c_str());
    return written.size() == 19 && blank.empty() ? 0 : 1;
}
