#include "oracle/oci_api.h"

// Single-value queries need the select driver, which is not part of this
// library yet; until then every such query reports a failure and callers take
// their fallback.
int oci_sel_value(OraSession*, const char16_t*, char16_t* value, int size, CString* msg, const char*, ...) {
    if (value && size >= 2) value[0] = 0;
    if (msg) *msg = u"エラー(oci_sel_value())\n";
    return ORARC_FAILED;
}
