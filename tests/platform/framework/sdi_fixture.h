// A small single-document application for the framework's tests: a document,
// a view and a frame with a menu bar, toolbar, status bar and accelerators.
#pragma once

#include <string>
#include <vector>

#include <afxwin.h>
#include <gtest/gtest.h>

#include "testing/driver.h"
#include "testing/framework.h"

enum : UINT {
    IDR_TEST = 200,
    ID_BOTH = 40001,     // handled by the view and the document
    ID_DOC_ONLY = 40002, // handled by the document
    ID_GREYED = 40003,   // its update handler disables it
    ID_NO_HANDLER = 40004,
    ID_SUB_FIRST = 40005, // first command of a submenu; its update greys the popup entry
    ID_UNDO = 40006,
    ID_OTHER = 40007,
    ID_F3 = 40008,
    ID_PANE = 40009, // a status pane whose text comes from its update handler
    ID_ENTER = 40010,
};

struct Record {
    static std::vector<std::string>& Log() {
        static std::vector<std::string> log;
        return log;
    }
    static void Add(std::string s) { Log().push_back(std::move(s)); }
};

class TestDoc : public CDocument {
    DECLARE_DYNCREATE(TestDoc)
public:
    static inline bool failOpen = false;
    static inline bool refuseClose = false;
    static inline CWnd* mainDuringOpen = reinterpret_cast<CWnd*>(1);
    static inline int live = 0;
    TestDoc() { ++live; }
    ~TestDoc() override { --live; }
    BOOL OnOpenDocument(LPCWSTR path) override {
        mainDuringOpen = AfxGetMainWnd();
        Record::Add("open");
        (void)path;
        return failOpen ? FALSE : TRUE;
    }
    BOOL OnNewDocument() override {
        mainDuringOpen = AfxGetMainWnd();
        return CDocument::OnNewDocument();
    }
    BOOL SaveModified() override {
        Record::Add("save-modified");
        return refuseClose ? FALSE : TRUE;
    }
    afx_msg void OnBoth() { Record::Add("doc-both"); }
    afx_msg void OnDocOnly() { Record::Add("doc-only"); }
    DECLARE_MESSAGE_MAP()
};

class TestView : public CView {
    DECLARE_DYNCREATE(TestView)
public:
    static inline int live = 0;
    static inline std::vector<int> rowsAtInitialUpdate;
    TestView() { ++live; }
    ~TestView() override { --live; }
    void OnInitialUpdate() override {
        CSplitterWnd* s = GetParentSplitter(this, TRUE);
        rowsAtInitialUpdate.push_back(s ? s->GetRowCount() : 0);
        CView::OnInitialUpdate();
    }
    afx_msg void OnBoth() { Record::Add("view-both"); }
    DECLARE_MESSAGE_MAP()
};

// A splitter that records its removals.
class RecordingSplitter : public CSplitterWnd {
public:
    void DeleteRow(int row) override {
        Record::Add("delete-row " + std::to_string(row));
        CSplitterWnd::DeleteRow(row);
    }
};

class TestFrame : public CFrameWnd {
    DECLARE_DYNCREATE(TestFrame)
public:
    static inline int live = 0;
    static inline bool split = false;
    static inline std::u16string paneText = u"P1";
    static inline bool greyed = true;
    TestFrame() { ++live; }
    ~TestFrame() override { --live; }
    CStatusBar m_status;
    CToolBar m_toolbar;
    RecordingSplitter m_splitter;
    int keysSeen = 0;

    afx_msg int OnCreate(LPCREATESTRUCT cs) {
        if (CFrameWnd::OnCreate(cs) == -1) return -1;
        if (!m_toolbar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_GRIPPER) ||
            !m_toolbar.LoadToolBar(IDR_TEST))
            return -1;
        static const UINT indicators[] = {ID_SEPARATOR, ID_PANE, ID_INDICATOR_CAPS, ID_INDICATOR_NUM};
        if (!m_status.Create(this) || !m_status.SetIndicators(indicators, 4)) return -1;
        m_status.SetPaneInfo(1, ID_PANE, SBPS_NORMAL, 80);
        return 0;
    }
    BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context) override {
        if (!split) return CFrameWnd::OnCreateClient(cs, context);
        return m_splitter.Create(this, 2, 2, CSize(10, 10), context,
                                 WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | SPLS_DYNAMIC_SPLIT);
    }
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) {
            ++keysSeen;
            Record::Add("frame-pretranslate");
        }
        return CFrameWnd::PreTranslateMessage(msg);
    }
    afx_msg void OnGreyed() { Record::Add("greyed-ran"); }
    afx_msg void OnUpdateGreyed(CCmdUI* ui) { ui->Enable(!greyed); }
    afx_msg void OnUpdateSubFirst(CCmdUI* ui) {
        if (ui->m_pSubMenu) ui->m_pMenu->EnableMenuItem(ui->m_nIndex, MF_BYPOSITION | MF_GRAYED);
        ui->Enable(FALSE); // left alone for the popup entry itself
    }
    afx_msg void OnSubFirst() {}
    afx_msg void OnUpdatePane(CCmdUI* ui) { ui->SetText(paneText.c_str()); }
    afx_msg void OnCommandRecorded() {
        const MSG* m = GetCurrentMessage();
        Record::Add("cmd " + std::to_string(LOWORD(m->wParam)) + " hi " + std::to_string(HIWORD(m->wParam)));
    }
    DECLARE_MESSAGE_MAP()
};

class TestApp : public CWinApp {
public:
    TestApp() : CWinApp(u"test") {}
    BOOL InitInstance() override { return TRUE; }
    void AddTemplate() {
        AddDocTemplate(new CSingleDocTemplate(IDR_TEST, RUNTIME_CLASS(TestDoc), RUNTIME_CLASS(TestFrame),
                                              RUNTIME_CLASS(TestView)));
    }
};

void RegisterTestResources();

class SdiTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        tvtest::ClearBoxes();
        tvtest::ClearMenus();
        RegisterTestResources();
        Record::Log().clear();
        TestDoc::failOpen = TestDoc::refuseClose = false;
        TestFrame::split = false;
        TestFrame::greyed = true;
        TestView::rowsAtInitialUpdate.clear();
        app_ = std::make_unique<TestApp>();
        app_->AddTemplate();
    }
    void TearDown() override {
        if (app_->m_pMainWnd && app_->m_pMainWnd->m_hWnd) {
            TestDoc::refuseClose = false;
            app_->m_pMainWnd->DestroyWindow();
        }
        tvtest::Pump();
        // The quit the main frame posted is not for the next test.
        MSG m;
        while (PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        app_.reset();
        EXPECT_EQ(TestFrame::live, 0);
        EXPECT_EQ(TestView::live, 0);
        EXPECT_EQ(TestDoc::live, 0);
    }
    TestFrame* OpenNew() {
        CCommandLineInfo info;
        EXPECT_TRUE(app_->ProcessShellCommand(info));
        auto* frame = static_cast<TestFrame*>(app_->m_pMainWnd);
        tvtest::Pump();
        return frame;
    }
    // Drags the splitter's box down to y = 120: two rows of panes.
    static void SplitByTheBox(CSplitterWnd& s) {
        CRect box = s.GetSplitBox(SB_VERT);
        ASSERT_FALSE(box.IsRectEmpty());
        tvtest::MouseDown(s.m_hWnd, box.CenterPoint().x, box.CenterPoint().y);
        tvtest::MouseMove(s.m_hWnd, box.CenterPoint().x, 120);
        tvtest::MouseUp(s.m_hWnd, box.CenterPoint().x, 120);
        tvtest::Pump();
    }
    std::unique_ptr<TestApp> app_;
};
