#include "grid/oragrid.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <mfc/app.h>

#include "editor/clobread.h"
#include "editor/editdata.h"
#include "oracle/oci_exec.h"

namespace {

bool IsLob(int dataType) {
    return dataType == SQLT_CLOB || dataType == SQLT_BLOB || dataType == SQLT_BFILEE;
}

} // namespace

CEditableOraGridData::CEditableOraGridData() {
    m_ownDataset = new OraDataset{};
    m_dataset = m_ownDataset;
}

CEditableOraGridData::~CEditableOraGridData() {
    oci_free_dataset(m_ownDataset);
    delete m_ownDataset;
}

const OraColumnDesc* CEditableOraGridData::Desc(int col) const {
    if (!m_dataset || !m_dataset->cols || col < 0 || col >= m_dataset->col_count) return nullptr;
    return &m_dataset->cols[col];
}

int CEditableOraGridData::ColDefineType(int col) const {
    const OraColumnDesc* d = Desc(col);
    if (!d) return 0;
    if (IsLob(d->data_type)) return d->data_type;
    return d->define_type;
}

int CEditableOraGridData::DatasetRow(int row) {
    if (row < 0 || row >= m_rowCount) return -1;
    GridRow* r = Row(row);
    if (r->flags & GROW_INSERTED) return -1;
    if (r->id < 0 || r->id >= m_dataset->row_count) return -1;
    return r->id;
}

int CEditableOraGridData::FirstKeyColumn() const {
    int n = m_dataset ? m_dataset->col_count : 0;
    return m_keyColCount > 1 ? n - m_keyColCount + 1 : n - 1;
}

int CEditableOraGridData::SetDataset(OraSession* session, OraDataset* dataset, const char16_t* owner,
                                     const char16_t* table, int dataLock, int useUpdatableColumns) {
    m_session = session;
    m_dataLock = dataLock;
    m_owner = owner ? owner : u"";
    m_table = table ? table : u"";
    m_unreadableClobs.clear();
    m_clobBoxShown = false;
    m_errorMessage.Empty();
    if (!dataset) {
        m_rowsInsertable = 0;
        m_rowsEditable = 0;
        m_dataset = m_ownDataset;
    } else {
        m_dataset = dataset;
    }
    if (SetupRows(m_dataset->row_count, m_dataset->col_count)) {
        SetupRows(0, 0);
        return 1;
    }
    LoadUpdatableColumns(session, useUpdatableColumns);
    int n = m_dataset->col_count;
    int rowidCol = -1;
    for (int k = 0; k < n; ++k) {
        if (std::u16string_view(m_dataset->cols[k].wname) == u"ROWID") {
            rowidCol = k;
            break;
        }
    }
    m_keyColCount = rowidCol < 0 ? 1 : n - rowidCol;
    m_keyNames.clear();
    if (m_keyColCount == 1) {
        m_keyNames.emplace_back(u"ROWID");
    } else {
        for (int k = rowidCol + 1; k < n; ++k) m_keyNames.emplace_back(m_dataset->cols[k].wname);
    }
    return 0;
}

void CEditableOraGridData::LoadUpdatableColumns(OraSession* session, int flag) {
    int n = m_dataset->col_count;
    if (n <= 0) return;
    m_rowsInsertable = 1;
    m_rowsEditable = 1;
    auto fixed = [&](int k) {
        int t = m_dataset->cols[k].data_type;
        return t == SQLT_BLOB || t == SQLT_BFILEE;
    };
    for (int k = 0; k < n && k < static_cast<int>(m_colFlags.size()); ++k) m_colFlags[k] = fixed(k) ? 0 : 7;
    if (!session || !flag) return;
    OraDataset ds{};
    CString msg;
    int rc = oci_sel_dataset(session, &ds,
                             u"select u.column_name, u.updatable, u.insertable, u.deletable \n"
                             u"from user_updatable_columns u \n"
                             u"where u.owner = :X0 \n"
                             u"and u.table_name = :X1 \n",
                             100, &msg, "SS", m_owner.GetString(), m_table.GetString());
    if (rc == ORARC_OK && ds.row_count > 0 && ds.col_count >= 4) {
        m_rowsInsertable = 0;
        m_rowsEditable = 0;
        for (int r = 0; r < ds.row_count; ++r) {
            std::u16string_view name = oci_get_dataset_data(&ds, r, 0);
            for (int k = 0; k < n && k < static_cast<int>(m_colFlags.size()); ++k) {
                if (name != m_dataset->cols[k].wname) continue;
                if (!fixed(k)) {
                    int f = 0;
                    if (std::u16string_view(oci_get_dataset_data(&ds, r, 1)) == u"YES") f |= 1;
                    if (std::u16string_view(oci_get_dataset_data(&ds, r, 2)) == u"YES") {
                        f |= 4;
                        m_rowsInsertable = 1;
                    }
                    if (std::u16string_view(oci_get_dataset_data(&ds, r, 3)) == u"YES") {
                        f |= 2;
                        m_rowsEditable = 1;
                    }
                    m_colFlags[k] = f;
                }
                break;
            }
        }
    }
    oci_free_dataset(&ds);
}

OraLobCell* CEditableOraGridData::GetLobLocator(int row, int col) {
    const OraColumnDesc* d = Desc(col);
    if (!d || !IsLob(d->data_type)) return nullptr;
    int id = DatasetRow(row);
    if (id < 0 || !m_dataset->row_index) return nullptr;
    return reinterpret_cast<OraLobCell*>(m_dataset->row_index[id] + m_dataset->col_offsets[col]);
}

int CEditableOraGridData::SetLobCellText(int row, int col, const char16_t* text) {
    int t = ColDefineType(col);
    if (t != SQLT_BLOB && t != SQLT_BFILEE) return 0;
    CEditableGridData::SetTextWithUndo(row, col, text, -1);
    return 1;
}

bool CEditableOraGridData::ClobUnreadable(int row, int col) {
    if (m_unreadableClobs.empty() || ColDefineType(col) != SQLT_CLOB) return false;
    int id = DatasetRow(row);
    return id >= 0 && m_unreadableClobs.count({id, col}) > 0;
}

const char16_t* CEditableOraGridData::ReadClobText(int row, int col) {
    OraLobCell* cell = GetLobLocator(row, col);
    if (!cell || cell->complete_flag || ClobUnreadable(row, col)) return GetText(row, col);
    CEditData data;
    CString msg;
    OraLobValue lob = ora_lob_value(*cell);
    if (oci_read_clob_data(m_session, &data, &lob, &msg) != ORARC_OK) {
        // The cell stays at its fetched (cut) text and read-only until the
        // next binding; one box for the failures in a row.
        m_unreadableClobs.insert({DatasetRow(row), col});
        if (!m_clobBoxShown) {
            m_clobBoxShown = true;
            CWnd* main = AfxGetMainWnd();
            MessageBoxW(main ? main->GetSafeHwnd() : nullptr, msg.GetString(), u"メッセージ",
                        MB_OK | MB_ICONINFORMATION);
        }
        return GetText(row, col);
    }
    m_clobBoxShown = false;
    m_clobCache = data.GetAllText();
    return m_clobCache.GetString();
}

int CEditableOraGridData::GetColCount() {
    int n = m_dataset ? m_dataset->col_count - m_keyColCount : 0;
    return n < 0 ? 0 : n;
}

const char16_t* CEditableOraGridData::GetEditText(int row, int col) {
    if (ColDefineType(col) == SQLT_CLOB && !IsCellModified(row, col)) return ReadClobText(row, col);
    return GetText(row, col);
}

// A CLOB whose whole text could not be read keeps its fetched beginning; a
// LONG arrives cut at the read buffer. An edited cell holds the user's text.
// Only a CLOB read cut is marked unreadable, and the dataset records cut
// LONG values alone.
int CEditableOraGridData::IsValueCut(int row, int col) {
    if (IsCellModified(row, col)) return 0;
    if (ClobUnreadable(row, col)) return 1;
    return oci_dataset_value_cut(m_dataset, DatasetRow(row), col);
}

int CEditableOraGridData::GetTextLength(int row, int col, int countFlag, uint32_t ch) {
    if (ColDefineType(col) == SQLT_CLOB && !IsCellModified(row, col)) {
        if (OraLobCell* cell = GetLobLocator(row, col)) {
            if (cell->null_flag) return 2;
            int64_t n = static_cast<int64_t>(cell->length) * 8 + 2;
            return n > INT_MAX ? INT_MAX : static_cast<int>(n);
        }
    }
    return CGridData::GetTextLength(row, col, countFlag, ch);
}

int CEditableOraGridData::IsNull(int row, int col) {
    const char16_t* t = GetText(row, col);
    return !t || !t[0];
}

const char16_t* CEditableOraGridData::GetColName(int col) {
    const OraColumnDesc* d = Desc(col);
    return d ? d->wname : u"";
}

int CEditableOraGridData::GetColDataSize(int col) {
    const OraColumnDesc* d = Desc(col);
    if (!d) return 0;
    return IsLob(d->data_type) ? d->display_size : d->buffer_size;
}

// A floating NUMBER (no precision, or a FLOAT) is described with scale -127
// in both call sets; the grid's callers know it as 129, no scale.
int CEditableOraGridData::GetColScale(int col) {
    const OraColumnDesc* d = Desc(col);
    if (!d) return 0;
    return d->scale == -127 ? 129 : d->scale;
}

int CEditableOraGridData::GetColType(int, int col) {
    const OraColumnDesc* d = Desc(col);
    if (!d) return 1;
    if (d->data_type == SQLT_NUM) return 0;
    if (d->data_type == SQLT_AFC) return 2;
    return 1;
}

int CEditableOraGridData::IsColNullable(int col) {
    const OraColumnDesc* d = Desc(col);
    return d ? d->nullable : 0;
}

int CEditableOraGridData::GetMaxInputLen(int, int col) {
    const OraColumnDesc* d = Desc(col);
    if (!d) return 0;
    if (d->data_type == SQLT_CLOB) return INT_MAX;
    if (d->data_type == SQLT_BLOB || d->data_type == SQLT_BFILEE) return 260;
    return d->buffer_size - 1;
}

const char16_t* CEditableOraGridData::GetOriginalText(int row, int col) {
    int id = DatasetRow(row);
    if (id < 0 || !Desc(col) || !m_dataset->row_index) return u"";
    const char16_t* t = oci_get_dataset_data(m_dataset, id, col);
    return t ? t : u"";
}

const char16_t* CEditableOraGridData::GetColTypeName(int col) {
    const OraColumnDesc* d = Desc(col);
    m_typeName.Empty();
    if (!d) return u"";
    char type[100], size[20];
    CString msg;
    oci_get_col_type_str(m_session, d, type, size, &msg);
    if (!type[0]) return u"";
    char text[128];
    if (size[0])
        std::snprintf(text, sizeof text, "%s(%s)", type, size);
    else
        std::snprintf(text, sizeof text, "%s", type);
    char16_t wide[401];
    OciMbToWideFunc conv = g_mb_to_wide ? g_mb_to_wide : oci_mb_to_wide;
    if (!conv(text, wide, 401)) wide[0] = 0;
    m_typeName = wide;
    return m_typeName.GetString();
}

const char16_t* CEditableOraGridData::GetErrorMessage() {
    return m_errorMessage.GetString();
}

int CEditableOraGridData::IsCellEditable(int row, int col) {
    if (ClobUnreadable(row, col)) return 0;
    return CEditableGridData::IsCellEditable(row, col);
}

int CEditableOraGridData::SetText(int row, int col, const char16_t* text, int length) {
    return SetTextWithUndo(row, col, text, length);
}

int CEditableOraGridData::SetTextWithUndo(int row, int col, const char16_t* text, int length) {
    if (ClobUnreadable(row, col)) {
        m_errorMessage = u"CLOBデータを読み込めないため編集できません";
        return 1;
    }
    m_errorMessage.Empty();
    return CEditableGridData::SetTextWithUndo(row, col, text, length);
}

int CEditableOraGridData::GetKeyColCount() {
    return m_keyColCount;
}
