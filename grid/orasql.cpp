// The pending edits of the Oracle-bound model as SQL text, every value a
// literal and every row found by its primary key.
#include "editor/editdata.h"
#include "grid/oragrid.h"
#include "oracle/ora_dict.h"

int CEditableOraGridData::MakeUpdateSqlText(CString* msg, CEditData* text) {
    text->Reset();
    if (m_dataset->lob_col_count > 0) {
        if (msg) *msg = u"LOBデータには対応していません";
        return 1;
    }
    OraDataset keys{};
    int rc = oradict_get_key_columns(g_session, &keys, m_owner.GetString(), m_table.GetString(), msg);
    if (rc != ORARC_OK) {
        oci_free_dataset(&keys);
        return rc;
    }
    if (keys.row_count == 0) {
        oci_free_dataset(&keys);
        if (msg) *msg = u"Primary Keyの無いテーブルでは，この機能を利用できません";
        return 1;
    }
    // The dataset column of each key column (hidden ones included).
    std::vector<int> keyCols;
    for (int k = 0; k < keys.row_count; ++k) {
        std::u16string_view name = oci_get_dataset_data(&keys, k, 0);
        int found = -1;
        for (int c = 0; c < m_dataset->col_count && found < 0; ++c)
            if (name == m_dataset->cols[c].wname) found = c;
        if (found < 0) {
            if (msg)
                msg->Format(u"Primary Keyのカラムが表示されていないため，この機能を利用できません(%s)", name);
            oci_free_dataset(&keys);
            return 1;
        }
        keyCols.push_back(found);
    }
    oci_free_dataset(&keys);
    int cols = GetColCount();
    auto keyCondition = [&](int row) {
        CString out;
        for (size_t k = 0; k < keyCols.size(); ++k) {
            int c = keyCols[k];
            const char16_t* value = IsCellModified(row, c) ? GetOriginalText(row, c) : GetText(row, c);
            if (k) out += u" and ";
            CString part;
            part.Format(u"\"%s\" = %s", m_dataset->cols[c].wname, MakeSqlLiteral(value));
            out += part;
        }
        return out;
    };
    int rows = GetRowCount();
    for (int row = 0; row < rows; ++row) {
        if (!IsDeletedRow(row) || IsInsertedRow(row) || DatasetRow(row) < 0) continue;
        CString sql;
        sql.Format(u"delete from \"%s\".\"%s\" where ", m_owner, m_table);
        sql += keyCondition(row);
        sql += u";\n";
        text->InsertText(sql.GetString());
    }
    for (int row = 0; row < rows; ++row) {
        if (!IsUpdatedRow(row)) continue;
        CString sql;
        sql.Format(u"update \"%s\".\"%s\" set ", m_owner, m_table);
        bool first = true;
        for (int c = 0; c < cols; ++c) {
            if (!IsCellModified(row, c)) continue;
            CString part;
            part.Format(u"\"%s\" = %s", GetColName(c), MakeSqlLiteral(GetText(row, c)));
            if (!first) sql += u", ";
            sql += part;
            first = false;
        }
        sql += u" where ";
        sql += keyCondition(row);
        sql += u";\n";
        text->InsertText(sql.GetString());
    }
    CString head;
    head.Format(u"insert into \"%s\".\"%s\" (", m_owner, m_table);
    for (int c = 0; c < cols; ++c) {
        if (c) head += u", ";
        head += u"\"";
        head += GetColName(c);
        head += u"\"";
    }
    head += u") values (";
    for (int row = 0; row < rows; ++row) {
        if (!IsInsertedRow(row)) continue;
        CString sql = head;
        for (int c = 0; c < cols; ++c) {
            if (c) sql += u", ";
            sql += MakeSqlLiteral(GetText(row, c));
        }
        sql += u");\n";
        text->InsertText(sql.GetString());
    }
    return 0;
}
