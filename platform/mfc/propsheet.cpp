// Property sheets: the sheet window (a dialog with a tab control and its
// buttons), pages made when first shown, and dialog templates rewritten with
// another font.
#include "mfc/propsheet.h"

#include <algorithm>
#include <cstring>

#include "mfc/app.h"
#include "win32/template_writer.h"

IMPLEMENT_DYNAMIC(CTabCtrl, CWnd)
IMPLEMENT_DYNAMIC(CPropertyPage, CDialog)
IMPLEMENT_DYNAMIC(CPropertySheet, CWnd)

namespace {

// Room left after a template's bytes, so that a caller may copy a template
// with a longer font name over it, as sheet callbacks do.
constexpr size_t kTemplateSlack = 512;
constexpr UINT kTabId = 0x3020;
constexpr int kMargin = 7;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;

// --- Template writing -----------------------------------------------------------------------------

WORD PredefinedOrdinal(const std::u16string& cls) {
    static const std::pair<const char16_t*, WORD> names[] = {{u"Button", 0x80},    {u"Edit", 0x81},
                                                             {u"Static", 0x82},    {u"ListBox", 0x83},
                                                             {u"ScrollBar", 0x84}, {u"ComboBox", 0x85}};
    for (const auto& [name, ord] : names)
        if (cls == name) return ord;
    return 0;
}

// The template in Windows' layout, the kind (extended or not) kept.
std::vector<BYTE> WriteTemplate(const win32dlg::Template& t) {
    tmplwrite::Dialog d;
    d.extended = t.extended;
    d.style = t.style;
    d.exStyle = t.exStyle;
    d.helpId = t.helpId;
    d.x = t.x, d.y = t.y, d.cx = t.cx, d.cy = t.cy;
    d.menu = t.menu;
    d.menuOrdinal = t.menuOrdinal;
    d.className = t.className;
    d.title = t.title;
    d.font = (t.style & DS_SETFONT) != 0;
    d.pointSize = t.pointSize, d.weight = t.weight, d.italic = t.italic, d.charset = t.charset;
    d.face = t.face;
    for (const win32dlg::Item& it : t.items) {
        tmplwrite::Control c;
        c.style = it.style;
        c.exStyle = it.exStyle;
        c.helpId = it.helpId;
        c.x = it.x, c.y = it.y, c.cx = it.cx, c.cy = it.cy;
        c.id = it.id;
        c.className = it.className;
        c.classOrdinal = PredefinedOrdinal(it.className);
        c.text = it.text;
        c.textOrdinal = it.textOrdinal ? int(it.textOrdinal) : -1;
        c.creationData = it.creationData;
        d.controls.push_back(std::move(c));
    }
    return tmplwrite::Write(d);
}

std::vector<BYTE> WithSlack(std::vector<BYTE> bytes) {
    bytes.resize(bytes.size() + kTemplateSlack, 0);
    return bytes;
}

// The base units of a template's font (the system dialog font's without one).
SIZE TemplateBaseUnits(const win32dlg::Template& t) {
    if (!(t.style & DS_SETFONT)) return win32dlg::BaseUnitsOf(nullptr);
    HDC dc = ::CreateCompatibleDC(nullptr);
    int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ::DeleteDC(dc);
    if (dpi <= 0) dpi = 96;
    LOGFONTW lf{};
    lf.lfHeight = -::MulDiv(t.pointSize, dpi, 72);
    lf.lfWeight = t.weight ? t.weight : FW_NORMAL;
    lf.lfItalic = t.italic;
    lf.lfCharSet = t.charset;
    size_t n = std::min<size_t>(t.face.size(), LF_FACESIZE - 1);
    std::copy_n(t.face.data(), n, lf.lfFaceName);
    HFONT f = ::CreateFontIndirectW(&lf);
    SIZE s = win32dlg::BaseUnitsOf(f);
    ::DeleteObject(f);
    return s;
}

HWND SheetOwner(CWnd* parent) {
    HWND p = parent ? parent->GetSafeHwnd() : nullptr;
    if (!p)
        if (CWnd* main = AfxGetMainWnd()) p = main->GetSafeHwnd();
    return p ? ::GetAncestor(p, GA_ROOT) : nullptr;
}

const BYTE* FindTemplateBytes(LPCWSTR name) {
    if (!name) return nullptr;
    HRSRC res = ::FindResourceW(nullptr, name, RT_DIALOG);
    if (!res) return nullptr;
    return static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, res)));
}

} // namespace

// --- CDialogTemplate --------------------------------------------------------------------------------

CDialogTemplate::CDialogTemplate(const DLGTEMPLATE* tmpl) {
    if (tmpl) SetTemplate(tmpl, GetTemplateSize(tmpl));
}

CDialogTemplate::CDialogTemplate(HGLOBAL tmpl) {
    if (!tmpl) return;
    auto* p = static_cast<const DLGTEMPLATE*>(::GlobalLock(tmpl));
    SetTemplate(p, GetTemplateSize(p));
    ::GlobalUnlock(tmpl);
}

CDialogTemplate::~CDialogTemplate() {
    if (m_hTemplate) ::GlobalFree(m_hTemplate);
}

UINT CDialogTemplate::GetTemplateSize(const DLGTEMPLATE* tmpl) {
    return UINT(win32dlg::TemplateSize(tmpl));
}

BOOL CDialogTemplate::Load(LPCWSTR name) {
    auto* p = reinterpret_cast<const DLGTEMPLATE*>(FindTemplateBytes(name));
    return p ? SetTemplate(p, GetTemplateSize(p)) : FALSE;
}

BOOL CDialogTemplate::SetTemplate(const DLGTEMPLATE* tmpl, UINT size) {
    win32dlg::Template t;
    if (!tmpl || !win32dlg::ParseTemplate(tmpl, size, &t)) return FALSE;
    std::vector<BYTE> bytes = WriteTemplate(t);
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!h) return FALSE;
    std::memcpy(::GlobalLock(h), bytes.data(), bytes.size());
    ::GlobalUnlock(h);
    if (m_hTemplate) ::GlobalFree(m_hTemplate);
    m_hTemplate = h;
    m_dwTemplateSize = DWORD(bytes.size());
    m_bSystemFont = (t.style & DS_SETFONT) == 0;
    return TRUE;
}

BOOL CDialogTemplate::SetFont(LPCWSTR face, WORD size) {
    if (!m_hTemplate || !face) return FALSE;
    win32dlg::Template t;
    bool ok = win32dlg::ParseTemplate(::GlobalLock(m_hTemplate), m_dwTemplateSize, &t);
    ::GlobalUnlock(m_hTemplate);
    if (!ok) return FALSE;
    if (!(t.style & DS_SETFONT)) t.weight = FW_NORMAL, t.italic = 0, t.charset = DEFAULT_CHARSET;
    t.style |= DS_SETFONT;
    t.face = face;
    t.pointSize = size;
    std::vector<BYTE> bytes = WriteTemplate(t);
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!h) return FALSE;
    std::memcpy(::GlobalLock(h), bytes.data(), bytes.size());
    ::GlobalUnlock(h);
    ::GlobalFree(m_hTemplate);
    m_hTemplate = h;
    m_dwTemplateSize = DWORD(bytes.size());
    m_bSystemFont = FALSE;
    return TRUE;
}

BOOL CDialogTemplate::HasFont() const {
    CString face;
    WORD size = 0;
    return GetFont(face, size);
}

BOOL CDialogTemplate::GetFont(CString& face, WORD& size) const {
    if (!m_hTemplate) return FALSE;
    win32dlg::Template t;
    bool ok = win32dlg::ParseTemplate(::GlobalLock(m_hTemplate), m_dwTemplateSize, &t);
    ::GlobalUnlock(m_hTemplate);
    if (!ok || !(t.style & DS_SETFONT)) return FALSE;
    face = t.face.c_str();
    size = t.pointSize;
    return TRUE;
}

void CDialogTemplate::GetSizeInDialogUnits(SIZE* size) const {
    *size = SIZE{0, 0};
    if (!m_hTemplate) return;
    win32dlg::Template t;
    if (win32dlg::ParseTemplate(::GlobalLock(m_hTemplate), m_dwTemplateSize, &t)) *size = SIZE{t.cx, t.cy};
    ::GlobalUnlock(m_hTemplate);
}

void CDialogTemplate::GetSizeInPixels(SIZE* size) const {
    *size = SIZE{0, 0};
    if (!m_hTemplate) return;
    win32dlg::Template t;
    if (win32dlg::ParseTemplate(::GlobalLock(m_hTemplate), m_dwTemplateSize, &t)) {
        SIZE base = TemplateBaseUnits(t);
        *size = SIZE{::MulDiv(t.cx, base.cx, 4), ::MulDiv(t.cy, base.cy, 8)};
    }
    ::GlobalUnlock(m_hTemplate);
}

HGLOBAL CDialogTemplate::Detach() {
    HGLOBAL h = m_hTemplate;
    m_hTemplate = nullptr;
    m_dwTemplateSize = 0;
    return h;
}

// --- CTabCtrl ---------------------------------------------------------------------------------------

BOOL CTabCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    win32bk::EnsureControlClasses();
    return CWnd::Create(WC_TABCONTROLW, u"", style | WS_CHILD, rect, parent, id);
}

LONG CTabCtrl::InsertItem(int item, LPCWSTR text) {
    TCITEMW it{};
    it.mask = TCIF_TEXT;
    it.pszText = const_cast<LPWSTR>(text);
    return InsertItem(item, &it);
}

// --- CPropertyPage ----------------------------------------------------------------------------------

CPropertyPage::CPropertyPage() {
    m_psp.dwSize = sizeof m_psp;
}

CPropertyPage::CPropertyPage(UINT idTemplate, UINT idCaption, DWORD) {
    m_psp.dwSize = sizeof m_psp;
    Construct(idTemplate, idCaption);
}

CPropertyPage::CPropertyPage(LPCWSTR templateName, UINT idCaption, DWORD) {
    m_psp.dwSize = sizeof m_psp;
    Construct(templateName, idCaption);
}

void CPropertyPage::Construct(UINT idTemplate, UINT idCaption) {
    m_nIDHelp = idTemplate;
    Construct(MAKEINTRESOURCEW(idTemplate), idCaption);
}

void CPropertyPage::Construct(LPCWSTR templateName, UINT idCaption) {
    m_lpszTemplateName = templateName;
    m_psp.pszTemplate = templateName;
    if (idCaption && m_strCaption.LoadString(idCaption)) {
        m_psp.pszTitle = m_strCaption;
        m_psp.dwFlags |= PSP_USETITLE;
    }
}

BOOL CPropertyPage::OnSetActive() {
    if (m_bFirstSetActive)
        m_bFirstSetActive = FALSE;
    else
        UpdateData(FALSE);
    return TRUE;
}

BOOL CPropertyPage::OnKillActive() {
    return UpdateData(TRUE);
}

void CPropertyPage::OnOK() {}

void CPropertyPage::OnCancel() {}

BOOL CPropertyPage::OnApply() {
    OnOK();
    return TRUE;
}

void CPropertyPage::OnReset() {
    OnCancel();
}

BOOL CPropertyPage::OnQueryCancel() {
    return TRUE;
}

void CPropertyPage::SetModified(BOOL changed) {
    if (HWND sheet = ::GetParent(m_hWnd))
        ::SendMessageW(sheet, changed ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

void CPropertyPage::CancelToClose() {
    if (HWND sheet = ::GetParent(m_hWnd)) ::SendMessageW(sheet, PSM_CANCELTOCLOSE, 0, 0);
}

BOOL CPropertyPage::PreTranslateMessage(MSG* msg) {
    // The sheet's page keys come before the page's dialog keys.
    if (msg->message == WM_KEYDOWN && (::GetKeyState(VK_CONTROL) & 0x8000) &&
        (msg->wParam == VK_TAB || msg->wParam == VK_NEXT || msg->wParam == VK_PRIOR))
        if (auto* sheet = dynamic_cast<CPropertySheet*>(CWnd::FromHandlePermanent(::GetParent(m_hWnd))))
            return sheet->PreTranslateMessage(msg);
    return CDialog::PreTranslateMessage(msg);
}

BOOL CPropertyPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    // Enter and Escape in a page (its dialog keys send IDOK and IDCANCEL)
    // press the sheet's buttons; the page's own OnOK runs from the sheet.
    UINT id = LOWORD(wParam);
    if ((id == IDOK || id == IDCANCEL) && HIWORD(wParam) == BN_CLICKED && !::GetDlgItem(m_hWnd, int(id))) {
        if (HWND sheet = ::GetParent(m_hWnd)) ::SendMessageW(sheet, WM_COMMAND, wParam, 0);
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

// --- CPropertySheet ---------------------------------------------------------------------------------

CPropertySheet::CPropertySheet() {
    m_psh.dwSize = sizeof m_psh;
    m_psh.dwFlags = PSH_PROPSHEETPAGE;
}

CPropertySheet::CPropertySheet(UINT idCaption, CWnd* parent, UINT selectPage) : CPropertySheet() {
    Construct(idCaption, parent, selectPage);
}

CPropertySheet::CPropertySheet(LPCWSTR caption, CWnd* parent, UINT selectPage) : CPropertySheet() {
    Construct(caption, parent, selectPage);
}

CPropertySheet::~CPropertySheet() {
    if (m_hWnd) DestroyWindow();
}

void CPropertySheet::Construct(UINT idCaption, CWnd* parent, UINT selectPage) {
    CString caption;
    caption.LoadString(idCaption);
    Construct(caption, parent, selectPage);
}

void CPropertySheet::Construct(LPCWSTR caption, CWnd* parent, UINT selectPage) {
    m_strCaption = caption ? caption : u"";
    m_psh.pszCaption = m_strCaption;
    m_pParentWnd = parent;
    m_psh.nStartPage = selectPage;
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    if (!page) return;
    m_pages.push_back(page);
    if (!m_hWnd) return;
    // Added to a running sheet: its tab at the end, the page made when shown.
    CString caption = page->m_psp.dwFlags & PSP_USETITLE ? CString(page->m_psp.pszTitle) : CString();
    if (caption.IsEmpty()) {
        win32dlg::Template t;
        if (win32dlg::ParseTemplate(FindTemplateBytes(page->m_lpszTemplateName), 0, &t))
            caption = t.title.c_str();
    }
    BuildPropPageArray();
    m_tab.InsertItem(GetPageCount() - 1, caption);
}

void CPropertySheet::RemovePage(CPropertyPage* page) {
    RemovePage(GetPageIndex(page));
}

void CPropertySheet::RemovePage(int index) {
    if (index < 0 || index >= GetPageCount()) return;
    CPropertyPage* page = m_pages[size_t(index)];
    if (page->m_hWnd) page->DestroyWindow();
    m_pages.erase(m_pages.begin() + index);
    if (!m_hWnd) return;
    m_tab.DeleteItem(index);
    BuildPropPageArray();
    if (m_current == index) {
        m_current = -1;
        if (GetPageCount()) ShowPage(std::min(index, GetPageCount() - 1));
    } else if (m_current > index) {
        --m_current;
    }
}

CPropertyPage* CPropertySheet::GetPage(int index) const {
    return index >= 0 && index < GetPageCount() ? m_pages[size_t(index)] : nullptr;
}

int CPropertySheet::GetPageIndex(CPropertyPage* page) const {
    auto it = std::find(m_pages.begin(), m_pages.end(), page);
    return it == m_pages.end() ? -1 : int(it - m_pages.begin());
}

CPropertyPage* CPropertySheet::GetActivePage() const {
    return GetPage(GetActiveIndex());
}

int CPropertySheet::GetActiveIndex() const {
    return m_hWnd ? m_current : int(m_psh.nStartPage);
}

BOOL CPropertySheet::SetActivePage(int index) {
    if (index < 0 || index >= GetPageCount()) return FALSE;
    if (!m_hWnd) {
        m_psh.nStartPage = UINT(index);
        return TRUE;
    }
    if (index == m_current) return TRUE;
    if (!LeaveCurrent()) return FALSE;
    return ShowPage(index) ? TRUE : FALSE;
}

BOOL CPropertySheet::SetActivePage(CPropertyPage* page) {
    return SetActivePage(GetPageIndex(page));
}

void CPropertySheet::SetTitle(LPCWSTR text, UINT style) {
    m_strCaption = text ? text : u"";
    m_psh.pszCaption = m_strCaption;
    m_psh.dwFlags = (m_psh.dwFlags & ~DWORD(PSH_PROPTITLE)) | (style & PSH_PROPTITLE);
    if (m_hWnd) {
        CString caption = m_strCaption;
        if (style & PSH_PROPTITLE) caption += u"のプロパティ";
        SetWindowText(caption);
    }
}

CTabCtrl* CPropertySheet::GetTabControl() const {
    return m_tab.m_hWnd ? const_cast<CTabCtrl*>(&m_tab) : nullptr;
}

BOOL CPropertySheet::PressButton(int button) {
    UINT id = button == PSBTN_OK         ? IDOK
              : button == PSBTN_CANCEL   ? IDCANCEL
              : button == PSBTN_APPLYNOW ? ID_APPLY_NOW
                                         : 0;
    if (!id || !m_hWnd) return FALSE;
    ::SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    return TRUE;
}

void CPropertySheet::EndDialog(int result) {
    if (m_hWnd) ::EndDialog(m_hWnd, result);
}

void CPropertySheet::BuildPropPageArray() {
    // Each page's template is copied where the array points, so that an
    // override may rewrite it in place.
    m_pageTemplates.resize(m_pages.size());
    m_pageArray.assign(m_pages.size() * sizeof(PROPSHEETPAGEW), 0);
    for (size_t i = 0; i < m_pages.size(); ++i) {
        CPropertyPage* page = m_pages[i];
        const BYTE* src = page->m_psp.dwFlags & PSP_DLGINDIRECT && page->m_psp.pResource
                              ? reinterpret_cast<const BYTE*>(page->m_psp.pResource)
                              : FindTemplateBytes(page->m_lpszTemplateName);
        UINT size = src ? CDialogTemplate::GetTemplateSize(reinterpret_cast<const DLGTEMPLATE*>(src)) : 0;
        if (src && size && src != m_pageTemplates[i].data())
            m_pageTemplates[i] = WithSlack(std::vector<BYTE>(src, src + size));
        PROPSHEETPAGEW psp = page->m_psp;
        psp.dwSize = sizeof psp;
        psp.dwFlags |= PSP_DLGINDIRECT;
        psp.pResource = m_pageTemplates[i].empty()
                            ? nullptr
                            : reinterpret_cast<LPCDLGTEMPLATE>(m_pageTemplates[i].data());
        std::memcpy(m_pageArray.data() + i * sizeof psp, &psp, sizeof psp);
    }
    m_psh.dwFlags |= PSH_PROPSHEETPAGE;
    m_psh.nPages = UINT(m_pages.size());
    m_psh.ppsp = reinterpret_cast<LPCPROPSHEETPAGEW>(m_pageArray.data());
}

INT_PTR CPropertySheet::DoModal() {
    if (m_pages.empty() || m_hWnd) return -1;
    m_pageTemplates.assign(m_pages.size(), {});
    BuildPropPageArray();
    win32dlg::Template t;
    t.style = DS_MODALFRAME | DS_3DLOOK | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    t.pointSize = 9;
    t.face = u"MS UI Gothic";
    t.title = m_psh.pszCaption ? m_psh.pszCaption : u"";
    if (m_psh.dwFlags & PSH_PROPTITLE) t.title += u"のプロパティ";
    m_sheetTemplate = WithSlack(WriteTemplate(t));
    if ((m_psh.dwFlags & PSH_USECALLBACK) && m_psh.pfnCallback)
        m_psh.pfnCallback(nullptr, PSCB_PRECREATE, reinterpret_cast<LPARAM>(m_sheetTemplate.data()));
    HWND owner = SheetOwner(m_pParentWnd);
    m_psh.hwndParent = owner;
    m_current = -1;
    for (CPropertyPage* page : m_pages) page->m_bFirstSetActive = TRUE;
    AfxHookWindowCreate(this);
    HWND sheet = win32dlg::CreateFromTemplate(
        nullptr, reinterpret_cast<LPCDLGTEMPLATE>(m_sheetTemplate.data()), owner, nullptr, 0, false);
    AfxUnhookWindowCreate();
    if (!sheet) {
        if (m_hWnd && !::IsWindow(m_hWnd)) m_hWnd = nullptr;
        return -1;
    }
    if ((m_psh.dwFlags & PSH_USECALLBACK) && m_psh.pfnCallback) m_psh.pfnCallback(sheet, PSCB_INITIALIZED, 0);
    INT_PTR result = win32dlg::RunModal(sheet, owner);
    m_current = -1;
    return result;
}

BOOL CPropertySheet::OnInitDialog() {
    m_font = reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    win32dlg::Template sheetT;
    win32dlg::ParseTemplate(m_sheetTemplate.data(), m_sheetTemplate.size(), &sheetT);
    // The pages' size: the largest page, each in its own font (a page
    // without a font takes the sheet's).
    m_pageSize = SIZE{0, 0};
    for (size_t i = 0; i < m_pages.size(); ++i) {
        win32dlg::Template t;
        if (!win32dlg::ParseTemplate(m_psh.ppsp ? reinterpret_cast<const PROPSHEETPAGEW*>(
                                                      m_pageArray.data() + i * sizeof(PROPSHEETPAGEW))
                                                      ->pResource
                                                : nullptr,
                                     0, &t))
            continue;
        if (!(t.style & DS_SETFONT) && (sheetT.style & DS_SETFONT)) {
            t.style |= DS_SETFONT;
            t.pointSize = sheetT.pointSize, t.face = sheetT.face;
        }
        SIZE base = TemplateBaseUnits(t);
        m_pageSize.cx = std::max(m_pageSize.cx, LONG(::MulDiv(t.cx, base.cx, 4)));
        m_pageSize.cy = std::max(m_pageSize.cy, LONG(::MulDiv(t.cy, base.cy, 8)));
    }
    m_tab.Create(WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, CRect(0, 0, 10, 10), this, kTabId);
    if (m_font) m_tab.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    for (size_t i = 0; i < m_pages.size(); ++i) {
        const auto* psp =
            reinterpret_cast<const PROPSHEETPAGEW*>(m_pageArray.data() + i * sizeof(PROPSHEETPAGEW));
        CString caption;
        if ((psp->dwFlags & PSP_USETITLE) && psp->pszTitle) caption = psp->pszTitle;
        win32dlg::Template t;
        if (caption.IsEmpty() && win32dlg::ParseTemplate(psp->pResource, 0, &t)) caption = t.title.c_str();
        m_tab.InsertItem(int(i), caption);
    }
    struct ButtonSpec {
        UINT id;
        const char16_t* text;
        DWORD style;
    };
    std::vector<ButtonSpec> buttons = {{IDOK, u"OK", BS_DEFPUSHBUTTON},
                                       {IDCANCEL, u"キャンセル", BS_PUSHBUTTON}};
    if (!(m_psh.dwFlags & PSH_NOAPPLYNOW)) buttons.push_back({ID_APPLY_NOW, u"適用(&A)", BS_PUSHBUTTON});
    for (const ButtonSpec& b : buttons) {
        HWND h = ::CreateWindowExW(0, u"Button", b.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | b.style, 0, 0,
                                   kButtonWidth, kButtonHeight, m_hWnd,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(b.id)), nullptr, nullptr);
        if (m_font) ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        if (b.id == ID_APPLY_NOW) ::EnableWindow(h, FALSE);
    }
    LayOut();
    ::CenterWindowOver(m_hWnd, m_psh.hwndParent);
    int start = int(m_psh.nStartPage) < GetPageCount() ? int(m_psh.nStartPage) : 0;
    ShowPage(start);
    // The page's first tab stop takes the focus (the sheet is not shown yet,
    // so the dialog manager's visible-only walk does not find it).
    if (CPropertyPage* page = GetActivePage()) {
        std::vector<HWND> kids;
        for (HWND c = ::GetWindow(page->m_hWnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
            kids.push_back(c);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
            LONG style = ::GetWindowLongW(*it, GWL_STYLE);
            if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) {
                ::SetFocus(*it);
                break;
            }
        }
    }
    return FALSE;
}

void CPropertySheet::LayOut() {
    RECT display{kMargin, kMargin, kMargin + m_pageSize.cx, kMargin + m_pageSize.cy};
    RECT tab = display;
    m_tab.AdjustRect(TRUE, &tab);
    ::OffsetRect(&tab, kMargin - tab.left, kMargin - tab.top);
    m_tab.MoveWindow(&tab);
    int buttons = 0;
    for (UINT id : {UINT(IDOK), UINT(IDCANCEL), UINT(ID_APPLY_NOW)})
        if (::GetDlgItem(m_hWnd, int(id))) ++buttons;
    int rowWidth = buttons * kButtonWidth + (buttons - 1) * kButtonGap;
    int width = std::max(int(tab.right) + kMargin, rowWidth + 2 * kMargin);
    int y = tab.bottom + kMargin;
    int x = width - kMargin - rowWidth;
    for (UINT id : {UINT(IDOK), UINT(IDCANCEL), UINT(ID_APPLY_NOW)})
        if (HWND b = ::GetDlgItem(m_hWnd, int(id))) {
            ::MoveWindow(b, x, y, kButtonWidth, kButtonHeight, TRUE);
            x += kButtonWidth + kButtonGap;
        }
    int height = y + kButtonHeight + kMargin;
    RECT w, c;
    ::GetWindowRect(m_hWnd, &w);
    ::GetClientRect(m_hWnd, &c);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, width + (w.right - w.left) - c.right,
                   height + (w.bottom - w.top) - c.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CPropertySheet::CreatePage(int index) {
    CPropertyPage* page = m_pages[size_t(index)];
    if (page->m_hWnd) return true;
    const auto* psp =
        reinterpret_cast<const PROPSHEETPAGEW*>(m_pageArray.data() + size_t(index) * sizeof(PROPSHEETPAGEW));
    win32dlg::Template t;
    if (!win32dlg::ParseTemplate(psp->pResource, 0, &t)) return false;
    // A page is a control of the sheet: a child without frame or caption.
    t.style &=
        ~DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME | WS_VISIBLE | WS_DISABLED);
    t.style |= WS_CHILD | DS_CONTROL;
    t.x = t.y = 0;
    win32dlg::Template sheetT;
    if (!(t.style & DS_SETFONT) &&
        win32dlg::ParseTemplate(m_sheetTemplate.data(), m_sheetTemplate.size(), &sheetT) &&
        (sheetT.style & DS_SETFONT)) {
        t.style |= DS_SETFONT;
        t.pointSize = sheetT.pointSize, t.face = sheetT.face;
    }
    std::vector<BYTE> bytes = WriteTemplate(t);
    if (!page->CreateIndirect(reinterpret_cast<LPCDLGTEMPLATE>(bytes.data()), this)) return false;
    if (IS_INTRESOURCE(page->m_lpszTemplateName) && page->m_lpszTemplateName)
        win32dlg::SetTemplateId(page->m_hWnd, int(reinterpret_cast<ULONG_PTR>(page->m_lpszTemplateName)));
    return true;
}

bool CPropertySheet::ShowPage(int index) {
    if (index < 0 || index >= GetPageCount()) return false;
    if (!CreatePage(index)) return false;
    CPropertyPage* page = m_pages[size_t(index)];
    RECT area;
    m_tab.GetWindowRect(&area);
    ScreenToClient(&area);
    m_tab.AdjustRect(FALSE, &area);
    ::SetWindowPos(page->m_hWnd, HWND_TOP, area.left, area.top, area.right - area.left,
                   area.bottom - area.top, SWP_NOACTIVATE);
    if (CPropertyPage* old = GetPage(m_current); old && old != page && old->m_hWnd) old->ShowWindow(SW_HIDE);
    m_current = index;
    m_tab.SetCurSel(index);
    page->OnSetActive();
    if (::IsWindow(page->m_hWnd)) page->ShowWindow(SW_SHOW);
    return true;
}

bool CPropertySheet::LeaveCurrent() {
    CPropertyPage* page = GetPage(m_current);
    return !page || !page->m_hWnd || page->OnKillActive();
}

void CPropertySheet::FinishOK() {
    if (!LeaveCurrent()) return;
    for (size_t i = 0; i < m_pages.size(); ++i) {
        CPropertyPage* page = m_pages[i];
        if (!page->m_hWnd) continue;
        if (!page->OnApply()) {
            if (int(i) != m_current) ShowPage(int(i));
            return;
        }
    }
    EndDialog(IDOK);
}

void CPropertySheet::FinishCancel() {
    if (CPropertyPage* page = GetPage(m_current); page && page->m_hWnd && !page->OnQueryCancel()) return;
    for (CPropertyPage* page : m_pages)
        if (page->m_hWnd) page->OnReset();
    EndDialog(IDCANCEL);
}

void CPropertySheet::Changed(bool changed) {
    if (HWND apply = ::GetDlgItem(m_hWnd, ID_APPLY_NOW)) ::EnableWindow(apply, changed);
}

BOOL CPropertySheet::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) switch (LOWORD(wParam)) {
        case IDOK: FinishOK(); return TRUE;
        case IDCANCEL: FinishCancel(); return TRUE;
        case ID_APPLY_NOW:
            if (!LeaveCurrent()) return TRUE;
            for (CPropertyPage* page : m_pages)
                if (page->m_hWnd && !page->OnApply()) return TRUE;
            Changed(false);
            return TRUE;
        }
    return CWnd::OnCommand(wParam, lParam);
}

BOOL CPropertySheet::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_INITDIALOG: *result = OnInitDialog(); return TRUE;
    case WM_NOTIFY: {
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        if (!nm || nm->hwndFrom != m_tab.m_hWnd) break;
        if (nm->code == TCN_SELCHANGING) {
            *result = LeaveCurrent() ? FALSE : TRUE;
            return TRUE;
        }
        if (nm->code == TCN_SELCHANGE) {
            ShowPage(m_tab.GetCurSel());
            *result = 0;
            return TRUE;
        }
        break;
    }
    case PSM_SETCURSEL:
        *result = SetActivePage(lParam ? GetPageIndex(static_cast<CPropertyPage*>(
                                             CWnd::FromHandlePermanent(reinterpret_cast<HWND>(lParam))))
                                       : int(wParam));
        return TRUE;
    case PSM_GETCURRENTPAGEHWND: {
        CPropertyPage* page = GetActivePage();
        *result = reinterpret_cast<LRESULT>(page ? page->m_hWnd : nullptr);
        return TRUE;
    }
    case PSM_GETTABCONTROL: *result = reinterpret_cast<LRESULT>(m_tab.m_hWnd); return TRUE;
    case PSM_PRESSBUTTON: *result = PressButton(int(wParam)); return TRUE;
    case PSM_CHANGED:
        Changed(true);
        *result = 0;
        return TRUE;
    case PSM_UNCHANGED:
        Changed(false);
        *result = 0;
        return TRUE;
    case PSM_CANCELTOCLOSE:
        if (HWND ok = ::GetDlgItem(m_hWnd, IDOK)) ::EnableWindow(ok, FALSE);
        ::SetDlgItemTextW(m_hWnd, IDCANCEL, u"閉じる");
        *result = 0;
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

BOOL CPropertySheet::PreTranslateMessage(MSG* msg) {
    if (!m_hWnd || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
    if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
    // Ctrl+Tab and Ctrl+Page Down go to the next page, with Shift or Page Up to the previous one.
    if (msg->message == WM_KEYDOWN && (::GetKeyState(VK_CONTROL) & 0x8000) &&
        (msg->wParam == VK_TAB || msg->wParam == VK_NEXT || msg->wParam == VK_PRIOR) && GetPageCount() > 1) {
        bool back = msg->wParam == VK_PRIOR || (msg->wParam == VK_TAB && (::GetKeyState(VK_SHIFT) & 0x8000));
        int n = GetPageCount();
        SetActivePage((m_current + (back ? n - 1 : 1)) % n);
        return TRUE;
    }
    CPropertyPage* page = GetActivePage();
    if (page && page->m_hWnd && (msg->hwnd == page->m_hWnd || ::IsChild(page->m_hWnd, msg->hwnd)))
        return FALSE;
    return ::IsDialogMessageW(m_hWnd, msg);
}
