// CStrGridData: a fixed table of strings with column names.
#pragma once

#include "grid/griddata.h"

class CStrGridData : public CGridData {
public:
    int m_colCount = 0;
    int m_rowCount = 0;
    CString* m_cells = nullptr; // row-major
    CString* m_colNames = nullptr;
    int* m_colEditable = nullptr;
    int m_editable = 0;

    CStrGridData() = default;
    ~CStrGridData() override;

    // Allocates the three arrays for rows x cols (columns not editable) and
    // the column widths.
    void AllocArrays(int rows, int cols);
    void FreeArrays();
    virtual int Slot64() { return 0; }
    virtual int Slot65() { return 0; }

    int GetColCount() override;
    int GetRowCount() override;
    const char16_t* GetText(int row, int col) override;
    int IsNull(int row, int col) override;
    const char16_t* GetColName(int col) override;
    int GetColDataSize(int col) override;
    int IsEditable() override;
    int IsCellEditable(int row, int col) override;
    int SetText(int row, int col, const char16_t* text, int length) override;
    void SetAreaText(POINT a, POINT b, const char16_t* text, int length) override;
    int PasteText(const char16_t* text) override;

private:
    bool In(int row, int col) const { return row >= 0 && row < m_rowCount && col >= 0 && col < m_colCount; }
};
