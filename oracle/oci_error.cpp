#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "oracle/oci_api.h"

namespace {

// Drops a character the client cut at the end of its buffer.
void TrimPartialChar(char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    size_t n = std::strlen(text), i = 0;
    while (i < n) {
        size_t len = 1;
        if (g_oci_code_page == 65001)
            len = p[i] >= 0xF0 ? 4 : p[i] >= 0xE0 ? 3 : p[i] >= 0xC0 ? 2 : 1;
        else
            len = size_t(oci_sjis_char_len(text + i));
        if (i + len > n) {
            text[i] = 0;
            return;
        }
        i += len;
    }
}

// Oracle text to UTF-16, cut at a whole character to at most 1023 units.
CString OracleText(char* mb) {
    TrimPartialChar(mb);
    char16_t buf[1024];
    buf[0] = 0;
    g_mb_to_wide(mb, buf, 1024);
    return CString(buf);
}

void ClearMissingObject(OraSession* s) {
    s->missing_object[0] = 0;
}

// The object name of error 942 starts at the error position: up to the end of
// the text or the first tab, LF, CR, blank or comma, whole characters, at most
// 99 bytes.
void CopyMissingObject(OraSession* s, const OraCursor* c, int offset) {
    ClearMissingObject(s);
    if (!c->sql || offset < 0 || size_t(offset) >= std::strlen(c->sql)) return;
    const char* p = c->sql + offset;
    char name[100];
    int n = 0;
    while (*p && *p != '\t' && *p != '\n' && *p != '\r' && *p != ' ' && *p != ',') {
        int len = oci_mb_char_len(p);
        if (n + len > 99) break;
        std::memcpy(name + n, p, size_t(len));
        n += len;
        p += len;
    }
    name[n] = 0;
    g_mb_to_wide(name, s->missing_object, 100);
}

void AppendTimeLine(OraSession* s) {
    std::time_t now = std::time(nullptr);
    char text[64] = {};
    ctime_r(&now, text);
    oci_write_log(s, u"--- %hs\n", text);
}

} // namespace

int oci_write_log_text(OraSession* s, const char16_t* text) {
    if (!s || !s->log_path || !s->log_path[0]) return ORARC_OK;
    FILE* f = _wfopen(s->log_path, u"a");
    if (!f) return ORARC_FILE_OPEN;
    std::string utf8 = WideToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), f);
    std::fclose(f);
    return ORARC_OK;
}

int oci8_get_error(OraSession* s, CString* msg) {
    if (!s) return 0;
    char buf[1024];
    buf[0] = 0;
    sb4 code = 0;
    if (s->err)
        g_oci.OCIErrorGet(s->err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                          OCI_HTYPE_ERROR);
    buf[sizeof buf - 1] = 0;
    s->last_error = code;
    ClearMissingObject(s);
    if (msg) *msg = OracleText(buf);
    return code;
}

void oci8_get_stmt_error(OraSession* s, OraCursor* c, CString* msg) {
    if (!msg || !s) return;
    char buf[1024];
    buf[0] = 0;
    sb4 code = 0;
    if (s->err)
        g_oci.OCIErrorGet(s->err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                          OCI_HTYPE_ERROR);
    buf[sizeof buf - 1] = 0;
    ora_da_set_u16(c->cda, ORA_DA_RC, uint16_t(code));
    s->last_error = code;
    ClearMissingObject(s);
    CString text = OracleText(buf);
    ub2 offset = 0;
    if (!c->stmt || g_oci.OCIAttrGet(c->stmt, OCI_HTYPE_STMT, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET,
                                     s->err) != OCI_SUCCESS) {
        *msg = text;
        return;
    }
    ora_da_set_u16(c->cda, ORA_DA_PEO, offset);
    oci_format_error_pos(c, offset, msg, text);
    if (code == 942) CopyMissingObject(s, c, offset);
}

// The Oracle 7 message of code rc, logged after the time line.
static CString LogOracle7Message(OraSession* s, uint16_t rc) {
    AppendTimeLine(s);
    char buf[1024];
    buf[0] = 0;
    g_oci.oerhms(ora_lda(s), sb2(rc), reinterpret_cast<OraText*>(buf), sizeof buf);
    buf[sizeof buf - 1] = 0;
    s->last_error = rc;
    ClearMissingObject(s);
    CString text = OracleText(buf);
    oci_write_log(s, u"%s\n", text);
    return text;
}

void oci_get_lda_error(OraSession* s, CString* msg) {
    if (!s) return;
    uint16_t rc = ora_lda_rc(s);
    if (rc == 0) return;
    CString text = LogOracle7Message(s, rc);
    if (msg) *msg = text;
}

void oci_get_cda_error(OraSession* s, OraCursor* c, CString* msg) {
    if (!s) return;
    uint16_t rc = ora_cda_rc(c);
    if (rc == 0) return;
    CString text = LogOracle7Message(s, rc);
    oci_write_log(s, u"%s\n", c->wsql ? c->wsql : u"");
    if (msg) oci_format_error_pos(c, ora_da_u16(c->cda, ORA_DA_PEO), msg, text);
}

const char* oci_format_error_pos(OraCursor* c, int offset, CString* msg, const char16_t* text) {
    int row = 1, col = 1;
    const char* p = c->sql ? c->sql : "";
    const char* start = p;
    while (p - start < offset && *p) {
        if (*p == '\r') {
            ++p;
        } else if (*p == '\n') {
            ++p;
            ++row;
            col = 1;
        } else {
            int len = oci_mb_char_len(p);
            p += len;
            col += len == 4 ? 2 : 1;
        }
    }
    if (msg) msg->Format(u"[row:%d,col:%d] %s", row, col, text);
    return p;
}
