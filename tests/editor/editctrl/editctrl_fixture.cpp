#include "editctrl_fixture.h"

#include <filesystem>

namespace edtest {

namespace {
LRESULT ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= EDN_DBLCLK && msg <= EDN_SELCHANGED) Notes().push_back({msg, wParam, lParam});
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
} // namespace

std::vector<Note>& Notes() {
    static std::vector<Note> n;
    return n;
}

int Count(UINT msg) {
    int n = 0;
    for (const Note& x : Notes()) n += x.msg == msg;
    return n;
}

void LoadKeywords() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    theSqlStrToken.initSqlSyntax();
    std::filesystem::path p = std::filesystem::path(TAVRELIX_SOURCE_DIR) / "data" / "keywords.txt";
    std::u16string path = p.u16string();
    CString msg;
    theSqlStrToken.initDefaultKeyword(path.c_str(), &msg);
}

std::u16string TextOf(CEditData* d) {
    std::u16string out;
    for (int i = 0; i < d->GetLineCount(); i++) {
        if (i) out += u'\n';
        out += d->GetLineText(i);
    }
    return out;
}

void SetText(CEditData* d, const std::u16string& text) {
    d->ClearText();
    d->SetCaret(0, 0);
    d->InsertText(text.c_str());
    d->SetCaret(0, 0);
    d->ClearUndo();
    d->MarkSaved();
}

void EditorTest::SetUp() {
    tvtest::Init();
    // A key sent with Shift or Ctrl leaves the modifier down until the next
    // key without it; direct calls (TypeChar) must not see an earlier test's.
    for (int vk :
         {VK_SHIFT, VK_LSHIFT, VK_RSHIFT, VK_CONTROL, VK_LCONTROL, VK_RCONTROL, VK_MENU, VK_LMENU, VK_RMENU})
        win32bk::SetAsyncKey(vk, false);
    LoadKeywords();
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = u"EditorTestParent";
        RegisterClassW(&wc);
        registered = true;
    }
    parent = CreateWindowExW(0, u"EditorTestParent", u"editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700,
                             500, nullptr, nullptr, nullptr, nullptr);
    data = std::make_unique<CEditData>();
    data->m_token = &theSqlStrToken;
    Notes().clear();
    tvtest::ClearBoxes();
}

void EditorTest::TearDown() {
    for (auto& e : editors)
        if (e->m_hWnd) e->DestroyWindow();
    editors.clear();
    if (IsWindow(parent)) DestroyWindow(parent);
    tvtest::Pump();
}

CEditCtrl* EditorTest::Make(uint64_t options, CEditData* d, int w, int h) {
    auto e = std::make_unique<CEditCtrl>();
    e->SetData(d ? d : data.get());
    e->SetOptions(options);
    CWnd* p = CWnd::FromHandle(parent);
    EXPECT_TRUE(e->Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, RECT{0, 0, w, h}, p, 100));
    e->SetOptions(options);
    e->Relayout(0, 1);
    tvtest::Pump();
    editors.push_back(std::move(e));
    return editors.back().get();
}

} // namespace edtest
