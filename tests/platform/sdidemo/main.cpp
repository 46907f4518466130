// sdidemo: the application framework on one screen. A document with two
// kinds of view in a 2 x 2 splitter, a Japanese menu bar, a toolbar, status
// panes and accelerators; "--shot FILE" writes the main window as PNG,
// "--sheet-shot FILE" the two-page options sheet.
#include <afxwin.h>
#include <cstdlib>

#include "display/display.h"
#include "tests/platform/dialogs/template_builder.h"

namespace {

enum : UINT {
    IDR_MAINFRAME = 128,
    ID_DEMO_UPPER = 33001,
    ID_DEMO_LOWER = 33002,
    ID_DEMO_COUNT = 33003,
    ID_INDICATOR_LINES = 33010,
};

class DemoDoc : public CDocument {
    DECLARE_DYNCREATE(DemoDoc)
public:
    std::u16string text = u"SELECT * FROM 社員 WHERE 部署 = '営業'";
    int updates = 0;
    afx_msg void OnUpper() {
        for (char16_t& c : text)
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        ++updates;
        UpdateAllViews(nullptr);
    }
    afx_msg void OnLower() {
        for (char16_t& c : text)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        ++updates;
        UpdateAllViews(nullptr);
    }
    afx_msg void OnUpdateLines(CCmdUI* ui) {
        ui->SetText(CString(u"更新 ") + CString(std::to_string(updates).c_str()));
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(DemoDoc, CDocument)
BEGIN_MESSAGE_MAP(DemoDoc, CDocument)
ON_COMMAND(ID_DEMO_UPPER, OnUpper)
ON_COMMAND(ID_DEMO_LOWER, OnLower)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_LINES, OnUpdateLines)
END_MESSAGE_MAP()

class DemoView : public CView {
    DECLARE_DYNCREATE(DemoView)
public:
    afx_msg void OnPaint() {
        CPaintDC dc(this);
        CRect r;
        GetClientRect(&r);
        auto* doc = static_cast<DemoDoc*>(GetDocument());
        CFrameWnd* frame = GetParentFrame();
        bool active = frame && frame->GetActiveView() == this;
        dc.FillSolidRect(&r, active ? RGB(255, 255, 240) : RGB(255, 255, 255));
        HGDIOBJ old = ::SelectObject(dc.m_hDC, GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(dc.m_hDC, TRANSPARENT);
        int id = GetDlgCtrlID() - AFX_IDW_PANE_FIRST;
        std::u16string head = u"ペイン (" + std::u16string(1, u'0' + id / 16) + u", " +
                              std::u16string(1, u'0' + id % 16) + u")" + (active ? u" — アクティブ" : u"");
        ::SetTextColor(dc.m_hDC, RGB(0, 0, 128));
        ::TextOutW(dc.m_hDC, 8, 8, head.c_str(), static_cast<int>(head.size()));
        ::SetTextColor(dc.m_hDC, RGB(0, 0, 0));
        if (doc) ::TextOutW(dc.m_hDC, 8, 30, doc->text.c_str(), static_cast<int>(doc->text.size()));
        for (int line = 0; line < 6; ++line) {
            std::u16string row =
                u"行 " + std::u16string(1, u'1' + line) + u": データ" + std::u16string(1, u'A' + line);
            ::TextOutW(dc.m_hDC, 8, 56 + line * 18, row.c_str(), static_cast<int>(row.size()));
        }
        ::SelectObject(dc.m_hDC, old);
    }
    void OnActivateView(BOOL activate, CView* a, CView* d) override {
        CView::OnActivateView(activate, a, d);
        Invalidate();
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(DemoView, CView)
BEGIN_MESSAGE_MAP(DemoView, CView)
ON_WM_PAINT()
END_MESSAGE_MAP()

class DemoFrame : public CFrameWnd {
    DECLARE_DYNCREATE(DemoFrame)
public:
    CStatusBar m_status;
    CToolBar m_toolbar;
    CSplitterWnd m_splitter;
    afx_msg int OnCreate(LPCREATESTRUCT cs) {
        if (CFrameWnd::OnCreate(cs) == -1) return -1;
        if (!m_toolbar.CreateEx(this, TBSTYLE_FLAT,
                                WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_GRIPPER | CBRS_TOOLTIPS) ||
            !m_toolbar.LoadToolBar(IDR_MAINFRAME))
            return -1;
        static const UINT indicators[] = {ID_SEPARATOR, ID_INDICATOR_LINES, ID_INDICATOR_CAPS,
                                          ID_INDICATOR_NUM};
        if (!m_status.Create(this) || !m_status.SetIndicators(indicators, 4)) return -1;
        m_status.SetPaneInfo(1, ID_INDICATOR_LINES, SBPS_NORMAL, 90);
        return 0;
    }
    BOOL OnCreateClient(LPCREATESTRUCT, CCreateContext* context) override {
        return m_splitter.Create(this, 2, 2, CSize(10, 10), context);
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(DemoFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(DemoFrame, CFrameWnd)
ON_WM_CREATE()
END_MESSAGE_MAP()

void RegisterResources() {
    RegisterMenuResource(IDR_MAINFRAME, {
                                            {MF_POPUP, 0, u"ファイル(&F)"},
                                            {0, ID_FILE_NEW, u"新規作成(&N)\tCtrl+N"},
                                            {0, 0, nullptr},
                                            {MF_END, ID_APP_EXIT, u"アプリケーションの終了(&X)"},
                                            {MF_POPUP, 0, u"編集(&E)"},
                                            {0, ID_DEMO_UPPER, u"大文字に変換(&U)\tCtrl+U"},
                                            {MF_END, ID_DEMO_LOWER, u"小文字に変換(&L)\tCtrl+K"},
                                            {MF_POPUP | MF_END, 0, u"表示(&V)"},
                                            {0, ID_VIEW_TOOLBAR, u"ツール バー(&T)"},
                                            {MF_END, ID_VIEW_STATUS_BAR, u"ステータス バー(&S)"},
                                        });
    RegisterAcceleratorResource(IDR_MAINFRAME, {{FVIRTKEY | FCONTROL, 'U', ID_DEMO_UPPER},
                                                {FVIRTKEY | FCONTROL, 'K', ID_DEMO_LOWER},
                                                {FVIRTKEY | FCONTROL, 'N', ID_FILE_NEW}});
    CToolBar::RegisterToolBarResource(IDR_MAINFRAME,
                                      {ID_FILE_NEW, ID_SEPARATOR, ID_DEMO_UPPER, ID_DEMO_LOWER});
    AfxRegisterResourceString(IDR_MAINFRAME, u"SDI デモ\nデモ文書");
    AfxRegisterResourceString(AFX_IDS_IDLEMESSAGE, u"レディ");
    AfxRegisterResourceString(ID_FILE_NEW, u"新しい文書を作成します\n新規");
    AfxRegisterResourceString(ID_DEMO_UPPER, u"英字を大文字にします\n大文字");
    AfxRegisterResourceString(ID_DEMO_LOWER, u"英字を小文字にします\n小文字");
    AfxRegisterResourceString(ID_INDICATOR_LINES, u"更新 0");
    AfxRegisterResourceString(ID_INDICATOR_CAPS, u"CAP");
    AfxRegisterResourceString(ID_INDICATOR_NUM, u"NUM");
}

// The two-page sheet, its font given in the sheet callback and to each page
// as the array is built.
class DemoPage : public CPropertyPage {
public:
    explicit DemoPage(const TemplateBuilder& t) {
        m_psp.dwFlags |= PSP_DLGINDIRECT;
        m_psp.pResource = t.Get();
    }
    CString dir = u"/home/user/データ";
    int check = 1;
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, 1001, dir);
        DDX_Check(dx, 1002, check);
    }
};

void SetTemplateFont(void* tmpl) {
    CDialogTemplate t(static_cast<const DLGTEMPLATE*>(tmpl));
    t.SetFont(u"ＭＳ Ｐゴシック", 9);
    memmove(tmpl, GlobalLock(t.m_hTemplate), t.m_dwTemplateSize);
    GlobalUnlock(t.m_hTemplate);
}

class DemoSheet : public CPropertySheet {
public:
    DemoSheet() : CPropertySheet(u"オプション") {
        m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_USECALLBACK;
        m_psh.pfnCallback = [](HWND, UINT msg, LPARAM lParam) {
            if (msg == PSCB_PRECREATE) SetTemplateFont(reinterpret_cast<void*>(lParam));
            return 0;
        };
    }
    void BuildPropPageArray() override {
        CPropertySheet::BuildPropPageArray();
        const BYTE* p = reinterpret_cast<const BYTE*>(m_psh.ppsp);
        for (UINT i = 0; i < m_psh.nPages; ++i, p += reinterpret_cast<const PROPSHEETPAGEW*>(p)->dwSize)
            SetTemplateFont(const_cast<DLGTEMPLATE*>(reinterpret_cast<const PROPSHEETPAGEW*>(p)->pResource));
    }
};

void RunDemoSheet() {
    TemplateBuilder setup(WS_CHILD | WS_CAPTION, 240, 120, u"設定");
    setup.Control(u"Button", u"起動時のディレクトリ", -1, BS_GROUPBOX, 7, 7, 226, 32)
        .Control(u"Edit", u"", 1001, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 14, 19, 190, 13)
        .Control(u"Button", u"...", 1003, WS_TABSTOP, 208, 19, 18, 13)
        .Control(u"Button", u"グリッドの列幅を自動調整する", 1002, WS_TABSTOP | BS_AUTOCHECKBOX, 7, 48, 200,
                 10)
        .Control(u"Static", u"DATE型の書式", -1, 0, 7, 66, 60, 10)
        .Control(u"ComboBox", u"", 1004, WS_TABSTOP | CBS_DROPDOWN, 70, 64, 100, 60);
    TemplateBuilder grid(WS_CHILD | WS_CAPTION, 240, 120, u"グリッド");
    grid.Control(u"Button", u"全角空白を表示", 2001, WS_TABSTOP | BS_AUTOCHECKBOX, 7, 7, 120, 10);
    DemoPage setupPage(setup), gridPage(grid);
    DemoSheet sheet;
    sheet.AddPage(&setupPage);
    sheet.AddPage(&gridPage);
    sheet.DoModal();
}

class DemoApp : public CWinApp {
public:
    DemoApp() : CWinApp(u"sdidemo") {}
    BOOL InitInstance() override {
        for (int i = 1; i + 1 < __argc; ++i)
            if (std::u16string(__wargv[i]) == u"--shot") {
                setenv("TAVRELIX_SCREENSHOT", WideToUtf8(__wargv[i + 1]).c_str(), 1);
                qtplatform::InstallScreenshotFromEnvironment();
            }
        AfxOleInit();
        for (int i = 1; i + 1 < __argc; ++i)
            if (std::u16string(__wargv[i]) == u"--sheet-shot") {
                setenv("TAVRELIX_SCREENSHOT", WideToUtf8(__wargv[i + 1]).c_str(), 1);
                qtplatform::InstallScreenshotFromEnvironment();
                RunDemoSheet();
                return FALSE;
            }
        RegisterResources();
        AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(DemoDoc), RUNTIME_CLASS(DemoFrame),
                                              RUNTIME_CLASS(DemoView)));
        SetProcessArgumentsW({__wargv[0]}); // the demo opens no file
        CCommandLineInfo info;
        ParseCommandLine(info);
        if (!ProcessShellCommand(info)) return FALSE;
        m_pMainWnd->ShowWindow(SW_SHOW);
        // Split as a user dragging both split boxes would.
        auto* frame = static_cast<DemoFrame*>(m_pMainWnd);
        frame->m_splitter.SplitRow(200);
        frame->m_splitter.SplitColumn(380);
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(DemoApp, CWinApp)
ON_COMMAND(ID_FILE_NEW, OnFileNew)
END_MESSAGE_MAP()

DemoApp theApp;

} // namespace
