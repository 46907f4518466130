#include "grid/strgrid.h"

CStrGridData::~CStrGridData() {
    FreeArrays();
}

void CStrGridData::AllocArrays(int rows, int cols) {
    FreeArrays();
    rows = std::max(0, rows);
    cols = std::max(0, cols);
    m_cells = new CString[static_cast<size_t>(rows) * static_cast<size_t>(cols) + 1];
    m_colNames = new CString[static_cast<size_t>(cols) + 1];
    m_colEditable = new int[static_cast<size_t>(cols) + 1]();
    m_rowCount = rows;
    m_colCount = cols;
    AllocColumnWidths();
}

void CStrGridData::FreeArrays() {
    delete[] m_cells;
    delete[] m_colNames;
    delete[] m_colEditable;
    m_cells = nullptr;
    m_colNames = nullptr;
    m_colEditable = nullptr;
    m_rowCount = m_colCount = 0;
}

int CStrGridData::GetColCount() {
    return m_colCount;
}
int CStrGridData::GetRowCount() {
    return m_rowCount;
}

const char16_t* CStrGridData::GetText(int row, int col) {
    if (!In(row, col) || !m_cells) return u"";
    return m_cells[static_cast<size_t>(row) * static_cast<size_t>(m_colCount) + static_cast<size_t>(col)];
}

int CStrGridData::IsNull(int row, int col) {
    return GetText(row, col)[0] == 0 ? 1 : 0;
}

const char16_t* CStrGridData::GetColName(int col) {
    if (col < 0 || col >= m_colCount || !m_colNames) return u"";
    return m_colNames[col];
}

int CStrGridData::GetColDataSize(int) {
    return 100;
}
int CStrGridData::IsEditable() {
    return m_editable;
}

int CStrGridData::IsCellEditable(int row, int col) {
    if (!m_editable || !In(row, col) || !m_colEditable) return 0;
    return m_colEditable[col] ? 1 : 0;
}

int CStrGridData::SetText(int row, int col, const char16_t* text, int) {
    if (!IsCellEditable(row, col)) return 1;
    m_cells[static_cast<size_t>(row) * static_cast<size_t>(m_colCount) + static_cast<size_t>(col)] =
        text ? text : u"";
    return 0;
}

void CStrGridData::SetAreaText(POINT a, POINT b, const char16_t* text, int) {
    if (b.y < a.y) return;
    for (int r = a.y; r <= b.y; ++r)
        for (int c = a.x; c <= b.x; ++c) SetText(r, c, text, -1);
}

int CStrGridData::PasteText(const char16_t* text) {
    SetText(m_curRow, m_curCol, text, -1);
    return 0;
}
