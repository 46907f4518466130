// The file dialog's panel: a template's controls made before the dialog
// shows, the hook procedure filling them at WM_INITDIALOG, the test's answer
// setting them as a user would, and CDN_FILEOK reading them and keeping the
// dialog open.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "../dialogs/template_builder.h"
#include "display/display.h"
#include "sdi_fixture.h"
#include "testing/dialogs.h"
#include "win32/filepanel.h"

namespace {

namespace fs = std::filesystem;

constexpr WORD IDD_PANEL = 202;
constexpr int IDC_CODE = 1017;
constexpr int IDC_COLNAME = 1030;

const TemplateBuilder& PanelTemplate() {
    static TemplateBuilder t = [] {
        TemplateBuilder b(WS_CHILD | WS_CLIPSIBLINGS | DS_CONTROL | DS_3DLOOK, 240, 40, u"");
        b.Control(u"Static", u"文字コード", -1, 0, 7, 7, 40, 10)
            .Control(u"ComboBox", u"", IDC_CODE, CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, 50, 5, 90, 80)
            .Control(u"Button", u"1行目にカラム名を出力する", IDC_COLNAME, BS_AUTOCHECKBOX | WS_TABSTOP, 7,
                     24, 150, 10);
        return b;
    }();
    return t;
}

class FilePanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        tvtest::ClearDialogs();
        tvtest::ClearBoxes();
        const TemplateBuilder& t = PanelTemplate();
        resource_ = {RT_DIALOG_ID, nullptr, IDD_PANEL, nullptr, reinterpret_cast<const BYTE*>(t.Get()), 4096};
        win32rc::RegisterResources(&resource_, 1, win32rc::kProgram);
        dir_ = fs::temp_directory_path() / ("tavrelix-panel-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        win32rc::UnregisterResources(&resource_);
        tvtest::ClearDialogs();
        fs::remove_all(dir_);
    }
    static constexpr WORD RT_DIALOG_ID = 5;
    win32rc::Resource resource_{};
    fs::path dir_;
};

struct HookLog {
    LPARAM initParam = 0;
    int fileOks = 0;
    LRESULT chosenCode = 0;
    UINT ticked = 0;
};
HookLog* g_log = nullptr;

INT_PTR HookProc(HWND dlg, UINT msg, WPARAM, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        g_log->initParam = lParam;
        static const std::pair<const char16_t*, int> codes[] = {{u"SJIS", 1}, {u"EUC", 2}, {u"UTF8", 6}};
        for (const auto& [name, code] : codes) {
            LRESULT i = SendDlgItemMessageW(dlg, IDC_CODE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
            SendDlgItemMessageW(dlg, IDC_CODE, CB_SETITEMDATA, WPARAM(i), code);
        }
        SendDlgItemMessageW(dlg, IDC_CODE, CB_SETCURSEL, 0, 0);
        return TRUE;
    }
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_FILEOK) {
        LRESULT sel = SendDlgItemMessageW(dlg, IDC_CODE, CB_GETCURSEL, 0, 0);
        g_log->chosenCode = SendDlgItemMessageW(dlg, IDC_CODE, CB_GETITEMDATA, WPARAM(sel), 0);
        g_log->ticked = IsDlgButtonChecked(dlg, IDC_COLNAME);
        // The first name is refused: the dialog stays for the next answer.
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, ++g_log->fileOks == 1);
        return TRUE;
    }
    return FALSE;
}

// A save request with the panel's template and HookProc on it, the name
// answered into `file`.
template <size_t N> OPENFILENAMEW HookedPanelRequest(WCHAR (&file)[N]) {
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = static_cast<DWORD>(N);
    ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
    ofn.lpfnHook = reinterpret_cast<void*>(&HookProc);
    ofn.lpTemplateName = MAKEINTRESOURCEW(IDD_PANEL);
    return ofn;
}

TEST_F(FilePanelTest, AHookProcedureFillsThePanelReadsItBackAndCanKeepTheDialogOpen) {
    HookLog log;
    g_log = &log;
    WCHAR file[512] = {};
    OPENFILENAMEW ofn = HookedPanelRequest(file);
    std::u16string first = Utf8ToWide((dir_ / "a.txt").c_str()),
                   second = Utf8ToWide((dir_ / "b.txt").c_str());
    tvtest::AnswerFile(first, -1, [](HWND panel) {
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(SendDlgItemMessageW(panel, IDC_CODE, CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(panel, IDC_CODE)), u"SJIS");
        tvtest::Choose(panel, IDC_CODE, u"UTF8");
        tvtest::Tick(panel, IDC_COLNAME);
    });
    tvtest::AnswerFile(second);
    ASSERT_TRUE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(log.initParam, reinterpret_cast<LPARAM>(&ofn));
    EXPECT_EQ(log.fileOks, 2);
    EXPECT_EQ(log.chosenCode, 6);
    EXPECT_EQ(log.ticked, UINT(BST_CHECKED));
    EXPECT_EQ(std::u16string(file), second);
    EXPECT_EQ(tvtest::FileRequests().size(), 2u);
    EXPECT_EQ(win32bk::FileDialogPanel(), nullptr); // gone with the dialog
    g_log = nullptr;
}

// The MFC form: the dialog object is the panel's window while the file
// dialog runs; OnInitDialog fills it, data exchange reads it back in
// OnFileNameOK, whose TRUE keeps the dialog for the next name.
class PanelFileDialog : public CFileDialog {
public:
    PanelFileDialog() : CFileDialog(FALSE) {
        m_ofn.Flags |= OFN_ENABLETEMPLATE;
        m_ofn.lpTemplateName = MAKEINTRESOURCEW(IDD_PANEL);
    }
    int code = 2;
    int columnNames = 0;
    int inits = 0, fileOks = 0;
    HWND panelSeen = nullptr;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_CBIndex(dx, IDC_CODE, code);
        DDX_Check(dx, IDC_COLNAME, columnNames);
    }
    BOOL OnInitDialog() override {
        ++inits;
        panelSeen = m_hWnd;
        for (const char16_t* name : {u"SJIS", u"EUC", u"UTF8"})
            SendDlgItemMessage(IDC_CODE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        return CFileDialog::OnInitDialog();
    }
    BOOL OnFileNameOK() override {
        if (!UpdateData(TRUE)) return TRUE;
        return ++fileOks == 1;
    }
};

TEST_F(FilePanelTest, AnMfcFileDialogIsItsPanelsWindow) {
    PanelFileDialog dlg;
    tvtest::AnswerFile(Utf8ToWide((dir_ / "a.csv").c_str()), -1, [](HWND panel) {
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(panel, IDC_CODE)), u"UTF8"); // index 2 from the member
        tvtest::Choose(panel, IDC_CODE, u"EUC");
        tvtest::Tick(panel, IDC_COLNAME);
    });
    const std::u16string second = Utf8ToWide((dir_ / "b.csv").c_str());
    tvtest::AnswerFile(second);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.inits, 1);
    EXPECT_NE(dlg.panelSeen, nullptr);
    EXPECT_EQ(dlg.fileOks, 2);
    EXPECT_EQ(dlg.code, 1);
    EXPECT_EQ(dlg.columnNames, 1);
    EXPECT_EQ(std::u16string(dlg.GetPathName()), second);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr); // the panel went with the dialog
    EXPECT_FALSE(IsWindow(dlg.panelSeen));
    EXPECT_EQ(dlg.m_ofn.Flags & OFN_ENABLEHOOK, 0u);
}

// Whether the small image appears in the large one at some place.
bool Contains(const qtplatform::Image& large, const qtplatform::Image& small) {
    for (int y = 0; y + small.height <= large.height; ++y)
        for (int x = 0; x + small.width <= large.width; ++x) {
            bool same = true;
            for (int sy = 0; sy < small.height && same; ++sy)
                for (int sx = 0; sx < small.width && same; ++sx)
                    same = large.At(x + sx, y + sy) == small.At(sx, sy);
            if (same) return true;
        }
    return false;
}

// The display's own file dialog (not the recorder): the panel is laid inside
// it, drawn there, its windows' rectangles are where they are shown (its
// combo's list opens beneath the combo, above the dialog), and
// the dialog's own buttons read Japanese; Cancel leaves it a hidden window that goes with the dialog.
TEST_F(FilePanelTest, TheDisplaysFileDialogHoldsThePanel) {
    const win32bk::CommonDialogHooks recorders = win32bk::GetCommonDialogHooks();
    qtplatform::UseQtCommonDialogs();
    HookLog log;
    g_log = &log;
    struct Seen {
        bool called = false, held = false, mapped = false, drawn = false, placed = false, listBelow = false;
        HWND panel = nullptr, keptAbove = nullptr;
        std::vector<std::u16string> buttons;
    } seen;
    qtplatform::WhenCommonDialogShown([&seen] {
        seen.called = true;
        seen.panel = win32bk::FileDialogPanel();
        seen.held = qtplatform::CommonDialogHolds(seen.panel);
        seen.mapped = qtplatform::IsMapped(seen.panel);
        seen.buttons = qtplatform::CommonDialogButtons();
        seen.keptAbove = qtplatform::CommonDialogKeptAbove();
        qtplatform::Image dialog;
        const qtplatform::Image panel = qtplatform::Capture(seen.panel);
        // Its controls are drawn, and the dialog shows them.
        const std::set<uint32_t> colours(panel.pixels.begin(), panel.pixels.end());
        seen.drawn =
            qtplatform::CaptureCommonDialog(&dialog) && colours.size() > 2 && Contains(dialog, panel);
        // Its windows' rectangles are where the display shows them, so a
        // combo's list opens beneath its combo.
        RECT panelRect{}, comboRect{};
        GetWindowRect(seen.panel, &panelRect);
        GetWindowRect(GetDlgItem(seen.panel, IDC_CODE), &comboRect);
        const RECT panelShown = qtplatform::ShownRect(seen.panel);
        const RECT comboShown = qtplatform::ShownRect(GetDlgItem(seen.panel, IDC_CODE));
        seen.placed = EqualRect(&panelRect, &panelShown) && EqualRect(&comboRect, &comboShown) &&
                      panelRect.top > 0; // below the dialog's own controls
        // The combo's list opens beneath it, kept above the dialog.
        HWND combo = GetDlgItem(seen.panel, IDC_CODE);
        SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
        tvtest::Pump();
        HWND list = reinterpret_cast<HWND>(SendMessageW(combo, CB_GETDROPPEDSTATE + 0x100, 0, 0));
        const RECT listShown = list ? qtplatform::ShownRect(list) : RECT{};
        seen.listBelow = list && qtplatform::IsMapped(list) && listShown.left == comboShown.left &&
                         listShown.top == comboShown.bottom && qtplatform::KeptAboveCommonDialog(list);
        SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
        qtplatform::CancelCommonDialog();
    });
    // Its owner's window: the dialog is a transient of it, kept above it.
    HWND owner = CreateWindowExW(0, u"Static", u"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                 nullptr, nullptr, nullptr, nullptr);
    WCHAR file[512] = {};
    OPENFILENAMEW ofn = HookedPanelRequest(file);
    ofn.hwndOwner = owner;
    const BOOL ok = GetSaveFileNameW(&ofn);
    DestroyWindow(owner);
    win32bk::SetCommonDialogHooks(recorders);
    g_log = nullptr;
    EXPECT_FALSE(ok);
    ASSERT_TRUE(seen.called);
    EXPECT_TRUE(seen.held);
    EXPECT_TRUE(seen.mapped);
    EXPECT_TRUE(seen.drawn);
    EXPECT_TRUE(seen.placed);
    EXPECT_TRUE(seen.listBelow);
    EXPECT_EQ(seen.keptAbove, owner);
    EXPECT_EQ(log.fileOks, 0);
    EXPECT_FALSE(IsWindow(seen.panel));
    // Qt's own texts in Japanese, as the rest of the program.
    EXPECT_NE(std::find(seen.buttons.begin(), seen.buttons.end(), u"保存(&S)"), seen.buttons.end());
    EXPECT_NE(std::find(seen.buttons.begin(), seen.buttons.end(), u"キャンセル"), seen.buttons.end());
}

} // namespace
