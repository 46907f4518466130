// A query result held in memory: the statement's column descriptors, rows in
// blocks (one per fetch), a row index and every cell as UTF-16 text.
#pragma once

#include <cstdint>

#include "oracle/oci_api.h"

struct OraRowBlock {
    OraRowBlock* next;
    char* data; // first row, directly behind the header
    int32_t row_count;
};

struct OraTextChunk {
    OraTextChunk* next;
    char16_t* data;
};

struct OraTextHeap {
    char16_t* cur;
    int64_t left; // bytes
    int64_t next_size;
};

// A value the fill cut: its row (the row's data, which a sort of the row
// index does not move) and column.
struct OraCutCell {
    const char* row;
    int32_t col;
};

struct OraDataset {
    OraRowBlock* blocks;
    int32_t* col_offsets;
    int32_t row_count;
    char** row_index;
    int32_t col_count;
    OraColumnDesc* cols;
    unsigned char* long_text_bits;
    OraTextChunk* text_heap;
    int32_t lob_col_count;
    int32_t object_col_count;
    int32_t row_size;
    int32_t long_cut_count;     // LONG values the fill cut at the read buffer's size
    OraCutCell* long_cut_cells; // those values, ordered by row and column
    int32_t long_cut_capacity;
};

struct OraDatasetBuilder {
    int32_t cur_row;
    int32_t rows_per_block;
    OraRowBlock* cur_block;
    OraTextHeap heap;
};

// A LOB cell: locator, the status fields kept beside it, then the text.
struct OraLobCell {
    OCILobLocator* locator;
    uint32_t length;
    uint8_t charset_form;
    uint16_t charset_id;
    uint8_t null_flag;
    uint8_t complete_flag;
    int16_t define_type;
    const char16_t* text;
};
static_assert(sizeof(OraLobCell) == 32);

// The header the LOB calls take, made from a dataset's LOB cell.
inline OraLobValue ora_lob_value(const OraLobCell& cell) {
    OraLobValue v{};
    v.locator = cell.locator;
    v.length = cell.length;
    v.charset_form = cell.charset_form;
    v.charset_id = cell.charset_id;
    v.null_flag = cell.null_flag;
    v.complete_flag = cell.complete_flag;
    v.define_type = cell.define_type;
    return v;
}

extern const char16_t g_ora_empty_text[1];

int oci_init_dataset(OraDataset* ds);
void oci_free_dataset(OraDataset* ds);
int oci_fetch_dataset(OraSession* s, OraCursor* c, OraDataset* ds, CString* err, HWND wnd,
                      CancelState* cancel);
int oci_set_dataset_rows(OraSession* s, OraCursor* c, OraDataset* ds, OraRowBlock* block, int row_size,
                         int rows, OraTextHeap* heap, char16_t* scratch, int scratch_size, CString* err);
int oci_set_dataset_column(OraCursor* c, int col, char* first_cell, int row_size, int rows, OraDataset* ds,
                           OraTextHeap* heap, CString* err);
int oci_get_dataset_col_no(const OraDataset* ds, const char16_t* name);
const char16_t* oci_get_dataset_data(const OraDataset* ds, int row, int col);
// 1 when the fill cut the value of a row (of the row index) and column.
int oci_dataset_value_cut(const OraDataset* ds, int row, int col);
void oci_sort_dataset(OraDataset* ds, const char16_t* col_name);
void oci_sort_dataset_rows(OraDataset* ds, char** index, const int* key_cols, const int* key_dirs,
                           int key_count, int lo, int hi);
int oci_search_dataset(const OraDataset* ds, int col, const char16_t* text);
int oci_init_dataset_builder(OraDataset* ds, const char16_t* const* names, int rows_per_block, int col_count,
                             OraDatasetBuilder** out, CString* err);
int oci_add_dataset_row(OraDataset* ds, OraDatasetBuilder* b, CString* err);
int oci_set_dataset_data(OraDataset* ds, OraDatasetBuilder* b, int col, const char16_t* text, CString* err);
int oci_make_row_index(OraDataset* ds, int rows_per_block, int row_size, CString* err);
int oci_dataset_heap_grow(OraDataset* ds, OraTextHeap* heap, int64_t need, CString* err);
int oci_store_text(OraDataset* ds, OraTextHeap* heap, const char* mb, int buffer_size, const char16_t** cell,
                   CString* err);
int oci_overwrite_dataset(OraDataset* ds, OraDataset* src, const char16_t* col_name, int only_empty,
                          CString* err);
int oci_join_dataset(OraDataset* out, OraDataset* left, OraDataset* right, const char16_t* key_name,
                     const char16_t* const* col_names, int col_count, CString* err);
int oci_merge_dataset(OraDataset* out, OraDataset* const* pair, CString* err);
