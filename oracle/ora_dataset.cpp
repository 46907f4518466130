#include "oracle/ora_dataset.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "oracle/oci_exec.h"
#include "oracle/oci_object.h"

const char16_t g_ora_empty_text[1] = {0};

namespace {

const int kRowBlockHeader = 24;
const char16_t kNoMemory[] = u"メモリ確保に失敗しました\n";

void NoMemory(CString* err) {
    if (err) *err = kNoMemory;
}

bool IsLobType(int t) {
    return t == SQLT_CLOB || t == SQLT_BLOB || t == SQLT_BFILEE;
}
bool IsObjectType(int t) {
    return t == SQLT_NTY || t == SQLT_REF;
}
bool IsLongText(const OraDataset* ds, int col) {
    return (ds->long_text_bits[col / 8] >> (col % 8)) & 1;
}

// Descriptors, the long-text bitmap and the offsets in one allocation.
int AllocColumns(OraDataset* ds, int n, CString* err) {
    size_t bits = size_t(n + 7) / 8;
    size_t offsets_at = (size_t(n) * sizeof(OraColumnDesc) + bits + 3) & ~size_t(3);
    char* p = static_cast<char*>(calloc(1, offsets_at + size_t(n) * 4 + 1));
    if (!p) {
        NoMemory(err);
        return ORARC_NO_MEMORY;
    }
    free(ds->cols);
    ds->cols = reinterpret_cast<OraColumnDesc*>(p);
    ds->long_text_bits = reinterpret_cast<unsigned char*>(p + size_t(n) * sizeof(OraColumnDesc));
    ds->col_offsets = reinterpret_cast<int32_t*>(p + offsets_at);
    ds->col_count = n;
    return ORARC_OK;
}

OraRowBlock* NewBlock(int rows, int row_size) {
    char* p = static_cast<char*>(calloc(1, size_t(kRowBlockHeader) + size_t(rows) * size_t(row_size) + 1));
    if (!p) return nullptr;
    OraRowBlock* b = reinterpret_cast<OraRowBlock*>(p);
    b->data = p + kRowBlockHeader;
    b->row_count = rows;
    return b;
}

void FreeBlockLocators(const OraDataset* ds, OraRowBlock* b) {
    if (!ds->lob_col_count || !ds->cols) return;
    for (int k = 0; k < ds->col_count; ++k) {
        int t = ds->cols[k].data_type;
        if (!IsLobType(t)) continue;
        for (int r = 0; r < b->row_count; ++r) {
            auto* cell =
                reinterpret_cast<OraLobCell*>(b->data + int64_t(r) * ds->row_size + ds->col_offsets[k]);
            if (cell->locator && g_oci.OCIDescriptorFree)
                g_oci.OCIDescriptorFree(cell->locator, t == SQLT_BFILEE ? OCI_DTYPE_FILE : OCI_DTYPE_LOB);
            cell->locator = nullptr;
        }
    }
}

// A block of rows for a fill, with a locator in every LOB cell.
OraRowBlock* NewFillBlock(OraDataset* ds, int rows) {
    OraRowBlock* b = NewBlock(rows, ds->row_size);
    if (!b || !ds->lob_col_count) return b;
    for (int k = 0; k < ds->col_count; ++k) {
        int t = ds->cols[k].data_type;
        if (!IsLobType(t)) continue;
        for (int r = 0; r < rows; ++r) {
            auto* cell =
                reinterpret_cast<OraLobCell*>(b->data + int64_t(r) * ds->row_size + ds->col_offsets[k]);
            cell->text = g_ora_empty_text;
            if (g_oci.OCIDescriptorAlloc(g_oci_env, reinterpret_cast<dvoid**>(&cell->locator),
                                         t == SQLT_BFILEE ? OCI_DTYPE_FILE : OCI_DTYPE_LOB, 0,
                                         nullptr) != OCI_SUCCESS) {
                cell->locator = nullptr;
                FreeBlockLocators(ds, b);
                free(b);
                return nullptr;
            }
        }
    }
    return b;
}

void Chain(OraDataset* ds, OraRowBlock*& last, OraRowBlock* b) {
    if (last)
        last->next = b;
    else
        ds->blocks = b;
    last = b;
}

// Cell placement and the per-row text estimate.
int64_t CalcRowLayout(OraDataset* ds) {
    int64_t off = 0, estimate = 0;
    bool pointers = false;
    for (int k = 0; k < ds->col_count; ++k) {
        const OraColumnDesc& d = ds->cols[k];
        int ts = d.text_size;
        int size;
        if (IsLobType(d.data_type)) {
            size = sizeof(OraLobCell);
            estimate += ts < 1000 ? ts : 1000;
        } else if (IsObjectType(d.define_type)) {
            size = 24;
            estimate += d.display_size;
        } else if (ts < 33) {
            ds->col_offsets[k] = int32_t(off);
            off += ts;
            continue;
        } else {
            size = 8;
            estimate += ts > 1000 ? 200 : ts <= 100 ? ts : 40;
        }
        // Pointer cells sit on 8-byte boundaries, so that the pointers are
        // aligned.
        off = (off + 7) & ~int64_t(7);
        ds->col_offsets[k] = int32_t(off);
        ds->long_text_bits[k / 8] |= uint8_t(1 << (k % 8));
        off += size;
        pointers = true;
    }
    if (pointers) off = (off + 7) & ~int64_t(7);
    ds->row_size = int32_t(off > 0 ? off : 2);
    return estimate;
}

// Plain decimals of at most 15 digits, the common NUMBER text, read without
// the C runtime: the digits form an exact integer and one division by an
// exact power of ten rounds once, as strtod does.
bool ShortDecimal(const char16_t* w, double* out) {
    static const double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    bool negative = *w == u'-';
    if (negative) ++w;
    uint64_t digits = 0;
    int count = 0, fraction = -1;
    for (;; ++w) {
        if (*w >= u'0' && *w <= u'9') {
            if (++count > 15) return false;
            digits = digits * 10 + uint64_t(*w - u'0');
            if (fraction >= 0) ++fraction;
        } else if (*w == u'.' && fraction < 0) {
            fraction = 0;
        } else {
            break;
        }
    }
    if (*w || !count) return false;
    double v = double(digits);
    if (fraction > 0) v /= kPow10[fraction];
    *out = negative ? -v : v;
    return true;
}

double NumberOf(const char16_t* w) {
    double fast;
    if (ShortDecimal(w, &fast)) return fast;
    char buf[128];
    int i = 0;
    for (; w[i] && i < 127; ++i) buf[i] = w[i] < 128 ? char(w[i]) : '?';
    buf[i] = 0;
    return std::strtod(buf, nullptr);
}

int CompareText(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a < *b ? -1 : *a > *b ? 1 : 0;
}

int CompareCell(const OraDataset* ds, int col, const char16_t* a, const char16_t* b) {
    if (ds->cols[col].data_type == SQLT_NUM) {
        double x = NumberOf(a) - NumberOf(b);
        return x < 0 ? -1 : x > 0 ? 1 : 0;
    }
    return CompareText(a, b);
}

const char16_t* CellText(const OraDataset* ds, const char* row, int col) {
    const char* cell = row + ds->col_offsets[col];
    if (!IsLongText(ds, col)) return reinterpret_cast<const char16_t*>(cell);
    const char16_t* p;
    int at = IsLobType(ds->cols[col].data_type) ? 24 : IsObjectType(ds->cols[col].define_type) ? 16 : 0;
    std::memcpy(&p, cell + at, sizeof p);
    return p;
}

void SetCellText(const OraDataset* ds, char* row, int col, const char16_t* text) {
    int at = IsLobType(ds->cols[col].data_type) ? 24 : IsObjectType(ds->cols[col].define_type) ? 16 : 0;
    std::memcpy(row + ds->col_offsets[col] + at, &text, sizeof text);
}

bool CutCellBefore(const OraCutCell& a, const OraCutCell& b) {
    if (a.row != b.row) return std::less<const char*>()(a.row, b.row);
    return a.col < b.col;
}

// Counts a value the fill cut and remembers where it is.
int RememberCut(OraDataset* ds, const char* row, int col, CString* err) {
    if (ds->long_cut_count >= ds->long_cut_capacity) {
        int32_t capacity = ds->long_cut_capacity ? ds->long_cut_capacity * 2 : 16;
        auto* cells =
            static_cast<OraCutCell*>(realloc(ds->long_cut_cells, sizeof(OraCutCell) * size_t(capacity)));
        if (!cells) {
            NoMemory(err);
            return ORARC_NO_MEMORY;
        }
        ds->long_cut_cells = cells;
        ds->long_cut_capacity = capacity;
    }
    ds->long_cut_cells[ds->long_cut_count++] = OraCutCell{row, int32_t(col)};
    return ORARC_OK;
}

int CopyText(OraDataset* ds, OraTextHeap* heap, const char16_t* text, const char16_t** out, CString* err) {
    if (!text || !*text) {
        *out = g_ora_empty_text;
        return ORARC_OK;
    }
    int64_t n = int64_t(wcslen(text)) + 1;
    if (heap->left < n * 2) {
        int rc = oci_dataset_heap_grow(ds, heap, n * 2, err);
        if (rc != ORARC_OK) return rc;
    }
    std::memcpy(heap->cur, text, size_t(n) * 2);
    *out = heap->cur;
    heap->cur += n;
    heap->left -= n * 2;
    return ORARC_OK;
}

} // namespace

int oci_init_dataset(OraDataset* ds) {
    oci_free_dataset(ds);
    *ds = OraDataset{};
    return ORARC_OK;
}

void oci_free_dataset(OraDataset* ds) {
    while (ds->blocks) {
        OraRowBlock* next = ds->blocks->next;
        FreeBlockLocators(ds, ds->blocks);
        free(ds->blocks);
        ds->blocks = next;
    }
    while (ds->text_heap) {
        OraTextChunk* next = ds->text_heap->next;
        free(ds->text_heap);
        ds->text_heap = next;
    }
    free(ds->row_index);
    ds->row_index = nullptr;
    free(ds->long_cut_cells);
    ds->long_cut_cells = nullptr;
    ds->long_cut_count = 0;
    ds->long_cut_capacity = 0;
    free(ds->cols);
    ds->cols = nullptr;
    ds->col_offsets = nullptr;
    ds->long_text_bits = nullptr;
}

int oci_dataset_heap_grow(OraDataset* ds, OraTextHeap* heap, int64_t need, CString* err) {
    int64_t size = heap->next_size;
    if (size < need) {
        size = (need & ~int64_t(1023)) * 2 + 2048;
        heap->next_size = size;
    }
    auto* chunk = static_cast<OraTextChunk*>(malloc(size_t(size) + sizeof(OraTextChunk)));
    if (!chunk) {
        NoMemory(err);
        return ORARC_NO_MEMORY;
    }
    chunk->data = reinterpret_cast<char16_t*>(chunk + 1);
    chunk->next = ds->text_heap;
    ds->text_heap = chunk;
    heap->cur = chunk->data;
    heap->left = size;
    if (size < 1048576) heap->next_size = size * 2;
    return ORARC_OK;
}

int oci_store_text(OraDataset* ds, OraTextHeap* heap, const char* mb, int buffer_size, const char16_t** cell,
                   CString* err) {
    int n;
    if (buffer_size > 0 && heap->left >= 2 * int64_t(buffer_size)) {
        n = g_mb_to_wide(mb, heap->cur, buffer_size);
    } else {
        int need = g_mb_to_wide(mb, nullptr, 0);
        if (need <= 0) need = int(std::strlen(mb)) + 1;
        if (heap->left < 2 * int64_t(need)) {
            int rc = oci_dataset_heap_grow(ds, heap, 2 * int64_t(need), err);
            if (rc != ORARC_OK) return rc;
        }
        n = g_mb_to_wide(mb, heap->cur, need);
    }
    if (n <= 0) n = int(wcslen(heap->cur)) + 1; // a cut text keeps its whole characters
    *cell = heap->cur;
    heap->cur += n;
    heap->left -= 2 * int64_t(n);
    return ORARC_OK;
}

int oci_set_dataset_column(OraCursor* c, int col, char* first_cell, int row_size, int rows, OraDataset* ds,
                           OraTextHeap* heap, CString* err) {
    const OraColumnDesc& d = c->desc[col];
    bool pointer = IsLongText(ds, col);
    for (int r = 0; r < rows; ++r) {
        char* cell = first_cell + int64_t(r) * row_size;
        const char* src = c->data[col] + int64_t(r) * d.buffer_size;
        bool null = c->ind[col][r] == -1;
        // A value longer than its buffer arrives cut, its indicator holding the
        // full length (-2 beyond 32767); only a LONG can be longer.
        if (d.data_type == SQLT_LNG && !null &&
            (c->ind[col][r] > 0 || c->ind[col][r] == -2 || c->rcode[col][r] == 1406)) {
            int rc = RememberCut(ds, cell - ds->col_offsets[col], col, err);
            if (rc != ORARC_OK) return rc;
        }
        if (!pointer) {
            auto* w = reinterpret_cast<char16_t*>(cell);
            w[0] = 0;
            if (!null && g_mb_to_wide(src, w, d.buffer_size) <= 0) w[d.buffer_size - 1] = 0;
            continue;
        }
        const char16_t* text = g_ora_empty_text;
        if (!null && *src) {
            int rc = oci_store_text(ds, heap, src, d.buffer_size, &text, err);
            if (rc != ORARC_OK) return rc;
        }
        std::memcpy(cell, &text, sizeof text);
    }
    return ORARC_OK;
}

namespace {

// Object and REF cells hold the value's text; the fetch buffer keeps per row
// the instance and its null structure (objects) or the REF.
int StoreObjectColumn(OraSession* s, OraCursor* c, int k, OraDataset* ds, char* first_row, int row_size,
                      int rows, OraTextHeap* heap, char* scratch, int scratch_size, CString* err) {
    const OraColumnDesc& d = c->desc[k];
    std::vector<char> own;
    if (!scratch || scratch_size < 2) {
        own.resize(size_t(d.display_size > 2 ? d.display_size : 2));
        scratch = own.data();
        scratch_size = int(own.size());
    }
    for (int r = 0; r < rows; ++r) {
        char* row = first_row + int64_t(r) * row_size;
        SetCellText(ds, row, k, g_ora_empty_text);
        auto** slot = reinterpret_cast<dvoid**>(c->data[k] - 16 + int64_t(r) * d.buffer_size);
        int budget = d.display_size < scratch_size ? d.display_size : scratch_size;
        char* out = scratch;
        *out = 0;
        int rc = ORARC_OK;
        if (d.define_type == SQLT_NTY) {
            void* instance = slot[0];
            void* null_struct = slot[1];
            if (!instance || (null_struct && *static_cast<OCIInd*>(null_struct) == -1)) continue;
            rc = oci8_set_dataset_object_main(s, d.type_desc, instance, null_struct, &out, &budget, err);
        } else {
            auto* ref = static_cast<OCIRef*>(slot[0]);
            if (c->ind[k][r] == -1 || !ref) continue;
            rc = oci8_read_ref_main(s, ref, &out, &budget, err);
        }
        // A client failure stops the fill; an unsupported or oversized value
        // keeps the text written so far.
        if (rc == ORARC_ORACLE_ERROR) return rc;
        if (!*scratch) continue;
        const char16_t* text = g_ora_empty_text;
        int size = d.display_size < scratch_size ? d.display_size : scratch_size;
        rc = oci_store_text(ds, heap, scratch, size, &text, err);
        if (rc != ORARC_OK) return rc;
        SetCellText(ds, row, k, text);
    }
    return ORARC_OK;
}

} // namespace

int oci_set_dataset_rows(OraSession* s, OraCursor* c, OraDataset* ds, OraRowBlock* block, int row_size,
                         int rows, OraTextHeap* heap, char16_t* scratch, int scratch_size, CString* err) {
    for (int k = 0; k < c->col_count; ++k) {
        const OraColumnDesc& d = c->desc[k];
        char* first = block->data + ds->col_offsets[k];
        if (IsLobType(d.define_type)) {
            for (int r = 0; r < rows; ++r) {
                auto* cell = reinterpret_cast<OraLobCell*>(first + int64_t(r) * row_size);
                auto* src = reinterpret_cast<OraLobValue*>(c->data[k] - sizeof(OraLobValue) +
                                                           int64_t(r) * d.buffer_size);
                cell->length = src->length;
                cell->charset_form = src->charset_form;
                cell->charset_id = src->charset_id;
                cell->null_flag = src->null_flag;
                cell->complete_flag = src->complete_flag;
                cell->define_type = src->define_type;
                cell->text = g_ora_empty_text;
                if (c->ind[k][r] == -1 || !src->locator) continue;
                const char* text = reinterpret_cast<const char*>(src + 1);
                if (*text) {
                    int rc = oci_store_text(ds, heap, text, d.display_size, &cell->text, err);
                    if (rc != ORARC_OK) return rc;
                }
                boolean temporary = 0;
                sword rc = g_oci.OCILobIsTemporary(static_cast<OCIEnv*>(g_oci_env), s->err, src->locator,
                                                   &temporary);
                if (rc == OCI_SUCCESS)
                    rc = temporary ? g_oci.OCILobLocatorAssign(s->svc, s->err, src->locator, &cell->locator)
                                   : g_oci.OCILobAssign(static_cast<OCIEnv*>(g_oci_env), s->err, src->locator,
                                                        &cell->locator);
                if (rc != OCI_SUCCESS) {
                    oci_write_log(s, u"\n---\nerror in oci8_set_dataset_object:\n");
                    oci8_get_error(s, err);
                    return ORARC_ORACLE_ERROR;
                }
            }
        } else if (IsObjectType(d.define_type)) {
            int rc = StoreObjectColumn(s, c, k, ds, first - ds->col_offsets[k], row_size, rows, heap,
                                       reinterpret_cast<char*>(scratch), scratch_size, err);
            if (rc != ORARC_OK) return rc;
        } else {
            int rc = oci_set_dataset_column(c, k, first, row_size, rows, ds, heap, err);
            if (rc != ORARC_OK) return rc;
        }
    }
    return ORARC_OK;
}

int oci_fetch_dataset(OraSession* s, OraCursor* c, OraDataset* ds, CString* err, HWND wnd,
                      CancelState* cancel) {
    int rc = AllocColumns(ds, c->col_count, err);
    if (rc != ORARC_OK) return rc;
    if (c->col_count) std::memcpy(ds->cols, c->desc, sizeof(OraColumnDesc) * size_t(c->col_count));
    int64_t estimate = CalcRowLayout(ds);
    ds->long_cut_count = 0;
    ds->lob_col_count = c->lob_col_count;
    ds->object_col_count = c->obj_col_count;

    int64_t R = c->rows_per_fetch > 0 ? c->rows_per_fetch : 1;
    int64_t S = R <= 20 ? R * estimate : R * estimate / 4;
    S = S - S % 4096 + 4096;
    OraTextHeap heap{nullptr, 0, S};
    char16_t* scratch = nullptr;
    const int kScratch = 1048576;
    if (c->obj_col_count) {
        scratch = static_cast<char16_t*>(malloc(kScratch));
        if (!scratch) {
            NoMemory(err);
            return ORARC_NO_MEMORY;
        }
        if (heap.next_size < 2097152) heap.next_size = 2097152;
    }
    if (wnd) SendMessageW(wnd, QPM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"データベース検索中"));

    OraRowBlock* last = nullptr;
    bool stopped = false;
    rc = oci_exec_non_block_cursor(s, c, err, cancel);
    while (rc == ORARC_OK) {
        if (wnd) PostMessageW(wnd, QPM_ROWSFETCHED, 0, LPARAM(ora_cda_rows(c)));
        if (c->end_of_fetch) break;
        OraRowBlock* b = NewFillBlock(ds, int(R));
        if (!b) {
            NoMemory(err);
            rc = ORARC_NO_MEMORY;
            break;
        }
        Chain(ds, last, b);
        rc = oci_set_dataset_rows(s, c, ds, b, ds->row_size, int(R), &heap, scratch, kScratch, err);
        if (rc != ORARC_OK) break;
        if (oci_cancel_requested(cancel)) {
            if (err) *err = u"キャンセルしました\n";
            stopped = true;
            break;
        }
        rc = oci_fetch_sel_cursor(s, c, err);
    }
    if (rc == ORARC_OK) {
        int64_t total = ora_cda_rows(c);
        int64_t tail = total % R;
        if (tail && !stopped) {
            OraRowBlock* b = NewFillBlock(ds, int(tail));
            if (!b) {
                NoMemory(err);
                rc = ORARC_NO_MEMORY;
            } else {
                Chain(ds, last, b);
                rc =
                    oci_set_dataset_rows(s, c, ds, b, ds->row_size, int(tail), &heap, scratch, kScratch, err);
            }
        }
        if (stopped) total -= total % R;
        if (rc == ORARC_OK) {
            ds->row_count = int32_t(total);
            rc = oci_make_row_index(ds, int(R), ds->row_size, err);
        }
        if (rc == ORARC_OK && oci_cancel_requested(cancel)) {
            if (err) *err = u"キャンセルしました\n";
            rc = ORARC_CANCELLED;
        }
    }
    // Rows with cut LONG values: the text the caller shows with the rows.
    if (ds->long_cut_count > 1)
        std::sort(ds->long_cut_cells, ds->long_cut_cells + ds->long_cut_count, CutCellBefore);
    if (rc == ORARC_OK && ds->long_cut_count > 0 && err)
        err->Format(u"LONG型の値を%dbyteで切り捨てました(%d件)\n", g_oci_long_read_size - 1,
                    ds->long_cut_count);
    free(scratch);
    return rc;
}

int oci_make_row_index(OraDataset* ds, int, int row_size, CString* err) {
    free(ds->row_index);
    ds->row_index = nullptr;
    if (ds->row_count <= 0) return ORARC_OK;
    ds->row_index = static_cast<char**>(malloc(sizeof(char*) * size_t(ds->row_count)));
    if (!ds->row_index) {
        NoMemory(err);
        return ORARC_NO_MEMORY;
    }
    int n = 0;
    for (OraRowBlock* b = ds->blocks; b && n < ds->row_count; b = b->next)
        for (int i = 0; i < b->row_count && n < ds->row_count; ++i)
            ds->row_index[n++] = b->data + int64_t(i) * row_size;
    for (; n < ds->row_count; ++n) ds->row_index[n] = nullptr;
    return ORARC_OK;
}

int oci_get_dataset_col_no(const OraDataset* ds, const char16_t* name) {
    for (int k = 0; k < ds->col_count; ++k)
        if (wcscmp(ds->cols[k].wname, name) == 0) return k;
    return -1;
}

const char16_t* oci_get_dataset_data(const OraDataset* ds, int row, int col) {
    return CellText(ds, ds->row_index[row], col);
}

int oci_dataset_value_cut(const OraDataset* ds, int row, int col) {
    if (!ds || ds->long_cut_count <= 0 || !ds->row_index || row < 0 || row >= ds->row_count) return 0;
    const OraCutCell key{ds->row_index[row], int32_t(col)};
    return std::binary_search(ds->long_cut_cells, ds->long_cut_cells + ds->long_cut_count, key, CutCellBefore)
               ? 1
               : 0;
}

namespace {

// Sort entries carry their key beside the row pointer, so that partitioning
// reads no other memory: a NUMBER key converted once per sort, a text key as
// its pointer. Several keys keep their converted numbers in a side array.
struct NumberEntry {
    double key;
    char* row;
};
struct TextEntry {
    const char16_t* key;
    char* row;
};
struct KeysEntry {
    char* row;
    const double* numbers;
};

// Stable merge sort of e[0..n): lower(a, b) says a goes before b; entries
// neither lower than the other keep their order. O(n log n) whatever the
// keys (a column of one repeated value, NULLs, a flag), and deterministic.
// Runs of kRun entries are put in order by insertion, then merged pairwise
// between e and a buffer of the same size.
template <class Entry, class Lower> void StableSort(Entry* e, int64_t n, const Lower& lower) {
    if (n < 2) return;
    constexpr int64_t kRun = 16;
    for (int64_t lo = 0; lo < n; lo += kRun) {
        int64_t hi = std::min(lo + kRun, n);
        for (int64_t i = lo + 1; i < hi; ++i) {
            Entry x = e[i];
            int64_t j = i;
            for (; j > lo && lower(x, e[j - 1]); --j) e[j] = e[j - 1];
            e[j] = x;
        }
    }
    if (n <= kRun) return;
    std::vector<Entry> buffer(static_cast<size_t>(n));
    Entry* src = e;
    Entry* dst = buffer.data();
    for (int64_t width = kRun; width < n; width *= 2) {
        for (int64_t lo = 0; lo < n; lo += 2 * width) {
            int64_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            int64_t a = lo, b = mid, o = lo;
            while (a < mid && b < hi) dst[o++] = lower(src[b], src[a]) ? src[b++] : src[a++];
            while (a < mid) dst[o++] = src[a++];
            while (b < hi) dst[o++] = src[b++];
        }
        std::swap(src, dst);
    }
    if (src != e) std::copy(src, src + n, e);
}

// The sign of the exact difference of two NUMBER keys.
int NumberSign(double a, double b) {
    double d = a - b;
    return d < 0 ? -1 : d > 0 ? 1 : 0;
}

int KeySign(const NumberEntry& a, const NumberEntry& p) {
    return NumberSign(a.key, p.key);
}
int KeySign(const TextEntry& a, const TextEntry& p) {
    return CompareText(a.key, p.key);
}

template <class Entry> void SortOneKey(std::vector<Entry>& entries, int dir) {
    StableSort(entries.data(), int64_t(entries.size()),
               [dir](const Entry& a, const Entry& p) { return dir * KeySign(a, p) < 0; });
}

} // namespace

void oci_sort_dataset_rows(OraDataset* ds, char** index, const int* key_cols, const int* key_dirs,
                           int key_count, int lo, int hi) {
    if (lo >= hi || key_count <= 0) return;
    size_t n = size_t(hi - lo + 1);
    char** rows = index + lo;
    if (key_count == 1) {
        int col = key_cols[0];
        if (ds->cols[col].data_type == SQLT_NUM) {
            std::vector<NumberEntry> entries(n);
            for (size_t i = 0; i < n; ++i) entries[i] = {NumberOf(CellText(ds, rows[i], col)), rows[i]};
            SortOneKey(entries, key_dirs[0]);
            for (size_t i = 0; i < n; ++i) rows[i] = entries[i].row;
        } else {
            std::vector<TextEntry> entries(n);
            for (size_t i = 0; i < n; ++i) entries[i] = {CellText(ds, rows[i], col), rows[i]};
            SortOneKey(entries, key_dirs[0]);
            for (size_t i = 0; i < n; ++i) rows[i] = entries[i].row;
        }
        return;
    }
    std::vector<KeysEntry> entries(n);
    std::vector<double> numbers(n * size_t(key_count));
    for (size_t i = 0; i < n; ++i) {
        double* v = numbers.data() + i * size_t(key_count);
        for (int k = 0; k < key_count; ++k)
            v[k] = ds->cols[key_cols[k]].data_type == SQLT_NUM ? NumberOf(CellText(ds, rows[i], key_cols[k]))
                                                               : 0;
        entries[i] = {rows[i], v};
    }
    StableSort(entries.data(), int64_t(n), [&](const KeysEntry& a, const KeysEntry& p) {
        for (int k = 0; k < key_count; ++k) {
            int col = key_cols[k];
            int x = ds->cols[col].data_type == SQLT_NUM
                        ? NumberSign(a.numbers[k], p.numbers[k])
                        : CompareText(CellText(ds, a.row, col), CellText(ds, p.row, col));
            if (x) return key_dirs[k] * x < 0;
        }
        return false;
    });
    for (size_t i = 0; i < n; ++i) rows[i] = entries[i].row;
}

void oci_sort_dataset(OraDataset* ds, const char16_t* col_name) {
    int col = oci_get_dataset_col_no(ds, col_name);
    if (col < 0 || ds->row_count < 2 || !ds->row_index) return;
    int dir = 1;
    oci_sort_dataset_rows(ds, ds->row_index, &col, &dir, 1, 0, ds->row_count - 1);
}

int oci_search_dataset(const OraDataset* ds, int col, const char16_t* text) {
    int lo = 0, hi = ds->row_count;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (CompareCell(ds, col, CellText(ds, ds->row_index[mid], col), text) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < ds->row_count && CompareCell(ds, col, CellText(ds, ds->row_index[lo], col), text) == 0)
        return lo;
    return -1;
}

int oci_init_dataset_builder(OraDataset* ds, const char16_t* const* names, int rows_per_block, int col_count,
                             OraDatasetBuilder** out, CString* err) {
    *out = nullptr;
    auto* b = static_cast<OraDatasetBuilder*>(calloc(1, sizeof(OraDatasetBuilder)));
    if (!b) {
        NoMemory(err);
        return ORARC_NO_MEMORY;
    }
    int rc = AllocColumns(ds, col_count, err);
    if (rc != ORARC_OK) {
        free(b);
        return rc;
    }
    for (int k = 0; k < col_count; ++k) {
        if (names) {
            OraColumnDesc& d = ds->cols[k];
            d = OraColumnDesc{};
            wcsncpy(d.wname, names[k], 255);
            d.wname[255] = 0;
            if (oci_wide_to_mb(d.wname, d.name, 256) <= 0) d.name[255] = 0;
            d.define_type = SQLT_STR;
            d.text_size = 80;
        }
        ds->col_offsets[k] = 8 * k;
        ds->long_text_bits[k / 8] |= uint8_t(1 << (k % 8));
    }
    ds->lob_col_count = 0;
    ds->object_col_count = 0;
    ds->row_size = 8 * (col_count > 0 ? col_count : 1);
    b->cur_row = -1;
    b->rows_per_block = rows_per_block > 0 ? rows_per_block : 1;
    b->heap.next_size = 32768;
    *out = b;
    return ORARC_OK;
}

int oci_add_dataset_row(OraDataset* ds, OraDatasetBuilder* b, CString* err) {
    ++b->cur_row;
    if (b->cur_row % b->rows_per_block == 0) {
        OraRowBlock* block = NewBlock(b->rows_per_block, ds->row_size);
        if (!block) {
            --b->cur_row;
            NoMemory(err);
            return ORARC_NO_MEMORY;
        }
        if (b->cur_block)
            b->cur_block->next = block;
        else
            ds->blocks = block;
        b->cur_block = block;
    }
    char* row = b->cur_block->data + int64_t(b->cur_row % b->rows_per_block) * ds->row_size;
    for (int k = 0; k < ds->col_count; ++k) SetCellText(ds, row, k, g_ora_empty_text);
    return ORARC_OK;
}

int oci_set_dataset_data(OraDataset* ds, OraDatasetBuilder* b, int col, const char16_t* text, CString* err) {
    const char16_t* copy = nullptr;
    int rc = CopyText(ds, &b->heap, text, &copy, err);
    if (rc != ORARC_OK) return rc;
    char* row = b->cur_block->data + int64_t(b->cur_row % b->rows_per_block) * ds->row_size;
    SetCellText(ds, row, col, copy);
    return ORARC_OK;
}

namespace {

int Refuse(CString* err, const char16_t* operation) {
    if (err) err->Format(u"エラー(%s)\n", operation);
    return ORARC_FAILED;
}

bool HasLobOrObject(const OraDataset* ds) {
    return ds->lob_col_count || ds->object_col_count;
}

// Finishes a hand-built dataset: row count, index, builder freed.
int FinishBuilder(OraDataset* out, OraDatasetBuilder* b, CString* err) {
    out->row_count = b->cur_row + 1;
    int rc = oci_make_row_index(out, b->rows_per_block, out->row_size, err);
    free(b);
    return rc;
}

} // namespace

int oci_overwrite_dataset(OraDataset* ds, OraDataset* src, const char16_t* col_name, int only_empty,
                          CString* err) {
    oci_sort_dataset(src, u"TABLE_NAME");
    int ds_key = oci_get_dataset_col_no(ds, u"TABLE_NAME"),
        src_key = oci_get_dataset_col_no(src, u"TABLE_NAME");
    int ds_col = oci_get_dataset_col_no(ds, col_name), src_col = oci_get_dataset_col_no(src, col_name);
    if (ds_key < 0 || src_key < 0 || ds_col < 0 || src_col < 0 || !IsLongText(ds, ds_col) ||
        IsLobType(ds->cols[ds_col].data_type) || IsObjectType(ds->cols[ds_col].define_type))
        return Refuse(err, u"oci_overwrite_dataset");
    OraTextHeap heap{nullptr, 0, 4096};
    for (int r = 0; r < ds->row_count; ++r) {
        int found = oci_search_dataset(src, src_key, CellText(ds, ds->row_index[r], ds_key));
        if (found < 0) continue;
        if (only_empty && CellText(ds, ds->row_index[r], ds_col)[0]) continue;
        const char16_t* copy = nullptr;
        int rc = CopyText(ds, &heap, CellText(src, src->row_index[found], src_col), &copy, err);
        if (rc != ORARC_OK) return rc;
        SetCellText(ds, ds->row_index[r], ds_col, copy);
    }
    return ORARC_OK;
}

int oci_join_dataset(OraDataset* out, OraDataset* left, OraDataset* right, const char16_t* key_name,
                     const char16_t* const* col_names, int col_count, CString* err) {
    const char16_t* op = u"oci_join_dataset";
    if (HasLobOrObject(left) || HasLobOrObject(right)) return Refuse(err, op);
    int left_key = oci_get_dataset_col_no(left, key_name),
        right_key = oci_get_dataset_col_no(right, key_name);
    if (left_key < 0 || right_key < 0) return Refuse(err, op);
    std::vector<int> from_left(static_cast<size_t>(col_count)), from_right(static_cast<size_t>(col_count));
    for (int k = 0; k < col_count; ++k) {
        from_left[size_t(k)] = oci_get_dataset_col_no(left, col_names[k]);
        from_right[size_t(k)] = oci_get_dataset_col_no(right, col_names[k]);
        if (from_left[size_t(k)] < 0 && from_right[size_t(k)] < 0) return Refuse(err, op);
    }
    oci_sort_dataset(right, key_name);
    OraDatasetBuilder* b = nullptr;
    int rc = oci_init_dataset_builder(out, nullptr, left->row_count, col_count, &b, err);
    if (rc != ORARC_OK) return rc;
    for (int k = 0; k < col_count; ++k)
        out->cols[k] =
            from_left[size_t(k)] >= 0 ? left->cols[from_left[size_t(k)]] : right->cols[from_right[size_t(k)]];
    for (int r = 0; r < left->row_count && rc == ORARC_OK; ++r) {
        rc = oci_add_dataset_row(out, b, err);
        const char* lrow = left->row_index[r];
        int match = -2;
        for (int k = 0; k < col_count && rc == ORARC_OK; ++k) {
            const char16_t* text;
            if (from_left[size_t(k)] >= 0) {
                text = CellText(left, lrow, from_left[size_t(k)]);
            } else {
                if (match == -2) match = oci_search_dataset(right, right_key, CellText(left, lrow, left_key));
                text = match >= 0 ? CellText(right, right->row_index[match], from_right[size_t(k)])
                                  : g_ora_empty_text;
            }
            rc = oci_set_dataset_data(out, b, k, text, err);
        }
    }
    if (rc != ORARC_OK) {
        free(b);
        return rc;
    }
    return FinishBuilder(out, b, err);
}

int oci_merge_dataset(OraDataset* out, OraDataset* const* pair, CString* err) {
    const char16_t* op = u"oci_merge_dataset";
    OraDataset* a = pair[0];
    OraDataset* c = pair[1];
    if (HasLobOrObject(a) || a->col_count != c->col_count) return Refuse(err, op);
    for (int k = 0; k < a->col_count; ++k)
        if (a->cols[k].define_type != c->cols[k].define_type) return Refuse(err, op);
    OraDatasetBuilder* b = nullptr;
    int rows = a->row_count + c->row_count;
    if (oci_init_dataset_builder(out, nullptr, rows, a->col_count, &b, err) != ORARC_OK)
        return Refuse(err, op);
    if (a->col_count) std::memcpy(out->cols, a->cols, sizeof(OraColumnDesc) * size_t(a->col_count));
    int rc = ORARC_OK;
    for (const OraDataset* src : {a, c}) {
        for (int r = 0; r < src->row_count && rc == ORARC_OK; ++r) {
            rc = oci_add_dataset_row(out, b, err);
            for (int k = 0; k < src->col_count && rc == ORARC_OK; ++k)
                rc = oci_set_dataset_data(out, b, k, CellText(src, src->row_index[r], k), err);
        }
    }
    if (rc != ORARC_OK) {
        free(b);
        return rc;
    }
    return FinishBuilder(out, b, err);
}
