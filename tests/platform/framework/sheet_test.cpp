// Property sheets driven as a user drives them: tabs from the captions, pages
// made when first shown, a refused exchange keeping the sheet on its page,
// OK and Cancel, and template fonts set before the windows are made.
#include <memory>

#include "../dialogs/template_builder.h"
#include "sdi_fixture.h"
#include "testing/dialogs.h"

namespace {

constexpr int IDC_NUMBER = 1001;
constexpr int IDC_NAME = 1002;

class NumberPage : public CPropertyPage {
public:
    explicit NumberPage(const TemplateBuilder& t) {
        m_psp.dwFlags |= PSP_DLGINDIRECT;
        m_psp.pResource = t.Get();
    }
    int number = 7;
    int initCount = 0, okCount = 0, resetCount = 0;
    BOOL OnInitDialog() override {
        ++initCount;
        return CPropertyPage::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, IDC_NUMBER, number); }
    void OnOK() override { ++okCount; }
    void OnCancel() override { ++resetCount; }
};

class NamePage : public CPropertyPage {
public:
    explicit NamePage(const TemplateBuilder& t) {
        m_psp.dwFlags |= PSP_DLGINDIRECT;
        m_psp.pResource = t.Get();
    }
    CString name = u"untouched";
    int okCount = 0;
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, IDC_NAME, name); }
    void OnOK() override { ++okCount; }
};

TemplateBuilder NumberTemplate(const std::u16string& face = u"") {
    TemplateBuilder t(WS_CHILD | WS_CAPTION | WS_DISABLED, 160, 90, u"数値", face, 9);
    t.Control(u"Static", u"数(&N):", -1, 0, 7, 9, 40, 10);
    t.Control(u"Edit", u"", IDC_NUMBER, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 50, 7, 60, 14);
    return t;
}

TemplateBuilder NameTemplate() {
    TemplateBuilder t(WS_CHILD | WS_CAPTION, 180, 60, u"名前");
    t.Control(u"Edit", u"", IDC_NAME, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 7, 7, 100, 14);
    return t;
}

// Replaces an edit's text as a user does: into the control, select all, type.
void Retype(HWND dlg, int id, const std::u16string& text) {
    HWND c = GetDlgItem(dlg, id);
    ASSERT_NE(c, nullptr);
    SetFocus(c);
    SendMessageW(c, EM_SETSEL, 0, -1);
    tvtest::TypeInto(dlg, id, text);
}

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        tvtest::ClearBoxes();
    }
    void TearDown() override { tvtest::VerifyDialogs(); }
};

std::u16string TabText(HWND tab, int i) {
    char16_t buf[64] = {};
    TCITEMW it{};
    it.mask = TCIF_TEXT;
    it.pszText = buf;
    it.cchTextMax = 64;
    SendMessageW(tab, TCM_GETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&it));
    return buf;
}

TEST_F(SheetTest, TabsPagesMadeWhenShownOkAndCancel) {
    TemplateBuilder numberT = NumberTemplate(), nameT = NameTemplate();
    NumberPage number(numberT);
    NamePage name(nameT);
    CPropertySheet sheet(u"オプション");
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
    sheet.AddPage(&number);
    sheet.AddPage(&name);

    // Cancel: nothing exchanged back, the unseen page never made.
    tvtest::ExpectDialog(u"オプション", [&](HWND dlg) {
        HWND tab = reinterpret_cast<HWND>(SendMessageW(dlg, PSM_GETTABCONTROL, 0, 0));
        EXPECT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 2);
        EXPECT_EQ(TabText(tab, 0), u"数値");
        EXPECT_EQ(TabText(tab, 1), u"名前");
        EXPECT_EQ(GetDlgItem(dlg, ID_APPLY_NOW), nullptr);
        EXPECT_NE(GetDlgItem(dlg, IDOK), nullptr);
        HWND page = tvtest::SheetPage(dlg);
        EXPECT_EQ(page, number.m_hWnd);
        EXPECT_TRUE(IsWindowVisible(page));
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(page, IDC_NUMBER)), u"7");
        EXPECT_EQ(GetFocus(), GetDlgItem(page, IDC_NUMBER)); // the page's first control has the focus
        EXPECT_EQ(name.m_hWnd, nullptr);
        // The page sits inside the tab's frame, below the tabs.
        RECT pr, tr;
        GetWindowRect(page, &pr);
        GetWindowRect(tab, &tr);
        EXPECT_GT(pr.top, tr.top + 10);
        EXPECT_LE(pr.right, tr.right);
        Retype(page, IDC_NUMBER, u"42");
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
    EXPECT_EQ(number.number, 7);
    EXPECT_EQ(number.okCount, 0);
    EXPECT_EQ(number.resetCount, 1);
    EXPECT_EQ(number.initCount, 1);

    // OK after visiting both: each made page exchanges and gets OnOK.
    tvtest::ExpectDialog(u"オプション", [&](HWND dlg) {
        Retype(tvtest::SheetPage(dlg), IDC_NUMBER, u"42");
        tvtest::ChoosePage(dlg, 1);
        EXPECT_EQ(tvtest::SheetPage(dlg), name.m_hWnd);
        EXPECT_FALSE(IsWindowVisible(number.m_hWnd));
        EXPECT_EQ(number.number, 42); // leaving the page exchanged it
        Retype(name.m_hWnd, IDC_NAME, u"新しい");
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(number.number, 42);
    EXPECT_EQ(std::u16string(name.name), u"新しい");
    EXPECT_EQ(number.okCount, 1);
    EXPECT_EQ(name.okCount, 1);

    // A page never shown keeps its member through OK.
    name.name = u"kept";
    tvtest::ExpectDialog(u"オプション", [&](HWND dlg) {
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(std::u16string(name.name), u"kept");
    EXPECT_EQ(name.okCount, 1);
    EXPECT_EQ(number.okCount, 2);
}

TEST_F(SheetTest, ABadIntegerKeepsTheSheetOnItsPage) {
    TemplateBuilder numberT = NumberTemplate(), nameT = NameTemplate();
    NumberPage number(numberT);
    NamePage name(nameT);
    CPropertySheet sheet(u"オプション");
    sheet.AddPage(&number);
    sheet.AddPage(&name);
    int step = 0;
    tvtest::ExpectDialog(u"オプション", [&](HWND dlg) {
        EXPECT_NE(GetDlgItem(dlg, ID_APPLY_NOW), nullptr); // without PSH_NOAPPLYNOW
        Retype(tvtest::SheetPage(dlg), IDC_NUMBER, u"abc");
        tvtest::AnswerBox(IDOK);
        tvtest::ChoosePage(dlg, 1);
        EXPECT_EQ(tvtest::SheetPage(dlg), number.m_hWnd);
        EXPECT_EQ(sheet.GetActiveIndex(), 0);
        EXPECT_EQ(name.m_hWnd, nullptr);
        EXPECT_EQ(SendMessageW(sheet.GetTabControl()->m_hWnd, TCM_GETCURSEL, 0, 0), 0);
        // OK refuses the same way.
        tvtest::AnswerBox(IDOK);
        tvtest::ClickControl(dlg, IDOK);
        EXPECT_TRUE(IsWindow(dlg));
        EXPECT_EQ(number.okCount, 0);
        // Mended, Ctrl+Tab goes on to the next page.
        Retype(tvtest::SheetPage(dlg), IDC_NUMBER, u"5");
        tvtest::Key(GetFocus(), qtplatform::Key_Tab, static_cast<unsigned>(qtplatform::Mods::Ctrl));
        EXPECT_EQ(sheet.GetActiveIndex(), 1);
        ++step;
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(step, 1);
    ASSERT_EQ(tvtest::Boxes().size(), 2u);
    EXPECT_EQ(tvtest::Boxes()[0].text, u"整数を入力してください。");
    EXPECT_EQ(number.number, 5);
}

// The options sheet's font: the sheet's template in the callback, each page's
// in BuildPropPageArray, through CDialogTemplate as MFC programs do it.
class FontSheet : public CPropertySheet {
public:
    FontSheet() : CPropertySheet(u"フォント") {
        m_psh.dwFlags |= PSH_USECALLBACK | PSH_NOAPPLYNOW;
        m_psh.pfnCallback = Callback;
    }
    static inline int precreates = 0;
    static int CALLBACK Callback(HWND, UINT msg, LPARAM lParam) {
        if (msg == PSCB_PRECREATE) {
            ++precreates;
            CDialogTemplate t(reinterpret_cast<const DLGTEMPLATE*>(lParam));
            t.SetFont(u"ＭＳ Ｐゴシック", 18);
            memmove(reinterpret_cast<void*>(lParam), GlobalLock(t.m_hTemplate), t.m_dwTemplateSize);
            GlobalUnlock(t.m_hTemplate);
        }
        return 0;
    }
    void BuildPropPageArray() override {
        CPropertySheet::BuildPropPageArray();
        const BYTE* p = reinterpret_cast<const BYTE*>(m_psh.ppsp);
        for (UINT i = 0; i < m_psh.nPages; ++i) {
            auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(p);
            CDialogTemplate t(psp->pResource);
            t.SetFont(u"ＭＳ Ｐゴシック", 18);
            memmove(const_cast<DLGTEMPLATE*>(psp->pResource), GlobalLock(t.m_hTemplate), t.m_dwTemplateSize);
            GlobalUnlock(t.m_hTemplate);
            p += psp->dwSize;
        }
    }
};

TEST_F(SheetTest, TemplateFontsSetBeforeCreationChangeTheBaseUnits) {
    auto measure = [](CPropertySheet& sheet, const char16_t* caption) {
        RECT r{0, 0, 100, 100};
        LONG sheetHeight = 0;
        tvtest::ExpectDialog(caption, [&](HWND dlg) {
            MapDialogRect(tvtest::SheetPage(dlg), &r);
            auto font = reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0));
            LOGFONTW lf{};
            if (font) GetObjectW(font, sizeof lf, &lf);
            sheetHeight = lf.lfHeight;
            tvtest::ClickControl(dlg, IDCANCEL);
            return true;
        });
        EXPECT_EQ(sheet.DoModal(), IDCANCEL);
        return std::pair(r, sheetHeight);
    };
    TemplateBuilder plainT = NumberTemplate(u"ＭＳ Ｐゴシック");
    NumberPage plain(plainT);
    CPropertySheet plainSheet(u"普通");
    plainSheet.AddPage(&plain);
    auto [small, smallSheet] = measure(plainSheet, u"普通");

    TemplateBuilder bigT = NumberTemplate(u"ＭＳ Ｐゴシック");
    NumberPage big(bigT);
    FontSheet fontSheet;
    fontSheet.AddPage(&big);
    auto [large, largeSheet] = measure(fontSheet, u"フォント");
    EXPECT_EQ(FontSheet::precreates, 1);
    EXPECT_GT(large.bottom, small.bottom * 3 / 2);
    EXPECT_GT(large.right, small.right);
    EXPECT_EQ(largeSheet, -24); // 18 points at 96 dots an inch
    EXPECT_EQ(smallSheet, -12);
    // The caller's template is left as it was.
    win32dlg::Template t;
    ASSERT_TRUE(win32dlg::ParseTemplate(bigT.Get(), 0, &t));
    EXPECT_EQ(t.pointSize, 9);
}

TEST(DialogTemplateTest, SetFontKeepsTheItemsAndRoundTrips) {
    TemplateBuilder src = NumberTemplate();
    CDialogTemplate t(src.Get());
    CString face;
    WORD size = 0;
    EXPECT_FALSE(t.GetFont(face, size));
    ASSERT_TRUE(t.SetFont(u"ＭＳ Ｐゴシック", 9));
    ASSERT_TRUE(t.GetFont(face, size));
    EXPECT_EQ(std::u16string(face), u"ＭＳ Ｐゴシック");
    EXPECT_EQ(size, 9);
    win32dlg::Template a, b;
    ASSERT_TRUE(win32dlg::ParseTemplate(src.Get(), 0, &a));
    ASSERT_TRUE(win32dlg::ParseTemplate(GlobalLock(t.m_hTemplate), t.m_dwTemplateSize, &b));
    GlobalUnlock(t.m_hTemplate);
    EXPECT_EQ(b.title, a.title);
    ASSERT_EQ(b.items.size(), a.items.size());
    for (size_t i = 0; i < a.items.size(); ++i) {
        EXPECT_EQ(b.items[i].className, a.items[i].className);
        EXPECT_EQ(b.items[i].id, a.items[i].id);
        EXPECT_EQ(b.items[i].text, a.items[i].text);
        EXPECT_EQ(b.items[i].cx, a.items[i].cx);
    }
    EXPECT_EQ(
        CDialogTemplate::GetTemplateSize(reinterpret_cast<const DLGTEMPLATE*>(GlobalLock(t.m_hTemplate))),
        t.m_dwTemplateSize);
    GlobalUnlock(t.m_hTemplate);
    SIZE du;
    t.GetSizeInDialogUnits(&du);
    EXPECT_EQ(du.cx, 160);
    EXPECT_EQ(du.cy, 90);
}

} // namespace
