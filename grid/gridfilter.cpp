#include "grid/gridfilter.h"

#include <cstdlib>
#include <cstring>

#include "base/width.h"
#include "grid/editgrid.h"
#include "regex/regex.h"

GridFilterCond* GridFilterCond::Alloc(int rows) {
    size_t bytes = BytesFor(rows);
    auto* c = static_cast<GridFilterCond*>(std::calloc(1, bytes));
    if (!c) return nullptr;
    c->size = static_cast<int64_t>(bytes);
    c->rowCount = rows;
    c->map = reinterpret_cast<int32_t*>(c + 1);
    return c;
}

GridFilterCond* GridFilterCond::Copy(const void* bytes, size_t size) {
    if (size < sizeof(GridFilterCond)) return nullptr;
    auto* c = static_cast<GridFilterCond*>(std::malloc(size));
    if (!c) return nullptr;
    std::memcpy(c, bytes, size);
    c->map = reinterpret_cast<int32_t*>(c + 1);
    return c;
}

CGridData_Filter::CGridData_Filter(CGridData* source) : m_source(source) {
    if (source) m_styleInUse = source->m_styleInUse;
}

CGridData_Filter::~CGridData_Filter() {
    std::free(m_cond);
}

void CGridData_Filter::DropCondition() {
    std::free(m_cond);
    m_cond = nullptr;
    m_map = nullptr;
    m_rowCount = 0;
    m_curRow = m_curCol = 0;
    m_sel1.y = m_sel2.y = -1;
}

int CGridData_Filter::FilterData(int col, const char16_t* pattern, int matchCase, int matchWidth, int isRegex,
                                 int* count, CString* err, int requireMatch) {
    auto fail = [&](const char16_t* msg) {
        if (err) *err = msg;
        return 1;
    };
    if (err) err->Empty();
    if (count) *count = 0;
    if (!m_source || m_source->GetRowCount() <= 0) return fail(u"データがありません");
    if (!pattern) pattern = u"";
    size_t plen = 0;
    while (pattern[plen]) ++plen;
    if (plen >= 1024) return fail(u"検索条件の文字列が長すぎます");
    int flags = (matchCase ? 0 : REGEX_IGNORE_CASE) | (matchWidth ? 0 : REGEX_IGNORE_WIDTH);
    Regex* re = isRegex ? regex_compile(pattern, flags) : regex_compile_literal(pattern, flags);
    if (!re) return fail(u"不正な正規表現です");
    // A literal goes straight to the literal searcher: the same matches
    // without a subject set up per row. Without the width fold's flag the
    // pattern and each text are width-folded first (unit for unit).
    LiteralSearcher* lit = nullptr;
    bool foldWidth = !matchWidth;
    if (!isRegex && plen > 0) {
        std::u16string p(pattern, plen);
        if (foldWidth)
            for (char16_t& c : p) c = static_cast<char16_t>(width_fold_char(c));
        lit = literal_searcher_create(p.data(), static_cast<int64_t>(plen), !matchCase);
    }
    std::u16string folded;
    int rows = m_source->GetRowCount();
    std::vector<int32_t> hits;
    try {
        hits.reserve(static_cast<size_t>(rows) / 16 + 16);
    } catch (const std::bad_alloc&) {
        literal_searcher_destroy(lit);
        regex_free(&re);
        return fail(u"malloc error (CGridData_Filter::FilterData)");
    }
    for (int r = 0; r < rows; ++r) {
        const char16_t* text = m_source->GetText(r, col);
        if (!text) text = u"";
        int rc;
        if (lit && !foldWidth) {
            rc = literal_searcher_find(lit, text) ? 1 : 0;
        } else if (lit) {
            size_t n = 0;
            bool wide = false;
            for (; text[n]; ++n)
                if (text[n] >= 0x2018) wide = true;
            const char16_t* subject = text;
            if (foldWidth && wide) {
                folded.assign(text, n);
                for (char16_t& c : folded) c = static_cast<char16_t>(width_fold_char(c));
                subject = folded.data();
            }
            rc = literal_searcher_search(lit, subject, static_cast<int64_t>(n)) ? 1 : 0;
        } else {
            rc = regex_test_str(re, text);
        }
        if (rc == -2) {
            regex_free(&re);
            return fail(u"検索条件が複雑すぎます");
        }
        if (rc == 1) {
            try {
                hits.push_back(r);
            } catch (const std::bad_alloc&) {
                literal_searcher_destroy(lit);
                regex_free(&re);
                return fail(u"malloc error (CGridData_Filter::FilterData)");
            }
        }
    }
    literal_searcher_destroy(lit);
    regex_free(&re);
    if (requireMatch && hits.empty()) return fail(u"フィルタの条件に一致するレコードがありません");
    GridFilterCond* cond = GridFilterCond::Alloc(static_cast<int>(hits.size()));
    if (!cond) return fail(u"malloc error (CGridData_Filter::FilterData)");
    cond->column = col;
    std::memcpy(cond->pattern, pattern, (plen + 1) * sizeof(char16_t));
    cond->matchCase = matchCase;
    cond->matchWidth = matchWidth;
    cond->isRegex = isRegex;
    if (!hits.empty()) std::memcpy(cond->map, hits.data(), hits.size() * sizeof(int32_t));
    std::free(m_cond);
    m_cond = cond;
    m_map = cond->map;
    m_rowCount = cond->rowCount;
    if (count) *count = m_rowCount;
    if (auto* ed = dynamic_cast<CEditableGridData*>(m_source)) {
        ed->MarkRows(hits.data(), static_cast<int>(hits.size()));
    } else if (m_source->CanMarkRows()) {
        for (int r = 0; r < rows; ++r) m_source->ClearRowMark(r);
        for (int32_t r : hits) m_source->SetRowMark(r);
    }
    return 0;
}

int CGridData_Filter::FilterDataStub(CString* err) {
    if (err) *err = u"DO NOT USE CGridData_Filter::FilterData";
    return 1;
}

int CGridData_Filter::RestoreGridDataFilterCond(CGridData* source, const GridFilterCond* cond, CString* err) {
    bool made = false;
    if (!source->m_filter) {
        source->m_filter = new CGridData_Filter(source);
        made = true;
    }
    CGridData_Filter* f = source->m_filter;
    int64_t size = 0;
    std::memcpy(&size, cond, sizeof(size));
    GridFilterCond* copy = GridFilterCond::Copy(cond, static_cast<size_t>(size));
    if (!copy) {
        if (err) *err = u"malloc error (CGridData_Filter::RestoreGridDataFilterCond)";
        if (made) source->DeleteFilter();
        return 1;
    }
    std::free(f->m_cond);
    f->m_cond = copy;
    f->m_map = copy->map;
    f->m_rowCount = copy->rowCount;
    if (auto* ed = dynamic_cast<CEditableGridData*>(source)) {
        ed->MarkRows(copy->map, copy->rowCount);
    } else if (source->CanMarkRows()) {
        int rows = source->GetRowCount();
        for (int r = 0; r < rows; ++r) source->ClearRowMark(r);
        for (int i = 0; i < copy->rowCount; ++i) source->SetRowMark(copy->map[i]);
    }
    source->m_filtered = 1;
    int rows = source->GetRowCount(), cols = source->GetColCount();
    source->m_curRow = rows > 0 ? 0 : -1;
    source->m_curCol = std::max(0, std::min(static_cast<int>(copy->column), cols - 1));
    return 0;
}

void CGridData_Filter::RefreshMap() {
    if (!m_source || !m_source->CanMarkRows() || !m_cond) return;
    int rows = m_source->GetRowCount();
    std::vector<int32_t> marked;
    if (auto* ed = dynamic_cast<CEditableGridData*>(m_source)) {
        ed->MarkedRows(&marked);
    } else {
        for (int r = 0; r < rows; ++r)
            if (m_source->IsRowMarked(r)) marked.push_back(r);
    }
    int n = static_cast<int>(marked.size());
    if (n != m_cond->rowCount) {
        GridFilterCond* c = GridFilterCond::Alloc(n);
        if (!c) return;
        std::memcpy(c, m_cond, sizeof(GridFilterCond));
        c->size = static_cast<int64_t>(GridFilterCond::BytesFor(n));
        c->rowCount = n;
        c->map = reinterpret_cast<int32_t*>(c + 1);
        std::free(m_cond);
        m_cond = c;
    }
    if (n) std::memcpy(m_cond->map, marked.data(), marked.size() * sizeof(int32_t));
    m_map = m_cond->map;
    m_rowCount = n;
}

int CGridData_Filter::GetRowCount() {
    return m_rowCount;
}
int CGridData_Filter::GetColCount() {
    return m_source->GetColCount();
}
const char16_t* CGridData_Filter::GetColName(int col) {
    return m_source->GetColName(col);
}
int CGridData_Filter::GetColDataSize(int col) {
    return m_source->GetColDataSize(col);
}
int CGridData_Filter::GetColScale(int col) {
    return m_source->GetColScale(col);
}
int CGridData_Filter::IsEditable() {
    return m_source->IsEditable();
}
void CGridData_Filter::SetColWidth(int col, int width) {
    m_source->SetColWidth(col, width);
}
int CGridData_Filter::GetColWidth(int col) {
    return m_source->GetColWidth(col);
}
void CGridData_Filter::BeginUndoGroup() {
    m_source->BeginUndoGroup();
}
void CGridData_Filter::EndUndoGroup() {
    m_source->EndUndoGroup();
}
UndoBuffer* CGridData_Filter::GetUndoBuffer() {
    return m_source->GetUndoBuffer();
}
int CGridData_Filter::CanUndo() {
    return m_source->CanUndo();
}
int CGridData_Filter::CanRedo() {
    return m_source->CanRedo();
}
const char16_t* CGridData_Filter::GetText(int row, int col) {
    return m_source->GetText(SourceRow(row), col);
}
const char16_t* CGridData_Filter::GetDispText(int row, int col) {
    return m_source->GetDispText(SourceRow(row), col);
}
const char16_t* CGridData_Filter::GetEditText(int row, int col) {
    return m_source->GetEditText(SourceRow(row), col);
}
int CGridData_Filter::IsValueCut(int row, int col) {
    return m_source->IsValueCut(SourceRow(row), col);
}
int CGridData_Filter::IsNull(int row, int col) {
    return m_source->IsNull(SourceRow(row), col);
}
int CGridData_Filter::GetColType(int row, int col) {
    return m_source->GetColType(SourceRow(row), col);
}
int CGridData_Filter::GetMaxInputLen(int row, int col) {
    return m_source->GetMaxInputLen(SourceRow(row), col);
}

int CGridData_Filter::SetText(int row, int col, const char16_t* text, int length) {
    if (!InRows(row)) return 1;
    return m_source->SetText(m_map[row], col, text, length);
}

int CGridData_Filter::IsCellEditable(int row, int col) {
    return InRows(row) ? m_source->IsCellEditable(m_map[row], col) : 0;
}
int CGridData_Filter::IsInsertedRow(int row) {
    return m_source->IsInsertedRow(SourceRow(row));
}
int CGridData_Filter::IsUpdatedRow(int row) {
    return m_source->IsUpdatedRow(SourceRow(row));
}
int CGridData_Filter::IsDeletedRow(int row) {
    return m_source->IsDeletedRow(SourceRow(row));
}
int CGridData_Filter::IsCellModified(int row, int col) {
    return m_source->IsCellModified(SourceRow(row), col);
}
const char16_t* CGridData_Filter::GetOriginalText(int row, int col) {
    return m_source->GetOriginalText(SourceRow(row), col);
}

int CGridData_Filter::UndoRedo(bool redo) {
    if (IsCursorInData()) m_source->SetCursor(SourceRow(m_curRow), m_curCol);
    int rc = redo ? m_source->Redo() : m_source->Undo();
    int row = 0;
    for (int i = 0; i < m_rowCount; ++i)
        if (m_map[i] == m_source->m_curRow) {
            row = i;
            break;
        }
    m_curRow = row;
    m_curCol = m_source->m_curCol;
    return rc;
}

int CGridData_Filter::Undo() {
    return UndoRedo(false);
}
int CGridData_Filter::Redo() {
    return UndoRedo(true);
}

void CGridData_Filter::Sort(const int* cols, const int* dirs, int keyCount) {
    m_source->Sort(cols, dirs, keyCount);
    if (m_source->CanMarkRows()) {
        RefreshMap();
    } else if (m_cond) {
        GridFilterCond* c = GridFilterCond::Copy(m_cond, static_cast<size_t>(m_cond->size));
        if (!c) return;
        int count = 0;
        CString err;
        FilterData(c->column, c->pattern, c->matchCase, c->matchWidth, c->isRegex, &count, &err, 0);
        std::free(c);
    }
}

void CGridData_Filter::SetAreaText(POINT a, POINT b, const char16_t* text, int length) {
    SetAreaTextOver(a, b, text, length);
}
int CGridData_Filter::PasteText(const char16_t* text) {
    return PasteTextOver(text);
}

const char16_t* CGridData_Filter::GetRowHeaderText(int row) {
    return FormatStateRowHeader(row, SourceRow(row), m_source);
}

int CGridData_Filter::GetRowHeaderWidth() {
    return 7;
}
int CGridData_Filter::InsertRows(int, int) {
    return 1;
}
int CGridData_Filter::DeleteRows(int, int) {
    return 1;
}
int CGridData_Filter::DeleteNullRows(int) {
    return 1;
}
int CGridData_Filter::IsNullRow(int) {
    return 0;
}
int CGridData_Filter::CanInsertRows() {
    return 0;
}
int CGridData_Filter::IsRowEditable(int) {
    return 0;
}
int CGridData_Filter::CanMarkRows() {
    return 0;
}
int CGridData_Filter::IsRowMarked(int) {
    return 0;
}

int CGridData_Filter::SetFilter(int, const char16_t*, int, int, int, int* count, CString* err, int) {
    if (count) *count = 0;
    return FilterDataStub(err);
}
