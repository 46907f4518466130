// A vector-backed editable model for the tests: original texts, NULLs, column
// kinds and input limits come from arrays.
#pragma once

#include <string>
#include <vector>

#include "grid/editgrid.h"

class VectorGridData : public CEditableGridData {
public:
    std::vector<std::u16string> names;
    std::vector<std::vector<std::u16string>> cells; // [row][col]
    std::vector<std::vector<char>> nulls;           // [row][col]
    std::vector<int> kinds;                         // per column: 0 numeric
    std::vector<int> maxLen;                        // per column
    int keyCols = 0;

    VectorGridData() = default;
    VectorGridData(int rows, int cols) { Reset(rows, cols); }

    void Reset(int rows, int cols) {
        names.assign(static_cast<size_t>(cols), u"");
        for (int c = 0; c < cols; ++c) names[static_cast<size_t>(c)] = u"c" + Num(c);
        cells.assign(static_cast<size_t>(rows), std::vector<std::u16string>(static_cast<size_t>(cols)));
        nulls.assign(static_cast<size_t>(rows), std::vector<char>(static_cast<size_t>(cols), 0));
        kinds.assign(static_cast<size_t>(cols), 1);
        maxLen.assign(static_cast<size_t>(cols), 1024);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                cells[static_cast<size_t>(r)][static_cast<size_t>(c)] = Num(r) + u"-" + Num(c);
    }
    // Binds the rows after the arrays are filled.
    void Bind() { SetupRows(static_cast<int>(cells.size()), GetColCount()); }

    static std::u16string Num(int v) {
        std::string s = std::to_string(v);
        return std::u16string(s.begin(), s.end());
    }

    int GetKeyColCount() override { return keyCols; }
    int GetColCount() override { return static_cast<int>(names.size()); }
    const char16_t* GetColName(int col) override {
        return col >= 0 && col < GetColCount() ? names[static_cast<size_t>(col)].c_str() : u"";
    }
    int GetColType(int, int col) override {
        return col >= 0 && col < GetColCount() ? kinds[static_cast<size_t>(col)] : 1;
    }
    int GetMaxInputLen(int, int col) override {
        return col >= 0 && col < GetColCount() ? maxLen[static_cast<size_t>(col)] : 0;
    }
    bool Fetched(int row) {
        return row >= 0 && row < GetRowCount() && Row(row)->id >= 0 &&
               Row(row)->id < static_cast<int>(cells.size());
    }
    const char16_t* GetOriginalText(int row, int col) override {
        if (!Fetched(row) || col < 0 || col >= GetColCount()) return u"";
        return cells[static_cast<size_t>(Row(row)->id)][static_cast<size_t>(col)].c_str();
    }
    int IsNull(int row, int col) override {
        if (row < 0 || row >= GetRowCount() || col < 0 || col >= GetColCount()) return 1;
        GridRow* r = Row(row);
        if (r->texts && r->texts[col]) return r->texts[col][0] == 0;
        if (!Fetched(row)) return 1;
        return nulls[static_cast<size_t>(r->id)][static_cast<size_t>(col)];
    }
};
