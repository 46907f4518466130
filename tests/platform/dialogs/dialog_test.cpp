// CDialog driven through the user's input: modal rules, keys, focus and data exchange.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <afxwin.h>

#include <atomic>
#include <thread>

#include "template_builder.h"
#include "testing/dialogs.h"
#include "testing/driver.h"
#include "testing/framework.h"

using qtplatform::Key_Escape;
using qtplatform::Key_Return;
using qtplatform::Key_Tab;

namespace {

enum { IDC_NAME = 101, IDC_COUNT = 102, IDC_CHECK = 103, IDC_RADIO1 = 104, IDC_RADIO2 = 105, IDC_ASK = 106 };

CWinApp& App() {
    static CWinApp app(u"dialogs");
    return app;
}

TemplateBuilder FormTemplate() {
    TemplateBuilder t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 200, 120, u"Form",
                      u"Noto Sans CJK JP");
    t.Control(u"Static", u"名前(&N):", -1, SS_LEFT, 5, 5, 40, 10)
        .Control(u"Edit", u"", IDC_NAME, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 50, 5, 100, 12)
        .Control(u"Static", u"件数(&C):", -1, SS_LEFT, 5, 22, 40, 10)
        .Control(u"Edit", u"", IDC_COUNT, WS_TABSTOP | WS_BORDER, 50, 22, 100, 12)
        .Control(u"Button", u"チェック(&K)", IDC_CHECK, BS_AUTOCHECKBOX | WS_TABSTOP, 5, 40, 80, 10)
        .Control(u"Button", u"一", IDC_RADIO1, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 5, 55, 40, 10)
        .Control(u"Button", u"二", IDC_RADIO2, BS_AUTORADIOBUTTON, 50, 55, 40, 10)
        .Control(u"Button", u"確認(&A)", IDC_ASK, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 5, 100, 40, 14)
        .Control(u"Button", u"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 100, 100, 40, 14)
        .Control(u"Button", u"キャンセル", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 150, 100, 45, 14);
    return t;
}

class FormDlg : public CDialog {
public:
    explicit FormDlg(const DLGTEMPLATE* t) { InitModalIndirect(t); }
    CString name;
    int count = 0;
    int check = 0;
    int radio = 0;
    bool focusCount = false;
    bool endInInit = false;
    bool everShown = false;
    int okCalls = 0;
    std::function<void(FormDlg*)> onAsk;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, IDC_NAME, name);
        DDX_Text(dx, IDC_COUNT, count);
        DDX_Check(dx, IDC_CHECK, check);
        DDX_Radio(dx, IDC_RADIO1, radio);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (endInInit) EndDialog(IDABORT);
        if (focusCount) {
            GetDlgItem(IDC_COUNT)->SetFocus();
            return FALSE;
        }
        return TRUE;
    }
    void OnOK() override {
        ++okCalls;
        CDialog::OnOK();
    }
    afx_msg void OnShowWindow(BOOL show, UINT) {
        if (show) everShown = true;
        Default();
    }
    afx_msg void OnAsk() {
        if (onAsk) onAsk(this);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(FormDlg, CDialog)
ON_WM_SHOWWINDOW()
ON_BN_CLICKED(IDC_ASK, OnAsk)
END_MESSAGE_MAP()

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        App();
        tvtest::ClearBoxes();
    }
    void TearDown() override {
        tvtest::VerifyDialogs();
        tvtest::Pump();
    }
};

TEST_F(DialogTest, FilledByTheUserAndConfirmedWithEnter) {
    TemplateBuilder t = FormTemplate();
    FormDlg dlg(t.Get());
    dlg.count = 5;
    tvtest::ExpectDialog(u"Form", [](HWND h) {
        EXPECT_EQ(GetFocus(), GetDlgItem(h, IDC_NAME)); // the first tab stop
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_COUNT)), u"5");
        tvtest::TypeInto(h, IDC_NAME, u"社員番号𠮷");
        tvtest::Key(h, Key_Tab);
        EXPECT_EQ(GetFocus(), GetDlgItem(h, IDC_COUNT));
        tvtest::Type(GetFocus(), u"42"); // the tab selected the old text: it is replaced
        tvtest::Pump();
        tvtest::Tick(h, IDC_CHECK);
        tvtest::ClickControl(h, IDC_RADIO2);
        tvtest::ClickControl(h, IDC_NAME);
        tvtest::Key(GetFocus(), Key_Return);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.name, u"社員番号𠮷");
    EXPECT_EQ(dlg.count, 42);
    EXPECT_EQ(dlg.check, 1);
    EXPECT_EQ(dlg.radio, 1);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

TEST_F(DialogTest, BadIntegerKeepsItOpenWithTheControlSelected) {
    TemplateBuilder t = FormTemplate();
    FormDlg dlg(t.Get());
    tvtest::ExpectDialog(u"Form", [](HWND h) {
        SetDlgItemTextW(h, IDC_COUNT, u"12x");
        tvtest::AnswerBox(IDOK);
        tvtest::Key(GetFocus(), Key_Return);
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_EQ(GetFocus(), GetDlgItem(h, IDC_COUNT));
        EXPECT_EQ(SendDlgItemMessageW(h, IDC_COUNT, EM_GETSEL, 0, 0), MAKELONG(0, 3));
        tvtest::Type(GetFocus(), u"7");
        tvtest::Pump();
        tvtest::Key(GetFocus(), Key_Return);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.count, 7);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].text, u"整数を入力してください。");
}

TEST_F(DialogTest, DisabledDefaultOrCancelButtonSendsNothing) {
    TemplateBuilder t = FormTemplate();
    FormDlg dlg(t.Get());
    tvtest::ExpectDialog(u"Form", [&](HWND h) {
        EnableWindow(GetDlgItem(h, IDOK), FALSE);
        EnableWindow(GetDlgItem(h, IDCANCEL), FALSE);
        int beeps = tvtest::Beeps();
        tvtest::Key(GetFocus(), Key_Return);
        tvtest::Key(GetFocus(), Key_Escape);
        SendMessageW(h, WM_CLOSE, 0, 0);
        EXPECT_EQ(dlg.okCalls, 0);
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_EQ(tvtest::Beeps(), beeps + 3);
        EnableWindow(GetDlgItem(h, IDCANCEL), TRUE);
        tvtest::Key(GetFocus(), Key_Escape);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, InitDialogReturningFalseKeepsItsFocus) {
    TemplateBuilder t = FormTemplate();
    FormDlg dlg(t.Get());
    dlg.focusCount = true;
    tvtest::ExpectDialog(u"Form", [](HWND h) {
        EXPECT_EQ(GetFocus(), GetDlgItem(h, IDC_COUNT));
        EndDialog(h, IDCANCEL);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, EndedDuringInitDialogIsNeverShown) {
    TemplateBuilder t = FormTemplate();
    FormDlg dlg(t.Get());
    dlg.endInInit = true;
    EXPECT_EQ(dlg.DoModal(), IDABORT);
    EXPECT_FALSE(dlg.everShown);
}

TEST_F(DialogTest, EndDialogInsideANestedBoxEndsOnceTheBoxIsAnswered) {
    TemplateBuilder t = FormTemplate();
    FormDlg dlg(t.Get());
    std::atomic<bool> served{false};
    std::thread worker;
    dlg.onAsk = [&](FormDlg* d) {
        HWND edit = ::GetDlgItem(d->GetSafeHwnd(), IDC_NAME);
        tvtest::AnswerBoxWith([&, d, edit](const tvtest::Box&) -> std::optional<int> {
            if (!worker.joinable()) {
                d->EndDialog(IDRETRY);
                EXPECT_FALSE(d->IsWindowVisible()); // hidden at once
                worker = std::thread([&, edit] {
                    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"from worker"));
                    served = true;
                });
            }
            if (!served) return std::nullopt;
            return IDOK;
        });
        d->MessageBox(u"続けますか", u"確認", MB_OKCANCEL);
        EXPECT_EQ(tvtest::TextOf(edit), u"from worker");
    };
    tvtest::ExpectDialog(u"Form", [](HWND h) {
        tvtest::ClickControl(h, IDC_ASK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDRETRY);
    worker.join();
    EXPECT_TRUE(served);
}

TEST_F(DialogTest, TemplateWithoutFontUsesTheSystemBaseUnits) {
    TemplateBuilder t(WS_POPUP | WS_CAPTION, 220, 70, u"Plain");
    t.Control(u"Button", u"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 10, 50, 14);
    CDialog dlg;
    dlg.InitModalIndirect(t.Get());
    tvtest::ExpectDialog(u"Plain", [](HWND h) {
        RECT r;
        GetClientRect(h, &r);
        EXPECT_EQ(r.right, 440);
        EXPECT_EQ(r.bottom, 140);
        RECT b;
        GetWindowRect(GetDlgItem(h, IDOK), &b);
        EXPECT_EQ(b.right - b.left, 100);
        EXPECT_EQ(b.bottom - b.top, 28);
        tvtest::Key(GetFocus(), Key_Return);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(DialogTest, ZeroSizedModalIsVisibleButUnmapped) {
    TemplateBuilder t(WS_POPUP, 0, 0, u"Hidden");
    CDialog dlg;
    dlg.InitModalIndirect(t.Get());
    tvtest::ExpectDialog(u"Hidden", [](HWND h) {
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_FALSE(qtplatform::IsMapped(h));
        EndDialog(h, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(DialogTest, OwnerIsDisabledWhileModalAndParentlessModelessIsOwnedByTheMainWindow) {
    CWnd main;
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400, nullptr,
                              nullptr));
    App().m_pMainWnd = &main;
    TemplateBuilder t = FormTemplate();
    FormDlg modal(t.Get());
    tvtest::ExpectDialog(u"Form", [&](HWND h) {
        EXPECT_FALSE(main.IsWindowEnabled());
        EXPECT_EQ(GetWindow(h, GW_OWNER), main.GetSafeHwnd());
        EndDialog(h, IDOK);
        return true;
    });
    EXPECT_EQ(modal.DoModal(), IDOK);
    EXPECT_TRUE(main.IsWindowEnabled());

    FormDlg modeless(t.Get());
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(modeless.CreateIndirect(t.Get()));
        EXPECT_EQ(GetWindow(modeless.GetSafeHwnd(), GW_OWNER), main.GetSafeHwnd());
        modeless.CenterWindow();
        RECT d, m;
        modeless.GetWindowRect(&d);
        main.GetWindowRect(&m);
        EXPECT_EQ((d.left + d.right) / 2, (m.left + m.right) / 2);
        modeless.DestroyWindow();
        EXPECT_EQ(modeless.GetSafeHwnd(), nullptr);
    }
    App().m_pMainWnd = nullptr;
    main.DestroyWindow();
}

// An edit that asks for every key, as a key-capture box does.
class CaptureEdit : public CEdit {
public:
    std::vector<UINT> keys;

protected:
    afx_msg UINT OnGetDlgCode() { return DLGC_WANTALLKEYS; }
    afx_msg void OnKeyDown(UINT ch, UINT, UINT) { keys.push_back(ch); }
    afx_msg void OnSysKeyDown(UINT ch, UINT, UINT) { keys.push_back(0x10000 | ch); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CaptureEdit, CEdit)
ON_WM_GETDLGCODE()
ON_WM_KEYDOWN()
ON_WM_SYSKEYDOWN()
END_MESSAGE_MAP()

TEST_F(DialogTest, EditWantingAllKeysKeepsEnterEscapeAndAlt) {
    TemplateBuilder t = FormTemplate();
    FormDlg dlg(t.Get());
    CaptureEdit capture;
    tvtest::ExpectDialog(u"Form", [&](HWND h) {
        capture.SubclassWindow(GetDlgItem(h, IDC_NAME));
        tvtest::ClickControl(h, IDC_NAME);
        tvtest::Key(GetFocus(), Key_Return);
        tvtest::Key(GetFocus(), Key_Escape);
        tvtest::Key(GetFocus(), 'X', unsigned(qtplatform::Mods::Alt), u"x");
        tvtest::Pump();
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_EQ(capture.keys, (std::vector<UINT>{VK_RETURN, VK_ESCAPE, 0x10000 | 'X'}));
        // Outside the capture box, Alt+mnemonic clicks the button after all.
        tvtest::ClickControl(h, IDC_COUNT);
        tvtest::Key(GetFocus(), 'K', unsigned(qtplatform::Mods::Alt), u"k");
        tvtest::Pump();
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_CHECK), BST_CHECKED);
        tvtest::Key(GetFocus(), 'N', unsigned(qtplatform::Mods::Alt), u"n");
        tvtest::Pump();
        EXPECT_EQ(GetFocus(), GetDlgItem(h, IDC_NAME)); // the label's next tab stop
        capture.UnsubclassWindow();
        EndDialog(h, IDCANCEL);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, UnexpectedModalDialogFailsAndIsCancelled) {
    static INT_PTR result = 0;
    EXPECT_NONFATAL_FAILURE(
        {
            TemplateBuilder t = FormTemplate();
            FormDlg dlg(t.Get());
            result = dlg.DoModal();
        },
        "unanswered modal dialog \"Form\"");
    EXPECT_EQ(result, IDCANCEL);
}

// Boxes, dialogs and common dialogs take their answers from one queue in the
// order they ask; an answer met out of order fails naming both and stays
// queued for what asks next.
COLORREF PickColour() {
    COLORREF custom[16] = {};
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    cc.lpCustColors = custom;
    cc.rgbResult = 0x102030;
    return ChooseColorW(&cc) ? cc.rgbResult : COLORREF(-1);
}

TEST_F(DialogTest, AnswersAreTakenInTheOrderAsked) {
    TemplateBuilder t = FormTemplate();
    auto okDialog = [](HWND h) {
        tvtest::ClickControl(h, IDOK);
        return true;
    };
    // In order: a box, the dialog, a colour dialog. The two boxes the
    // dialog's poll queues answer the boxes inside the dialog, ahead of the
    // colour dialog's answer queued before.
    tvtest::AnswerBox(IDNO);
    tvtest::ExpectDialog(u"Form", [](HWND h) {
        tvtest::AnswerBox(IDRETRY);
        tvtest::AnswerBox(IDCANCEL);
        EXPECT_EQ(MessageBoxW(h, u"inner", u"Form", MB_RETRYCANCEL), IDRETRY);
        EXPECT_EQ(MessageBoxW(h, u"inner 2", u"Form", MB_RETRYCANCEL), IDCANCEL);
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    tvtest::AnswerColor([](win32bk::ColorDialogRequest& r) {
        r.color = 0x405060;
        return true;
    });
    EXPECT_EQ(MessageBoxW(nullptr, u"first", u"Q", MB_YESNO), IDNO);
    {
        FormDlg dlg(t.Get());
        EXPECT_EQ(dlg.DoModal(), IDOK);
    }
    EXPECT_EQ(PickColour(), 0x405060u);

    // Out of order: the dialog meets the box's answer and is cancelled; the
    // box, asked next, gets it; then the colour dialog meets the dialog's.
    tvtest::AnswerBox(IDYES);
    tvtest::ExpectDialog(u"Form", okDialog);
    static INT_PTR result = 0;
    EXPECT_NONFATAL_FAILURE(
        {
            TemplateBuilder form = FormTemplate();
            FormDlg dlg(form.Get());
            result = dlg.DoModal();
        },
        "out of order: the program asked for modal dialog \"Form\" (template 0), the next queued is "
        "message-box answer 6");
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, u"second", u"Q", MB_YESNO), IDYES);
    static COLORREF got = 0;
    EXPECT_NONFATAL_FAILURE(got = PickColour(),
                            "the program asked for colour dialog, the next queued is dialog \"Form\"");
    EXPECT_EQ(got, COLORREF(-1));
    FormDlg dlg(t.Get());
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(tvtest::PendingDialogs(), 0u);
}

} // namespace

namespace {

// Enter in a multi-line edit: the default button without ES_WANTRETURN
// (Ctrl+Enter still breaks the line), a line break with it; Tab moves on.
TEST_F(DialogTest, MultiLineEditLeavesEnterAndTabToTheDialogUnlessItWantsReturn) {
    const int kNote = 110, kWant = 111;
    TemplateBuilder t(WS_POPUP | WS_CAPTION, 200, 100, u"Notes", u"Noto Sans CJK JP");
    t.Control(u"Edit", u"", kNote, WS_TABSTOP | WS_BORDER | ES_MULTILINE, 5, 5, 100, 30)
        .Control(u"Edit", u"", kWant, WS_TABSTOP | WS_BORDER | ES_MULTILINE | ES_WANTRETURN, 5, 40, 100, 30)
        .Control(u"Button", u"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 120, 80, 40, 14);
    CDialog dlg;
    dlg.InitModalIndirect(t.Get());
    const unsigned ctrl = unsigned(qtplatform::Mods::Ctrl);
    tvtest::ExpectDialog(u"Notes", [&](HWND h) {
        HWND note = GetDlgItem(h, kNote), want = GetDlgItem(h, kWant);
        EXPECT_EQ(GetFocus(), note);
        tvtest::Type(note, u"一");
        tvtest::Key(note, Key_Return, ctrl, u"\n");
        tvtest::Type(note, u"二");
        tvtest::Pump();
        EXPECT_EQ(tvtest::TextOf(note), u"一\r\n二");
        tvtest::Key(note, Key_Tab, 0, u"\t");
        tvtest::Pump();
        EXPECT_EQ(GetFocus(), want);
        tvtest::Key(want, Key_Return, 0, u"\r");
        tvtest::Pump();
        EXPECT_EQ(tvtest::TextOf(want), u"\r\n");
        SetFocus(note);
        tvtest::Key(note, Key_Return, 0, u"\r");
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

} // namespace
