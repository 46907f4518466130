// The demonstration of the dialogs and standard controls: the table
// selection form and a dialog with one control of each kind, side by side in
// one window. `--shot FILE` writes the window as a PNG and checks the form's
// size against its font's base units; without it the window stays open.
#include <afxwin.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "demo.h"
#include "display/display.h"
#include "win32/backend.h"

namespace {

class DemoDialog : public CDialog {
public:
    explicit DemoDialog(UINT id) : CDialog(id) {}

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetDlgItemText(IDC_TABLE_FILTER, u"EMP");
        if (auto* owner = static_cast<CComboBox*>(GetDlgItem(IDC_OWNER))) {
            for (const char16_t* o : {u"SCOTT", u"HR", u"SYSTEM"}) owner->AddString(o);
            owner->SelectString(-1, u"SCOTT");
        }
        if (auto* tables = static_cast<CListCtrl*>(GetDlgItem(IDC_TABLE_LIST))) {
            tables->SetExtendedStyle(LVS_EX_FULLROWSELECT);
            tables->InsertColumn(0, u"テーブル名", LVCFMT_LEFT, 150);
            tables->InsertColumn(1, u"種類", LVCFMT_LEFT, 60);
            tables->InsertColumn(2, u"コメント", LVCFMT_LEFT, 120);
            const char16_t* rows[][3] = {{u"EMP", u"TABLE", u"社員マスタ"},
                                         {u"EMP_HISTORY", u"TABLE", u"社員履歴"},
                                         {u"EMP_VIEW", u"VIEW", u"社員一覧"}};
            for (int i = 0; i < 3; ++i) {
                tables->InsertItem(i, rows[i][0]);
                tables->SetItemText(i, 1, rows[i][1]);
                tables->SetItemText(i, 2, rows[i][2]);
            }
            tables->SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        }
        if (auto* columns = static_cast<CListCtrl*>(GetDlgItem(IDC_COLUMN_LIST))) {
            columns->InsertColumn(0, u"列名", LVCFMT_LEFT, 90);
            columns->InsertColumn(1, u"型", LVCFMT_LEFT, 80);
            const char16_t* cols[][2] = {{u"EMPNO", u"NUMBER(4)"},
                                         {u"ENAME", u"VARCHAR2(10)"},
                                         {u"社員番号", u"CHAR(8)"},
                                         {u"入社日", u"DATE"}};
            for (int i = 0; i < 4; ++i) {
                columns->InsertItem(i, cols[i][0]);
                columns->SetItemText(i, 1, cols[i][1]);
            }
        }
        SetDlgItemText(IDC_WHERE, u"DEPTNO = 10");
        SetDlgItemText(IDC_ALIAS, u"社員");
        CheckDlgButton(IDC_DATA_LOCK, BST_CHECKED);
        SetDlgItemText(IDC_NAME_EDIT, u"社員番号");
        SetDlgItemText(IDC_PASSWORD, u"secret");
        SetDlgItemText(IDC_NUMBER, u"42");
        SetDlgItemText(IDC_READONLY, u"読み取り専用");
        CheckRadioButton(IDC_RADIO_A, IDC_RADIO_B, IDC_RADIO_A);
        CheckDlgButton(IDC_CHECK, BST_CHECKED);
        if (auto* kind = static_cast<CComboBox*>(GetDlgItem(IDC_KIND))) {
            for (const char16_t* k : {u"表", u"ビュー", u"シノニム"}) kind->AddString(k);
            kind->SetCurSel(0);
        }
        return TRUE;
    }
};

} // namespace

int main(int argc, char** argv) {
    std::string shot;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--shot") == 0) shot = argv[i + 1];
    qtplatform::Init(&argc, argv);
    CWinApp app(u"dlgdemo");

    DemoDialog form(IDD_TABLE_SELECT), controls(IDD_CONTROLS);
    if (!form.Create(IDD_TABLE_SELECT) || !controls.Create(IDD_CONTROLS)) {
        std::fprintf(stderr, "dlgdemo: the dialogs could not be created\n");
        return 1;
    }
    RECT fr;
    form.GetWindowRect(&fr);
    form.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    controls.SetWindowPos(nullptr, fr.right + 8, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    form.ShowWindow(SW_SHOW);
    controls.ShowWindow(SW_SHOW);
    if (shot.empty()) return qtplatform::Run();

    for (int i = 0; i < 5; ++i) win32bk::PumpPending();
    // The drop-down combo has its edit field; the NOT WS_VISIBLE button stays hidden.
    if (!::GetDlgItem(controls.GetDlgItem(IDC_KIND)->GetSafeHwnd(), 1001) ||
        controls.GetDlgItem(IDC_MARK)->IsWindowVisible() ||
        qtplatform::IsMapped(controls.GetDlgItem(IDC_MARK)->GetSafeHwnd())) {
        std::fprintf(stderr, "dlgdemo: the combo has no edit field or the hidden button shows\n");
        return 1;
    }
    // 298 x 264 units in "ＭＳ Ｐゴシック" 9 pt.
    HFONT font = reinterpret_cast<HFONT>(form.SendMessage(WM_GETFONT));
    SIZE base = win32dlg::BaseUnitsOf(font);
    RECT client;
    form.GetClientRect(&client);
    int wantW = MulDiv(298, base.cx, 4), wantH = MulDiv(264, base.cy, 8);
    std::printf("base units %ld x %ld, form client %ld x %ld (want %d x %d)\n", long(base.cx), long(base.cy),
                long(client.right), long(client.bottom), wantW, wantH);
    if (client.right != wantW || client.bottom != wantH) {
        std::fprintf(stderr, "dlgdemo: the form is not 298 x 264 dialog units\n");
        return 1;
    }
    // The two dialogs side by side in one image.
    qtplatform::Image a = qtplatform::Capture(form.GetSafeHwnd());
    qtplatform::Image b = qtplatform::Capture(controls.GetSafeHwnd());
    qtplatform::Image both;
    both.width = a.width + 8 + b.width;
    both.height = std::max(a.height, b.height);
    both.pixels.assign(size_t(both.width) * size_t(both.height), 0xFF808080u);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            both.pixels[size_t(y) * size_t(both.width) + size_t(x)] = a.At(x, y);
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            both.pixels[size_t(y) * size_t(both.width) + size_t(a.width + 8 + x)] = b.At(x, y);
    if (!qtplatform::SavePng(both, shot)) {
        std::fprintf(stderr, "dlgdemo: cannot write %s\n", shot.c_str());
        return 1;
    }
    form.DestroyWindow();
    controls.DestroyWindow();
    return 0;
}
