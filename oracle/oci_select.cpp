#include <cstdarg>

#include "oracle/oci_exec.h"
#include "oracle/ora_dataset.h"

int oci_sel_value(OraSession* s, const char16_t* sql, char16_t* value, int size, CString* msg,
                  const char* letters, ...) {
    if (value && size >= 2) value[0] = 0;
    OraDataset ds{};
    va_list args;
    va_start(args, letters);
    int rc = oci_cre_sel_cursor(s, &ds, sql, 1, msg, nullptr, nullptr, letters, args);
    va_end(args);
    if (rc == ORARC_OK) {
        if (ds.row_count == 1) {
            int max = size / 2 - 1;
            const char16_t* text = oci_get_dataset_data(&ds, 0, 0);
            int n = 0;
            while (n < max && text[n]) ++n;
            // Never end on the first half of a surrogate pair.
            if (n > 0 && n == max && text[n] && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
            if (value && max >= 0) {
                for (int i = 0; i < n; ++i) value[i] = text[i];
                value[n] = 0;
            }
        } else {
            if (msg) *msg = u"検索結果がありません\n";
            rc = ORARC_NO_ROW;
        }
    }
    oci_free_dataset(&ds);
    return rc;
}
