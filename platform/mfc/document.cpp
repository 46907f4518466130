// Documents, views' membership and activation, document templates and the
// single-document open sequence.
#include <algorithm>
#include <map>

#include "mfc/app.h"
#include "mfc/docview.h"

IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)
IMPLEMENT_DYNAMIC(CDocTemplate, CCmdTarget)
IMPLEMENT_DYNAMIC(CSingleDocTemplate, CDocTemplate)

// --- Resource strings ---------------------------------------------------------------------------

namespace {
std::map<UINT, std::u16string>& Strings() {
    static std::map<UINT, std::u16string> m;
    return m;
}
const char16_t* (*g_stringLookup)(UINT) = nullptr;
} // namespace

const char16_t* AfxFindResourceString(UINT id) {
    auto it = Strings().find(id);
    if (it != Strings().end()) return it->second.c_str();
    if (g_stringLookup)
        if (const char16_t* s = g_stringLookup(id)) return s;
    // The compiled string tables: kept here, terminated, once read.
    static std::map<UINT, std::u16string> table;
    if (auto t = table.find(id); t != table.end()) return t->second.c_str();
    LPCWSTR text = nullptr;
    int n = ::LoadStringW(nullptr, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text) return nullptr;
    return table.emplace(id, std::u16string(text, static_cast<size_t>(n))).first->second.c_str();
}
void AfxSetResourceStringLookup(const char16_t* (*lookup)(UINT id)) {
    g_stringLookup = lookup;
}
void AfxRegisterResourceString(UINT id, const char16_t* text) {
    if (text)
        Strings()[id] = text;
    else
        Strings().erase(id);
}

// --- CDocument -----------------------------------------------------------------------------------

CDocument::~CDocument() {
    for (CView* v : m_viewList) v->m_pDocument = nullptr;
    if (m_pDocTemplate) m_pDocTemplate->RemoveDocument(this);
}

BOOL CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.Empty();
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnOpenDocument(LPCWSTR) {
    DeleteContents();
    SetModifiedFlag(FALSE);
    return TRUE;
}

void CDocument::OnCloseDocument() {
    // Closing the frames destroys the views; the document goes with the last.
    BOOL autoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE;
    std::vector<CFrameWnd*> frames;
    for (CView* v : m_viewList)
        if (CFrameWnd* f = v->GetParentFrame())
            if (std::find(frames.begin(), frames.end(), f) == frames.end()) frames.push_back(f);
    for (CFrameWnd* f : frames)
        if (f->m_hWnd) f->DestroyWindow();
    m_bAutoDelete = autoDelete;
    DeleteContents();
    if (m_bAutoDelete) delete this;
}

BOOL CDocument::SaveModified() {
    return TRUE;
}

BOOL CDocument::CanCloseFrame(CFrameWnd*) {
    return SaveModified();
}

void CDocument::SetTitle(LPCWSTR title) {
    m_strTitle = title ? title : u"";
    std::vector<CFrameWnd*> frames;
    for (CView* v : m_viewList)
        if (CFrameWnd* f = v->GetParentFrame())
            if (std::find(frames.begin(), frames.end(), f) == frames.end()) frames.push_back(f);
    for (CFrameWnd* f : frames) f->OnUpdateFrameTitle(TRUE);
}

void CDocument::SetPathName(LPCWSTR path, BOOL) {
    m_strPathName = path ? path : u"";
    CString name = m_strPathName;
    int slash = std::max(name.ReverseFind(u'\\'), name.ReverseFind(u'/'));
    SetTitle(slash >= 0 ? name.Mid(slash + 1) : name);
}

void CDocument::UpdateAllViews(CView* sender, LPARAM hint, CObject* hintObject) {
    std::vector<CView*> views = m_viewList;
    for (CView* v : views)
        if (v != sender && std::find(m_viewList.begin(), m_viewList.end(), v) != m_viewList.end())
            v->OnUpdate(sender, hint, hintObject);
}

POSITION CDocument::GetFirstViewPosition() const {
    return m_viewList.empty() ? nullptr : reinterpret_cast<POSITION>(static_cast<uintptr_t>(1));
}

CView* CDocument::GetNextView(POSITION& pos) const {
    auto i = reinterpret_cast<uintptr_t>(pos);
    if (i == 0 || i > m_viewList.size()) {
        pos = nullptr;
        return nullptr;
    }
    CView* v = m_viewList[i - 1];
    pos = i < m_viewList.size() ? reinterpret_cast<POSITION>(i + 1) : nullptr;
    return v;
}

void CDocument::AddView(CView* view) {
    if (!view || std::find(m_viewList.begin(), m_viewList.end(), view) != m_viewList.end()) return;
    m_viewList.push_back(view);
    view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view) {
    auto it = std::find(m_viewList.begin(), m_viewList.end(), view);
    if (it == m_viewList.end()) return;
    m_viewList.erase(it);
    view->m_pDocument = nullptr;
    if (m_viewList.empty() && m_bAutoDelete) {
        m_bAutoDelete = FALSE; // deleted once
        DeleteContents();
        delete this;
    }
}

BOOL CDocument::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) {
    if (CCmdTarget::OnCmdMsg(id, code, extra, info)) return TRUE;
    return m_pDocTemplate && m_pDocTemplate->OnCmdMsg(id, code, extra, info);
}

// --- CView ------------------------------------------------------------------------------------------

CView::~CView() {
    if (m_pDocument) m_pDocument->RemoveView(this);
}

BOOL CView::PreCreateWindow(CREATESTRUCT& cs) {
    if (!cs.lpszClass) cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW));
    return TRUE;
}

BOOL CView::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                   UINT id, void* context) {
    // The view belongs to its document before it sees WM_CREATE.
    auto* ctx = static_cast<CCreateContext*>(context);
    if (ctx && ctx->m_pCurrentDoc) ctx->m_pCurrentDoc->AddView(this);
    return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id, context);
}

BOOL CView::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) {
    if (CWnd::OnCmdMsg(id, code, extra, info)) return TRUE;
    return m_pDocument && m_pDocument->OnCmdMsg(id, code, extra, info);
}

void CView::OnInitialUpdate() {
    OnUpdate(nullptr, 0, nullptr);
}

void CView::OnUpdate(CView*, LPARAM, CObject*) {
    Invalidate(TRUE);
}

// The view made active takes the focus, unless it or a window inside it
// has it already, while its top-level window is the active one: a view made
// active in a window that is not takes it when the window is activated.
void CView::OnActivateView(BOOL activate, CView*, CView*) {
    if (!activate || !m_hWnd) return;
    const HWND focus = ::GetFocus();
    if (focus == m_hWnd || ::IsChild(m_hWnd, focus)) return;
    if (::GetAncestor(m_hWnd, GA_ROOT) == ::GetActiveWindow()) SetFocus();
}

void CView::MakeActive() {
    CFrameWnd* frame = GetParentFrame();
    if (frame && frame->GetActiveView() != this) frame->SetActiveView(this, TRUE);
}

BEGIN_MESSAGE_MAP(CView, CWnd)
ON_WM_MOUSEACTIVATE()
END_MESSAGE_MAP()

// A press in the view or in any window inside it. The parents answer first
// (the frame's answer activates it); unless they keep the activation away, the
// view becomes its frame's active view, or, active already but without the
// focus, is activated again so that it takes the focus back.
int CView::OnMouseActivate(CWnd* desktop, UINT hit, UINT message) {
    const int answer = CWnd::OnMouseActivate(desktop, hit, message);
    if (answer == MA_NOACTIVATE || answer == MA_NOACTIVATEANDEAT) return answer;
    if (CFrameWnd* frame = GetParentFrame()) {
        const HWND focus = ::GetFocus();
        if (frame->GetActiveView() != this)
            frame->SetActiveView(this, TRUE);
        else if (focus != m_hWnd && !::IsChild(m_hWnd, focus))
            OnActivateView(TRUE, this, this);
    }
    return answer;
}

LRESULT CView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFOCUS: MakeActive(); break;
    case WM_DESTROY:
        if (CFrameWnd* frame = GetParentFrame())
            if (frame->GetActiveView() == this) frame->SetActiveView(nullptr, FALSE);
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

// --- Templates ------------------------------------------------------------------------------------

CDocTemplate::CDocTemplate(UINT resourceId, CRuntimeClass* docClass, CRuntimeClass* frameClass,
                           CRuntimeClass* viewClass)
    : m_nIDResource(resourceId), m_pDocClass(docClass), m_pFrameClass(frameClass), m_pViewClass(viewClass) {}

CDocument* CDocTemplate::CreateNewDocument() {
    if (!m_pDocClass) return nullptr;
    auto* doc = static_cast<CDocument*>(m_pDocClass->CreateObject());
    if (doc) AddDocument(doc);
    return doc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* doc, CFrameWnd* other) {
    if (!m_pFrameClass) return nullptr;
    CCreateContext context;
    context.m_pCurrentFrame = other;
    context.m_pCurrentDoc = doc;
    context.m_pNewViewClass = m_pViewClass;
    context.m_pNewDocTemplate = this;
    auto* frame = static_cast<CFrameWnd*>(m_pFrameClass->CreateObject());
    if (!frame) return nullptr;
    if (!frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) {
        // A frame that never got its window is deleted here; one whose
        // creation failed later was destroyed (and deleted) with its window.
        if (!frame->m_hWnd) delete frame;
        return nullptr;
    }
    return frame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* frame, CDocument* doc, BOOL makeVisible) {
    frame->InitialUpdateFrame(doc, makeVisible);
}

void CDocTemplate::AddDocument(CDocument* doc) {
    doc->m_pDocTemplate = this;
}

void CDocTemplate::RemoveDocument(CDocument* doc) {
    doc->m_pDocTemplate = nullptr;
}

BOOL CDocTemplate::SaveAllModified() {
    POSITION pos = GetFirstDocPosition();
    while (pos)
        if (CDocument* doc = GetNextDoc(pos))
            if (!doc->SaveModified()) return FALSE;
    return TRUE;
}

void CDocTemplate::CloseAllDocuments(BOOL) {
    POSITION pos = GetFirstDocPosition();
    while (pos)
        if (CDocument* doc = GetNextDoc(pos)) doc->OnCloseDocument();
}

void CDocTemplate::SetDefaultTitle(CDocument* doc) {
    // The document type's name is the template string's second part; without one, "無題"
    // (AFX_IDS_UNTITLED).
    const char16_t* s = AfxFindResourceString(m_nIDResource);
    const char16_t* untitled = AfxFindResourceString(AFX_IDS_UNTITLED);
    std::u16string title = untitled ? untitled : u"無題";
    if (s) {
        std::u16string all = s;
        size_t a = all.find(u'\n');
        if (a != std::u16string::npos) {
            size_t b = all.find(u'\n', a + 1);
            std::u16string name =
                all.substr(a + 1, b == std::u16string::npos ? std::u16string::npos : b - a - 1);
            if (!name.empty()) title = name;
        }
    }
    doc->SetTitle(title.c_str());
}

CSingleDocTemplate::CSingleDocTemplate(UINT resourceId, CRuntimeClass* docClass, CRuntimeClass* frameClass,
                                       CRuntimeClass* viewClass)
    : CDocTemplate(resourceId, docClass, frameClass, viewClass) {}

CSingleDocTemplate::~CSingleDocTemplate() {
    if (m_pOnlyDoc) m_pOnlyDoc->m_pDocTemplate = nullptr;
}

POSITION CSingleDocTemplate::GetFirstDocPosition() const {
    return m_pOnlyDoc ? reinterpret_cast<POSITION>(static_cast<uintptr_t>(1)) : nullptr;
}

CDocument* CSingleDocTemplate::GetNextDoc(POSITION& pos) const {
    CDocument* d = pos ? m_pOnlyDoc : nullptr;
    pos = nullptr;
    return d;
}

void CSingleDocTemplate::AddDocument(CDocument* doc) {
    CDocTemplate::AddDocument(doc);
    m_pOnlyDoc = doc;
}

void CSingleDocTemplate::RemoveDocument(CDocument* doc) {
    CDocTemplate::RemoveDocument(doc);
    if (m_pOnlyDoc == doc) m_pOnlyDoc = nullptr;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCWSTR path, BOOL makeVisible) {
    CDocument* doc = m_pOnlyDoc;
    CFrameWnd* frame = nullptr;
    bool created = false;
    if (doc) {
        if (!doc->SaveModified()) return nullptr;
        POSITION pos = doc->GetFirstViewPosition();
        if (CView* v = doc->GetNextView(pos)) frame = v->GetParentFrame();
    } else {
        doc = CreateNewDocument();
        if (!doc) return nullptr;
        created = true;
    }
    bool newFrame = false;
    if (!frame) {
        // The document lives through a failed frame: the frame's views leave it.
        BOOL autoDelete = doc->m_bAutoDelete;
        doc->m_bAutoDelete = FALSE;
        frame = CreateNewFrame(doc, nullptr);
        doc->m_bAutoDelete = autoDelete;
        if (!frame) {
            if (created) delete doc;
            return nullptr;
        }
        newFrame = true;
    }
    BOOL ok;
    if (!path) {
        SetDefaultTitle(doc);
        ok = doc->OnNewDocument();
    } else {
        ok = doc->OnOpenDocument(path);
    }
    if (!ok) {
        if (newFrame) {
            BOOL autoDelete = doc->m_bAutoDelete;
            doc->m_bAutoDelete = FALSE;
            frame->DestroyWindow();
            doc->m_bAutoDelete = autoDelete;
            if (created) delete doc;
        }
        return nullptr;
    }
    if (path) doc->SetPathName(path);
    CWinThread* thread = AfxGetThread();
    if (newFrame && thread && !thread->m_pMainWnd) thread->m_pMainWnd = frame;
    InitialUpdateFrame(frame, doc, makeVisible);
    return doc;
}
