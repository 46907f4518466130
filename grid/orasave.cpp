// Saving the edits of the Oracle-bound model: the delete, update and insert
// phases with their statements, binds and value checks, the large-object
// writes, the driver under the savepoint and the save thread.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "grid/oragrid.h"
#include "oracle/oci_exec.h"
#include "oracle/oci_lob.h"

namespace {

const char16_t kCancelled[] = u"キャンセルしました\n";
const char16_t kNoMemory[] = u"メモリ確保に失敗しました\n";
const char16_t kRowMissing[] = u"対象の行が見つかりません\n";
const char16_t kRowMany[] = u"対象の行が複数あります\n";

bool IsLobOrObject(int t) {
    return t == SQLT_NTY || t == SQLT_CLOB || t == SQLT_BLOB || t == SQLT_BFILEE;
}

// The error text without its position prefix "[row:%d,col:%d] ".
CString StripPosition(const CString& text) {
    const char16_t* p = text.GetString();
    if (std::u16string_view(p).substr(0, 5) != u"[row:") return text;
    const char16_t* close = p;
    while (*close && *close != u']') ++close;
    if (!*close) return text;
    ++close;
    if (*close == u' ') ++close;
    return CString(close);
}

// The line of the error position, or 0 when the text has none.
int ErrorLine(const CString& text) {
    const char16_t* p = text.GetString();
    if (std::u16string_view(p).substr(0, 5) != u"[row:") return 0;
    int line = 0;
    for (p += 5; *p >= u'0' && *p <= u'9'; ++p) line = line * 10 + (*p - u'0');
    return *p == u',' ? line : 0;
}

// A column index from an error line: line - 2 through the statement's
// column list (null: -1 always).
int ColumnOfLine(int line, const std::vector<int>* colMap) {
    if (!colMap || line <= 1) return -1;
    size_t k = static_cast<size_t>(line - 2);
    return k < colMap->size() ? (*colMap)[k] : -1;
}

std::string ToMb(const char16_t* text) {
    int need = oci_wide_to_mb(text, nullptr, 0);
    if (need <= 0) return std::string();
    std::string out(static_cast<size_t>(need), '\0');
    oci_wide_to_mb(text, out.data(), need);
    out.resize(static_cast<size_t>(need - 1));
    return out;
}

// Bytes of a text in the Oracle code page, terminator included (0: no form).
int MbSize(const char16_t* text) {
    return oci_wide_to_mb(text ? text : u"", nullptr, 0);
}

// A text the server reads as a number for a number column: blanks around
// it, a sign, digits with at most one decimal character ('.', or ',' where
// the session's decimal character is the comma) and an exponent.
bool IsNumberText(const char16_t* t) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    while (blank(*t)) ++t;
    if (*t == u'+' || *t == u'-') ++t;
    int digits = 0;
    while (digit(*t)) ++t, ++digits;
    if (*t == u'.' || *t == u',') {
        ++t;
        while (digit(*t)) ++t, ++digits;
    }
    if (!digits) return false;
    if (*t == u'e' || *t == u'E') {
        ++t;
        if (*t == u'+' || *t == u'-') ++t;
        if (!digit(*t)) return false;
        while (digit(*t)) ++t;
    }
    while (blank(*t)) ++t;
    return !*t;
}

// A value refused before it is sent: in a number column a text that is no
// number (full-width digits, for one) is refused as the server refuses it,
// whatever its length; else a text too long for the column, or with no form
// in the Oracle code page.
int RefuseValue(const OraColumnDesc& d, const char16_t* name, const char16_t* text, CString* msg) {
    const bool number =
        d.data_type == SQLT_NUM || d.data_type == SQLT_IBFLOAT || d.data_type == SQLT_IBDOUBLE;
    if (number && !IsNumberText(text)) {
        if (msg) *msg = u"ORA-01722: invalid number\n";
        return ORARC_ORACLE_ERROR;
    }
    if (msg) msg->Format(u"データ長が不正です(%s)\n", name);
    return ORARC_TOO_LONG;
}

// Puts one value into a batch position of an array-DML cursor, with the
// value checks of its column.
int PutValue(OraCursor* c, int i, int pos, const char16_t* text, CString* msg) {
    OraColumnDesc& d = c->desc[i];
    char* dst = c->data[i] + static_cast<int64_t>(pos) * d.buffer_size;
    // Converted in place; measured only when it does not fit.
    if (text && *text && oci_wide_to_mb(text, dst, d.buffer_size) > 0) {
        c->ind[i][pos] = 0;
        return ORARC_OK;
    }
    int need = (text && *text) ? oci_wide_to_mb(text, nullptr, 0) : 0;
    if (!text || !*text || need <= 0) {
        if (!d.nullable) {
            if (msg) msg->Format(u"必須項目にNULLが設定されました(%s)\n", d.wname);
            return ORARC_NOT_NULL;
        }
        // A text with no form in the code page.
        if (text && *text) return RefuseValue(d, d.wname, text, msg);
        c->ind[i][pos] = -1;
        if (d.buffer_size > 0) dst[0] = 0;
        return ORARC_OK;
    }
    // A text with a form that does not fit.
    return RefuseValue(d, d.wname, text, msg);
}

// Array-DML cursor over the named columns (UTF-16 names).
int CreateArrayCursor(OraSession* s, OraCursor* c, OraTableDef* def, const CString& sql,
                      const std::vector<CString>& names, CString* msg) {
    c->col_count = static_cast<int>(names.size());
    int rc = oci_alloc_col_desc(c, msg);
    if (rc != ORARC_OK) return rc;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string mb = ToMb(names[i].GetString());
        std::snprintf(c->desc[i].name, sizeof c->desc[i].name, "%s", mb.c_str());
        std::snprintf(reinterpret_cast<char*>(c->desc[i].wname), 2, "%s", "");
        std::u16string_view w(names[i].GetString());
        size_t n = std::min<size_t>(w.size(), 255);
        std::memcpy(c->desc[i].wname, w.data(), n * sizeof(char16_t));
        c->desc[i].wname[n] = 0;
    }
    return oci_cre_array_dml_cursor(s, c, def, sql.GetString(), msg);
}

void CloseCursor(OraSession* s, OraCursor* c, bool* open) {
    if (!*open) return;
    *open = false;
    CString ignored;
    oci_del_cursor(s, c, &ignored);
    *c = OraCursor{};
}

// The descriptor of a table column by name, or null.
const OraColumnDesc* DefColumn(const OraTableDef* def, const char16_t* name) {
    std::string mb = ToMb(name);
    for (int j = 0; def && j < def->col_count; ++j)
        if (mb == def->columns[j].desc.name) return &def->columns[j].desc;
    return nullptr;
}

// Executes a prepared single statement with its string binds, as :X0, :X1, ...
// rows receives the rows processed.
int ExecWithBinds(OraSession* s, const CString& sql, const std::vector<CString>& binds, CString* msg,
                  CancelState* cancel, int* rows) {
    OraCursor c{};
    int rc = oci_cre_cursor(s, &c, sql.GetString(), msg);
    for (size_t i = 0; rc == ORARC_OK && i < binds.size(); ++i) {
        char16_t name[16];
        char buf[16];
        std::snprintf(buf, sizeof buf, ":X%d", static_cast<int>(i));
        for (int k = 0; k < 16; ++k) name[k] = static_cast<char16_t>(buf[k]);
        rc = oci_bind_str(s, &c, name, binds[i].GetString(), msg);
    }
    if (rc == ORARC_OK) {
        if (s->oci7)
            rc = oci_exec_cursor(s, &c, msg);
        else
            rc = oci8_exec_non_block_cursor(s, &c, msg, cancel, 0, 1);
    }
    if (rows) *rows = static_cast<int>(ora_cda_rows(&c));
    CString ignored;
    oci_del_cursor(s, &c, &ignored);
    return rc;
}

} // namespace

CString MakeSqlLiteral(const char16_t* text) {
    if (!text || !*text) return CString(u"NULL");
    CString out(u"'");
    for (const char16_t* p = text; *p; ++p) {
        if (*p == u'\'') out += u'\'';
        out += *p;
    }
    out += u'\'';
    return out;
}

int CheckSaveCancel(HWND window, CString* msg) {
    if (!window) return ORARC_OK;
    // One read of the state a turn: each is a send across threads, and the
    // phases check every 100 rows.
    LRESULT state;
    while ((state = SendMessageW(window, WPM_GETSTATE, 0, 0)) == 2) Sleep(500);
    if (state == 1) {
        if (msg) *msg = kCancelled;
        return ORARC_CANCELLED;
    }
    return ORARC_OK;
}

namespace {

// The 100-row step of a phase: a step of the progress bar and a cancel check.
int RowStep(int row, HWND window, CString* msg) {
    if (row % 100 != 0 || !window) return ORARC_OK;
    SendMessageW(window, WPM_STEPIT, 0, 0);
    return CheckSaveCancel(window, msg);
}

// Value expressions of object cells: NULL, a name (dotted, maybe quoted)
// with a balanced list of such expressions, a quoted string, a signed
// number, a hex word.
class ObjectValueParser {
public:
    explicit ObjectValueParser(const char16_t* t) : p_(t) {}
    bool Whole() {
        Blanks();
        if (!Value(0)) return false;
        Blanks();
        return *p_ == 0;
    }

private:
    const char16_t* p_;
    static bool Letter(char16_t c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c >= 0x80;
    }
    static bool Digit(char16_t c) { return c >= u'0' && c <= u'9'; }
    static bool Hex(char16_t c) { return Digit(c) || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'); }
    void Blanks() {
        while (*p_ == u' ' || *p_ == u'\t' || *p_ == u'\r' || *p_ == u'\n') ++p_;
    }
    bool Word(std::u16string* out) {
        if (*p_ == u'"') {
            ++p_;
            while (*p_ && *p_ != u'"') ++p_;
            if (*p_ != u'"') return false;
            ++p_;
            if (out) *out = u"\"";
            return true;
        }
        if (!Letter(*p_)) return false;
        const char16_t* b = p_;
        while (Letter(*p_) || Digit(*p_) || *p_ == u'$' || *p_ == u'#') ++p_;
        if (out) out->assign(b, p_);
        return true;
    }
    bool Number() {
        if (*p_ == u'+' || *p_ == u'-') ++p_;
        bool digits = false;
        while (Digit(*p_)) ++p_, digits = true;
        if (*p_ == u'.') {
            ++p_;
            while (Digit(*p_)) ++p_, digits = true;
        }
        if (!digits) return false;
        if (*p_ == u'e' || *p_ == u'E') {
            ++p_;
            if (*p_ == u'+' || *p_ == u'-') ++p_;
            if (!Digit(*p_)) return false;
            while (Digit(*p_)) ++p_;
        }
        return !Letter(*p_);
    }
    bool Value(int depth) {
        if (depth > 64) return false;
        Blanks();
        char16_t c = *p_;
        if (c == u'\'') {
            for (++p_;; ++p_) {
                if (!*p_) return false;
                if (*p_ == u'\'') {
                    if (p_[1] == u'\'') {
                        ++p_;
                        continue;
                    }
                    ++p_;
                    return true;
                }
            }
        }
        if (Digit(c) || c == u'+' || c == u'-' || c == u'.') {
            const char16_t* start = p_;
            if (Number()) return true;
            // A hex word (the text of a RAW or REF value).
            p_ = start;
            while (Hex(*p_)) ++p_;
            return p_ > start && !Letter(*p_);
        }
        std::u16string word;
        bool quoted = *p_ == u'"';
        if (!Word(&word)) return false;
        // A dotted name.
        while (*p_ == u'.') {
            ++p_;
            quoted = quoted || *p_ == u'"';
            if (!Word(&word)) return false;
        }
        Blanks();
        if (*p_ != u'(') {
            // A bare word: NULL or a hex word.
            if (quoted) return false;
            if (word.size() == 4 && (word[0] | 0x20) == u'n' && (word[1] | 0x20) == u'u' &&
                (word[2] | 0x20) == u'l' && (word[3] | 0x20) == u'l')
                return true;
            return std::all_of(word.begin(), word.end(), Hex);
        }
        ++p_;
        Blanks();
        if (*p_ == u')') {
            ++p_;
            return true;
        }
        for (;;) {
            // A nested query is no value.
            Blanks();
            if (*p_ == u'(') return false;
            if (!Value(depth + 1)) return false;
            Blanks();
            if (*p_ == u',') {
                ++p_;
                continue;
            }
            if (*p_ == u')') {
                ++p_;
                return true;
            }
            return false;
        }
    }
};

} // namespace

bool IsObjectValueText(const char16_t* text) {
    if (!text) return false;
    return ObjectValueParser(text).Whole();
}

bool ParseBfileText(const char16_t* text, CString* alias, CString* file) {
    std::u16string_view t(text ? text : u"");
    const std::u16string_view head = u"<BFILE dir_alias:";
    const std::u16string_view mid = u" file_name:";
    if (t.size() < head.size() + 1 || t.substr(0, head.size()) != head || t.back() != u'>') return false;
    // The alias and the file name are words without blanks, as the BFILE
    // dialog reads them: a tab or a line break ends one too.
    const std::u16string_view blanks = u" \t\r\n";
    size_t a = head.size();
    size_t aEnd = t.find_first_of(blanks, a);
    if (aEnd == std::u16string_view::npos || aEnd == a) return false;
    if (t.substr(aEnd, mid.size()) != mid) return false;
    size_t f = aEnd + mid.size();
    size_t fEnd = t.find_first_of(blanks, f);
    if (fEnd == std::u16string_view::npos || fEnd == f || t[fEnd] != u' ') return false;
    // The label runs to the last '>' (it may hold blanks: "not found").
    size_t last = t.rfind(u'>');
    if (last <= fEnd + 1) return false;
    std::u16string av(t.substr(a, aEnd - a)), fv(t.substr(f, fEnd - f));
    if (alias) *alias = av.c_str();
    if (file) *file = fv.c_str();
    return true;
}

int ExecArrayDmlRow(OraSession* s, OraCursor* c, int* failCell, const std::vector<int>& rowMap,
                    const char16_t* phase, CString* msg, CancelState* cancel, int flush,
                    const std::vector<int>* colMap, std::vector<int>* countFailed) {
    if (!flush) {
        ++c->rows_in_buffer;
        if (c->rows_in_buffer < c->rows_per_fetch) return ORARC_OK;
    } else if (c->rows_in_buffer == 0) {
        return ORARC_OK;
    }
    int n = c->rows_in_buffer;
    CString text;
    int rc;
    if (s->oci7) {
        if (g_oci.oexn(ora_cda(c), n, 0) != 0) {
            oci_write_log(s, u"\n---\nerror in oci_exn_array_dml_cursor:\n");
            oci_get_cda_error(s, c, &text);
            rc = ORARC_ORACLE_ERROR;
        } else {
            rc = ORARC_OK;
        }
    } else {
        rc = oci8_exec_non_block_cursor(s, c, &text, cancel, 0, n);
    }
    int processed = static_cast<int>(ora_cda_rows(c));
    if (rc == ORARC_OK) {
        c->rows_in_buffer = 0;
        // A row id or primary key finds one row at most: every row sent must
        // have been changed exactly once.
        if (countFailed && processed != n) {
            if (msg) msg->Format(u"%s error\n%s", phase, processed < n ? kRowMissing : kRowMany);
            countFailed->assign(rowMap.begin(), rowMap.begin() + std::min<size_t>(rowMap.size(), size_t(n)));
            if (failCell) {
                failCell[0] = -1;
                failCell[1] = rowMap.empty() ? -1 : rowMap[0];
            }
            return ORARC_ORACLE_ERROR;
        }
        return ORARC_OK;
    }
    if (rc == ORARC_CANCELLED) {
        if (msg) *msg = kCancelled;
    } else if (msg) {
        msg->Format(u"%s error\n%s", phase, StripPosition(text));
    }
    if (failCell) {
        int pos = processed >= 0 && processed < n ? processed : 0;
        failCell[1] = pos < static_cast<int>(rowMap.size()) ? rowMap[static_cast<size_t>(pos)] : -1;
        failCell[0] = ColumnOfLine(ErrorLine(text), colMap);
    }
    return rc;
}

// ---- Keys ---------------------------------------------------------------

CString CEditableOraGridData::MakeKeyWhereClause(int firstBind) {
    CString out;
    int n = firstBind;
    for (size_t i = 0; i < m_keyNames.size(); ++i) {
        CString line;
        line.Format(u"%s \"%s\" = :X%d \n", i == 0 ? u"where" : u"and", m_keyNames[i], n++);
        out += line;
    }
    return out;
}

namespace {

// The visible column of each key name (first match), or -1.
std::vector<int> KeyVisibleColumns(CEditableOraGridData* g) {
    std::vector<int> out;
    int cols = g->GetColCount();
    for (const CString& k : g->GetKeyColNames()) {
        int found = -1;
        for (int c = 0; c < cols && found < 0; ++c)
            if (k == g->GetColName(c)) found = c;
        out.push_back(g->GetKeyColCount() > 1 ? found : -1);
    }
    return out;
}

} // namespace

namespace {

// One array statement over the rows want(row) chooses, in batches of the
// cursor's size: the cursor opened at the first such row, put(cursor, row,
// position, error) fills a row's binds, each full batch executed as it fills
// and the rest at the end. A failed put or cursor ends the phase with
// checkFormat and the error, naming the row; colMap maps an execution error's
// line to its column; count grows by each row sent. reached: the last row
// looked at.
struct ArrayDml {
    const CString& sql;
    const std::vector<CString>& names;
    const char16_t* phase;
    const char16_t* checkFormat;
    const std::vector<int>* colMap;
    std::vector<int>* countFailed;
};

int RunArrayDml(OraTableDef* def, OraSession* s, const ArrayDml& dml, int rows, int* failCell, CString* msg,
                HWND window, CancelState* cancel, const std::function<bool(int)>& want,
                const std::function<int(OraCursor*, int, int, CString*)>& put, int* count, int* reached) {
    OraCursor c{};
    bool open = false;
    std::vector<int> rowMap;
    int rc = ORARC_OK;
    for (int row = 0; row < rows && rc == ORARC_OK; ++row) {
        *reached = row;
        if ((rc = RowStep(row, window, msg)) != ORARC_OK) break;
        if (!want(row)) continue;
        if (!open) {
            open = true;
            if ((rc = CreateArrayCursor(s, &c, def, dml.sql, dml.names, msg)) != ORARC_OK) {
                CString text = StripPosition(msg ? *msg : CString());
                if (msg) msg->Format(dml.checkFormat, text);
                failCell[1] = row;
                break;
            }
            rowMap.assign(static_cast<size_t>(c.rows_per_fetch), -1);
        }
        int pos = c.rows_in_buffer;
        rowMap[static_cast<size_t>(pos)] = row;
        CString err;
        if ((rc = put(&c, row, pos, &err)) != ORARC_OK) {
            if (msg) msg->Format(dml.checkFormat, err);
            failCell[1] = row;
            break;
        }
        rc = ExecArrayDmlRow(s, &c, failCell, rowMap, dml.phase, msg, cancel, 0, dml.colMap, dml.countFailed);
        if (rc == ORARC_OK && count) ++*count;
    }
    if (rc == ORARC_OK && open)
        rc = ExecArrayDmlRow(s, &c, failCell, rowMap, dml.phase, msg, cancel, 1, dml.colMap, dml.countFailed);
    CloseCursor(s, &c, &open);
    return rc;
}

} // namespace

// ---- Deletes ------------------------------------------------------------

int CEditableOraGridData::SaveDeletes(OraTableDef* def, OraSession* s, int* failCell, int* deleted,
                                      CString* msg, HWND window, CancelState* cancel) {
    CString sql;
    sql.Format(u"delete from \"%s\".\"%s\" \n", m_owner, m_table);
    sql += MakeKeyWhereClause(0);
    int firstKey = FirstKeyColumn();
    int reached = -1;
    int rc = RunArrayDml(
        def, s, {sql, m_keyNames, u"delete", u"delete error\n%s", nullptr, &m_countFailedRows}, GetRowCount(),
        failCell, msg, window, cancel, [&](int row) { return IsDeletedRow(row) && DatasetRow(row) >= 0; },
        [&](OraCursor* c, int row, int pos, CString* err) {
            int r = ORARC_OK;
            for (int k = 0; k < static_cast<int>(m_keyNames.size()) && r == ORARC_OK; ++k)
                r = PutValue(c, k, pos, GetOriginalText(row, firstKey + k), err);
            return r;
        },
        deleted, &reached);
    if (!m_countFailedRows.empty()) m_countFailedCol = -1;
    return rc;
}

// ---- Updates ------------------------------------------------------------

int CEditableOraGridData::SaveUpdates(OraTableDef* def, OraSession* s, int* failCell, int* updated,
                                      CString* msg, HWND window, CancelState* cancel) {
    int cols = GetColCount();
    int rows = GetRowCount();
    std::vector<int> keyCols = KeyVisibleColumns(this);
    // Visible key columns go last, so that the other updates still find
    // their rows by the fetched key.
    std::vector<int> order;
    for (int col = 0; col < cols; ++col)
        if (std::find(keyCols.begin(), keyCols.end(), col) == keyCols.end()) order.push_back(col);
    for (int col : keyCols)
        if (col >= 0 && std::find(order.begin(), order.end(), col) == order.end()) order.push_back(col);
    m_updatedKeyCols.clear();
    int rc = ORARC_OK;
    for (int col : order) {
        int t = ColDefineType(col);
        if (IsLobOrObject(t)) {
            for (int row = 0; row < rows && rc == ORARC_OK; ++row) {
                if ((rc = RowStep(row, window, msg)) != ORARC_OK) break;
                if (!IsUpdatedRow(row) || !IsCellModified(row, col)) continue;
                const char16_t* rowid = m_keyColCount == 1 ? GetOriginalText(row, FirstKeyColumn()) : nullptr;
                rc = WriteLobCell(s, rowid, row, col, failCell, msg, cancel);
                if (rc == ORARC_OK) rc = CheckSaveCancel(window, msg);
            }
        } else {
            rc = SaveColumnUpdates(def, s, col, failCell, msg, window, cancel);
        }
        if (rc != ORARC_OK) return rc;
        if (std::find(keyCols.begin(), keyCols.end(), col) != keyCols.end()) m_updatedKeyCols.push_back(col);
    }
    for (int row = 0; row < rows; ++row)
        if (IsUpdatedRow(row)) ++*updated;
    return ORARC_OK;
}

// The key values of a row: the fetched values, or for a key column already
// updated in this save its new text.
std::vector<const char16_t*> CEditableOraGridData::CurrentKeyValues(int row) {
    std::vector<const char16_t*> out;
    std::vector<int> keyCols = KeyVisibleColumns(this);
    int firstKey = FirstKeyColumn();
    for (size_t k = 0; k < m_keyNames.size(); ++k) {
        int vc = keyCols[k];
        bool done = vc >= 0 &&
                    std::find(m_updatedKeyCols.begin(), m_updatedKeyCols.end(), vc) != m_updatedKeyCols.end();
        if (done && IsCellModified(row, vc))
            out.push_back(GetText(row, vc));
        else
            out.push_back(GetOriginalText(row, firstKey + static_cast<int>(k)));
    }
    return out;
}

int CEditableOraGridData::SaveColumnUpdates(OraTableDef* def, OraSession* s, int col, int* failCell,
                                            CString* msg, HWND window, CancelState* cancel) {
    CString sql;
    sql.Format(u"update \"%s\".\"%s\" \nset \"%s\" = :X0 \n", m_owner, m_table, GetColName(col));
    sql += MakeKeyWhereClause(1);
    std::vector<CString> names{CString(GetColName(col))};
    names.insert(names.end(), m_keyNames.begin(), m_keyNames.end());
    int reached = -1;
    int rc = RunArrayDml(
        def, s, {sql, names, u"update", u"update error\n%s", nullptr, &m_countFailedRows}, GetRowCount(),
        failCell, msg, window, cancel, [&](int row) { return IsUpdatedRow(row) && IsCellModified(row, col); },
        [&](OraCursor* c, int row, int pos, CString* err) {
            int r = PutValue(c, 0, pos, GetText(row, col), err);
            std::vector<const char16_t*> keys = CurrentKeyValues(row);
            for (size_t k = 0; k < keys.size() && r == ORARC_OK; ++k)
                r = PutValue(c, static_cast<int>(k + 1), pos, keys[k], err);
            return r;
        },
        nullptr, &reached);
    if (rc != ORARC_OK) {
        failCell[0] = col;
        if (failCell[1] < 0) failCell[1] = reached;
        if (!m_countFailedRows.empty()) m_countFailedCol = col;
    }
    return rc;
}

// ---- Inserts ------------------------------------------------------------

bool CEditableOraGridData::NeedsLiteralLongText(OraSession* s) {
    if (!s || s->oci7) return false;
    if (oci_get_server_version(s) >= 10.0) return false;
    int longCols = 0;
    for (int col = 0; col < GetColCount(); ++col) {
        const OraColumnDesc* d = Desc(col);
        if (d && !IsLobOrObject(ColDefineType(col)) && d->buffer_size > 1000) ++longCols;
    }
    return longCols >= 2;
}

CString CEditableOraGridData::MakeInsertSql(int row, std::vector<int>* bound) {
    int cols = GetColCount();
    if (bound) bound->assign(static_cast<size_t>(cols), 0);
    CString names, values;
    for (int col = 0; col < cols; ++col) {
        int t = ColDefineType(col);
        if (!(m_colFlags[static_cast<size_t>(col)] & 4) && t != SQLT_BLOB) continue;
        if (!names.IsEmpty()) {
            names += u", ";
            values += u", \n";
        }
        names += u"\"";
        names += GetColName(col);
        names += u"\"";
        if (t == SQLT_NTY || t == SQLT_BFILEE) {
            values += u"NULL";
        } else if (t == SQLT_CLOB) {
            values += u"empty_clob()";
        } else if (t == SQLT_BLOB) {
            values += u"empty_blob()";
        } else {
            const OraColumnDesc* d = Desc(col);
            if (row >= 0 && d && d->buffer_size > 1000 && MbSize(GetText(row, col)) >= 1001) {
                values += MakeSqlLiteral(GetText(row, col));
            } else {
                CString v;
                v.Format(u":X%d", col);
                values += v;
                if (bound) (*bound)[static_cast<size_t>(col)] = 1;
            }
        }
    }
    CString sql;
    sql.Format(u"insert into \"%s\".\"%s\" (%s) \nvalues (%s) \nreturning rowid into :rid", m_owner, m_table,
               names, values);
    return sql;
}

int CEditableOraGridData::SaveInserts(OraTableDef* def, OraSession* s, int* failCell, int* inserted,
                                      CString* msg, HWND window, CancelState* cancel) {
    bool literal = NeedsLiteralLongText(s);
    if (literal || m_dataset->lob_col_count > 0 || m_dataset->object_col_count > 0)
        return SaveInsertsByRow(def, s, failCell, inserted, msg, window, cancel, literal);
    int cols = GetColCount();
    std::vector<int> colMap;
    std::vector<CString> names;
    CString list, values;
    for (int col = 0; col < cols; ++col) {
        if (!(m_colFlags[static_cast<size_t>(col)] & 4)) continue;
        CString v;
        v.Format(u":X%d", static_cast<int>(colMap.size()));
        if (!colMap.empty()) {
            list += u", ";
            values += u", \n";
        }
        list += u"\"";
        list += GetColName(col);
        list += u"\"";
        values += v;
        colMap.push_back(col);
        names.emplace_back(GetColName(col));
    }
    CString sql;
    sql.Format(u"insert into \"%s\".\"%s\" (%s) \nvalues (%s)", m_owner, m_table, list, values);
    int reached = -1;
    return RunArrayDml(
        def, s, {sql, names, u"insert", u"insert error \n%s", &colMap, nullptr}, GetRowCount(), failCell, msg,
        window, cancel, [&](int row) { return IsInsertedRow(row); },
        [&](OraCursor* c, int row, int pos, CString* err) -> int {
            for (size_t k = 0; k < colMap.size(); ++k) {
                int r = PutValue(c, static_cast<int>(k), pos, GetText(row, colMap[k]), err);
                if (r != ORARC_OK) {
                    failCell[0] = colMap[k];
                    return r;
                }
            }
            return ORARC_OK;
        },
        inserted, &reached);
}

int CEditableOraGridData::SaveInsertsByRow(OraTableDef* def, OraSession* s, int* failCell, int* inserted,
                                           CString* msg, HWND window, CancelState* cancel, bool literalMode) {
    int cols = GetColCount();
    std::vector<int> bound;
    CString general = MakeInsertSql(-1, &bound);
    OraCursor gc{};
    CString err;
    int failRow = -1;
    int rc = oci_cre_cursor(s, &gc, general.GetString(), &err);
    bool lobWriteFailed = false;
    // The statement's value lines, for the failing column of an error.
    auto partsOf = [&](const std::vector<int>&) {
        std::vector<int> parts;
        for (int col = 0; col < cols; ++col)
            if ((m_colFlags[static_cast<size_t>(col)] & 4) || ColDefineType(col) == SQLT_BLOB)
                parts.push_back(col);
        return parts;
    };
    std::vector<int> parts = partsOf(bound);
    int rows = GetRowCount();
    for (int row = 0; row < rows && rc == ORARC_OK; ++row) {
        if (row % 100 == 0 && window) {
            SendMessageW(window, WPM_STEPIT, 0, 0);
            if (oci_cancel_requested(cancel)) {
                err = kCancelled;
                rc = ORARC_CANCELLED;
                break;
            }
        }
        if (!IsInsertedRow(row)) continue;
        failRow = row;
        OraCursor rcur{};
        bool rowCursor = false;
        OraCursor* cur = &gc;
        std::vector<int> flags = bound;
        CString rowSql;
        if (literalMode) {
            int longTexts = 0;
            for (int col = 0; col < cols; ++col) {
                const OraColumnDesc* d = Desc(col);
                if (bound[static_cast<size_t>(col)] && d && !IsLobOrObject(ColDefineType(col)) &&
                    d->buffer_size > 1000 && MbSize(GetText(row, col)) > 1000)
                    ++longTexts;
            }
            if (longTexts >= 2) {
                rowSql = MakeInsertSql(row, &flags);
                if ((rc = oci_cre_cursor(s, &rcur, rowSql.GetString(), &err)) != ORARC_OK) {
                    CString ignored;
                    oci_del_cursor(s, &rcur, &ignored);
                    break;
                }
                rowCursor = true;
                cur = &rcur;
            }
        }
        // A logical row id of an index-organised table is longer than 24 bytes.
        char rid[4001];
        rid[0] = 0;
        rc = oci_bind_rowid(s, cur, rid, sizeof rid, &err);
        for (int col = 0; col < cols && rc == ORARC_OK; ++col) {
            if (!flags[static_cast<size_t>(col)]) continue;
            const char16_t* text = GetText(row, col);
            const OraColumnDesc* d = DefColumn(def, GetColName(col));
            if (!d) {
                err.Format(u"項目が存在しません(項目名:%s)\n", GetColName(col));
                rc = ORARC_NO_COLUMN;
                failCell[0] = col;
                break;
            }
            if ((!text || !*text) && !d->nullable) {
                err.Format(u"必須項目にNULLが設定されました(%s)\n", GetColName(col));
                rc = ORARC_NOT_NULL;
                failCell[0] = col;
                break;
            }
            if (text && *text && (MbSize(text) == 0 || MbSize(text) > d->buffer_size)) {
                rc = RefuseValue(*d, GetColName(col), text, &err);
                failCell[0] = col;
                break;
            }
            CString name;
            name.Format(u":X%d", col);
            rc = oci_bind_str_csform(s, cur, name.GetString(), text, d->charset_form, &err);
        }
        if (rc == ORARC_OK) rc = oci_exec_cursor(s, cur, &err);
        if (rc == ORARC_OK) {
            char16_t wrid[4001];
            OciMbToWideFunc conv = g_mb_to_wide ? g_mb_to_wide : oci_mb_to_wide;
            if (!conv(rid, wrid, 4001)) wrid[0] = 0;
            for (int col = 0; col < cols && rc == ORARC_OK; ++col)
                if (IsLobOrObject(ColDefineType(col))) {
                    rc = WriteLobCell(s, wrid, row, col, failCell, msg, cancel);
                    if (rc != ORARC_OK) lobWriteFailed = true;
                }
        } else if (failCell[0] < 0) {
            failCell[0] = ColumnOfLine(ErrorLine(err), &parts);
        }
        if (rowCursor) {
            CString ignored;
            oci_del_cursor(s, &rcur, &ignored);
        }
        if (rc != ORARC_OK) break;
        ++*inserted;
        if (oci_cancel_requested(cancel)) {
            err = kCancelled;
            rc = ORARC_CANCELLED;
            break;
        }
    }
    CString closeMsg;
    int del = oci_del_cursor(s, &gc, &closeMsg);
    if (rc == ORARC_OK && del != ORARC_OK && s->oci7 && s->last_error != 1001) {
        oci_write_log(s, u"\n---\nerror in oci_del_cursor:\n");
        err = closeMsg;
        rc = ORARC_ORACLE_ERROR;
    }
    if (rc != ORARC_OK && !lobWriteFailed) {
        if (msg) {
            if (rc == ORARC_CANCELLED)
                *msg = kCancelled;
            else
                msg->Format(u"insert error \n%s", StripPosition(err));
        }
        failCell[1] = failRow;
    }
    return rc;
}

// ---- Large objects ------------------------------------------------------

int CEditableOraGridData::WriteLobCell(OraSession* s, const char16_t* rowid, int row, int col, int* failCell,
                                       CString* msg, CancelState* cancel) {
    int t = ColDefineType(col);
    CString colName = GetColName(col);
    const char16_t* text = GetText(row, col);
    CString err;
    int rc = ORARC_OK;
    // The row: by the row id, or by the fetched key of an index-organised
    // table's row.
    auto where = [&](int firstBind, std::vector<CString>* binds) {
        if (rowid) {
            binds->emplace_back(rowid);
            CString w;
            w.Format(u"where rowid = :X%d \n", firstBind);
            return w;
        }
        int firstKey = FirstKeyColumn();
        for (size_t k = 0; k < m_keyNames.size(); ++k)
            binds->emplace_back(GetOriginalText(row, firstKey + static_cast<int>(k)));
        return MakeKeyWhereClause(firstBind);
    };
    auto single = [&](const CString& sql, std::vector<CString>& binds) {
        int changed = 0;
        int r = ExecWithBinds(s, sql, binds, &err, cancel, &changed);
        if (r == ORARC_OK && changed != 1) {
            err = changed < 1 ? kRowMissing : kRowMany;
            r = ORARC_ORACLE_ERROR;
        }
        return r;
    };
    CString head;
    head.Format(u"update \"%s\".\"%s\" \nset \"%s\" = ", m_owner, m_table, colName);
    if (IsNull(row, col)) {
        std::vector<CString> binds;
        CString sql = head + u"'' \n" + where(0, &binds);
        rc = single(sql, binds);
    } else if (t == SQLT_NTY) {
        if (!IsObjectValueText(text)) {
            err.Format(u"オブジェクトの値が不正です(%s)\n", colName);
            rc = ORARC_TOO_LONG;
        } else {
            std::vector<CString> binds;
            CString sql = head + text + u" \n" + where(0, &binds);
            rc = single(sql, binds);
        }
    } else if (t == SQLT_BFILEE) {
        CString alias, file;
        if (!ParseBfileText(text, &alias, &file)) {
            err.Format(u"BFILEの値が不正です(%s)\n", colName);
            rc = ORARC_TOO_LONG;
        } else {
            std::vector<CString> binds{alias, file};
            CString sql = head + u"bfilename(:X0, :X1) \n" + where(2, &binds);
            rc = single(sql, binds);
        }
    } else {
        OraLobCell* fetched = GetLobLocator(row, col);
        if (fetched && fetched->null_flag) {
            std::vector<CString> binds;
            CString sql =
                head + (t == SQLT_CLOB ? u"empty_clob()" : u"empty_blob()") + u" \n" + where(0, &binds);
            rc = single(sql, binds);
        }
        OraDataset ds{};
        if (rc == ORARC_OK) {
            std::vector<CString> binds;
            CString sel;
            sel.Format(u"select \"%s\" from \"%s\".\"%s\" ", colName, m_owner, m_table);
            CString w = where(0, &binds);
            if (rowid) {
                sel += u"where rowid = :X0 \nfor update";
            } else {
                sel += w;
                sel += u"for update";
            }
            std::vector<const char16_t*> values;
            for (const CString& b : binds) values.push_back(b.GetString());
            rc = oci_sel_dataset_with_cancel(s, &ds, sel.GetString(), 1, &err, nullptr, cancel, "A",
                                             values.data(), static_cast<int>(values.size()));
            if (rc == ORARC_OK && ds.row_count < 1) {
                err = u"LOBデータが見つかりません";
                rc = ORARC_ORACLE_ERROR;
            }
            const OraColumnDesc* d = ds.col_count > 0 ? &ds.cols[0] : nullptr;
            OraLobCell* cell = rc == ORARC_OK && d && (d->data_type == SQLT_CLOB || d->data_type == SQLT_BLOB)
                                   ? reinterpret_cast<OraLobCell*>(ds.row_index[0] + ds.col_offsets[0])
                                   : nullptr;
            if (rc == ORARC_OK && (!cell || !cell->locator)) {
                err = u"LOBデータが見つかりません";
                rc = ORARC_ORACLE_ERROR;
            }
            if (rc == ORARC_OK && t == SQLT_CLOB) {
                std::string bytes = ToMb(text);
                if (!bytes.empty() || !*text) {
                    if (cell->length != 0 &&
                        g_oci.OCILobTrim(s->svc, s->err, cell->locator, 0) != OCI_SUCCESS) {
                        oci8_get_error(s, &err);
                        oci_write_log(s, u"\n---\nerror in oci_write_clob_data:\n");
                        rc = ORARC_ORACLE_ERROR;
                    }
                    if (rc == ORARC_OK && !bytes.empty()) {
                        ub4 amount = static_cast<ub4>(bytes.size());
                        if (g_oci.OCILobWrite(s->svc, s->err, cell->locator, &amount, 1, bytes.data(),
                                              static_cast<ub4>(bytes.size()), OCI_ONE_PIECE, nullptr, nullptr,
                                              cell->charset_id, cell->charset_form) != OCI_SUCCESS) {
                            oci8_get_error(s, &err);
                            oci_write_log(s, u"\n---\nerror in oci_write_clob_data:\n");
                            rc = ORARC_ORACLE_ERROR;
                        }
                    }
                } else {
                    err = kNoMemory;
                    rc = ORARC_NO_MEMORY;
                }
            } else if (rc == ORARC_OK) {
                OraLobValue v = ora_lob_value(*cell);
                rc = oci_hlob_upload(s, &v, text, &err);
            }
        }
        oci_free_dataset(&ds);
    }
    if (rc != ORARC_OK) {
        if (msg) {
            if (rc == ORARC_CANCELLED)
                *msg = kCancelled;
            else
                msg->Format(u"insert/update lob error\n%s", StripPosition(err));
        }
        failCell[0] = col;
        failCell[1] = row;
    }
    return rc;
}

// ---- Driver -------------------------------------------------------------

int CEditableOraGridData::SaveChanges(OraSession* s, int* failCell, CString* msg, HWND window,
                                      CancelState* cancel) {
    int rows = GetRowCount();
    if (window) {
        SendMessageW(window, WPM_SETTEXT, 1, reinterpret_cast<LPARAM>(u"データ保存開始"));
        SendMessageW(window, WPM_SETRANGE, 1, (rows / 100) * 3 + 3);
    }
    failCell[0] = -1;
    failCell[1] = -1;
    m_countFailedRows.clear();
    m_countFailedCol = -1;
    m_updatedKeyCols.clear();
    int deleted = 0, inserted = 0, updated = 0;
    OraTableDef def{};
    CString text;
    int rc = oci_exec_sql(s, u"savepoint tavex_p1", &text);
    if (rc == ORARC_OK) {
        CString name;
        name.Format(u"\"%s\".\"%s\"", m_owner, m_table);
        rc = oci_get_table_def_with_rowid(s, &def, name.GetString(), &text);
    }
    auto status = [&](const char16_t* t) {
        if (window) SendMessageW(window, WPM_SETTEXT, 1, reinterpret_cast<LPARAM>(t));
    };
    if (rc == ORARC_OK) {
        status(u"deleteを実行中");
        rc = SaveDeletes(&def, s, failCell, &deleted, &text, window, cancel);
    }
    if (rc == ORARC_OK) {
        status(u"updateを実行中");
        rc = SaveUpdates(&def, s, failCell, &updated, &text, window, cancel);
    }
    if (rc == ORARC_OK) {
        status(u"insertを実行中");
        rc = SaveInserts(&def, s, failCell, &inserted, &text, window, cancel);
    }
    if (rc == ORARC_OK && window) rc = CheckSaveCancel(window, &text);
    if (rc == ORARC_OK) {
        CString err;
        rc = oci_ora_commit(s, &err);
        if (rc != ORARC_OK) {
            // The commit has logged its own record.
            text = err;
            rc = ORARC_ORACLE_ERROR;
        }
    }
    if (rc == ORARC_OK) {
        if (msg)
            msg->Format(u"編集結果を保存しました。\n    delete: %d\n    insert %d\n    update %d", deleted,
                        inserted, updated);
    } else if (oci_exec_sql(s, u"rollback to tavex_p1", nullptr) != ORARC_OK) {
        if (msg) *msg = u"fatal error: rollback to tavex_p1";
        rc = ORARC_FAILED;
    } else {
        if (msg) *msg = text;
        if (!m_countFailedRows.empty()) NameMissingRow(s, failCell);
    }
    if (def.columns) {
        std::free(def.columns);
        def.columns = nullptr;
    }
    return rc;
}

// After a batch changed fewer or more rows than it sent, and the rollback:
// the first of its rows that its fetched key does not find exactly once.
void CEditableOraGridData::NameMissingRow(OraSession* s, int* failCell) {
    CString sql;
    sql.Format(u"select count(*) from \"%s\".\"%s\" \n", m_owner, m_table);
    sql += MakeKeyWhereClause(0);
    int firstKey = FirstKeyColumn();
    int named = m_countFailedRows.empty() ? -1 : m_countFailedRows[0];
    for (int row : m_countFailedRows) {
        if (row < 0) continue;
        std::vector<const char16_t*> keys;
        for (size_t k = 0; k < m_keyNames.size(); ++k)
            keys.push_back(GetOriginalText(row, firstKey + static_cast<int>(k)));
        char16_t value[64];
        CString err;
        if (oci_sel_value(s, sql.GetString(), value, sizeof value, &err, "A", keys.data(),
                          static_cast<int>(keys.size())) != ORARC_OK)
            break;
        if (std::u16string_view(value) != u"1") {
            named = row;
            break;
        }
    }
    failCell[0] = m_countFailedCol;
    failCell[1] = named;
    m_countFailedRows.clear();
}

unsigned SaveThreadProc(void* param) {
    auto* p = static_cast<SaveThreadParams*>(param);
    p->result = p->grid->SaveChanges(p->session, p->failCell, p->message, p->window, p->cancel);
    if (p->window) PostMessageW(p->window, WPM_FINISHED, static_cast<WPARAM>(p->result), 0);
    return static_cast<unsigned>(p->result);
}
