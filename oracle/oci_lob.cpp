#include "oracle/oci_lob.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

const int kPiece = 4096;
const uint64_t kMaxUpload = 4294967295ULL;

OCIEnv* Env() {
    return static_cast<OCIEnv*>(g_oci_env);
}

int LobError(OraSession* s, CString* msg, const char16_t* header) {
    oci_write_log(s, header);
    oci8_get_error(s, msg);
    return ORARC_ORACLE_ERROR;
}

// Formats into out (size bytes) and cuts at a whole character.
void BoundedText(char* out, int size, const char* text) {
    int budget = size;
    out[0] = 0;
    oci_copy_mb_str(out, text, &budget);
}

} // namespace

void oci_lob_size_label(uint64_t n, char* out, int size) {
    if (n < 1024)
        std::snprintf(out, size_t(size), "%dbyte", int(n));
    else if (n <= 1048575)
        std::snprintf(out, size_t(size), "%dkbyte", int(n / 1024));
    else if (n > 1073741823)
        std::snprintf(out, size_t(size), "%dGbyte", int(n / 1073741824));
    else
        std::snprintf(out, size_t(size), "%dMbyte", int(n / 1048576));
}

int oci_get_lob_text(OraSession* s, OraCursor* c, int rows, CString* msg) {
    for (int k = 0; k < c->col_count; ++k) {
        const OraColumnDesc& d = c->desc[k];
        int type = d.data_type;
        if (type != SQLT_CLOB && type != SQLT_BLOB && type != SQLT_BFILEE) continue;
        int display = d.display_size;
        if (display > d.buffer_size - int(sizeof(OraLobValue)))
            display = d.buffer_size - int(sizeof(OraLobValue));
        for (int r = 0; r < rows; ++r) {
            char* text = c->data[k] + int64_t(r) * d.buffer_size;
            auto* h = reinterpret_cast<OraLobValue*>(text - sizeof(OraLobValue));
            h->charset_form = 0;
            h->charset_id = 0;
            h->null_flag = 0;
            h->complete_flag = 0;
            h->define_type = int16_t(d.define_type);
            text[0] = 0;
            if (c->ind[k][r] == -1) {
                h->length = 0;
                h->null_flag = 1;
                continue;
            }
            ub4 length = 0;
            if (type == SQLT_CLOB) {
                if (g_oci.OCILobGetLength(s->svc, s->err, h->locator, &length) != OCI_SUCCESS)
                    return LobError(s, msg, u"\n---\nerror in oci_get_lob_size:\n");
                h->length = length;
                int chars = (display - 1) / (g_oci_code_page == 65001 ? 4 : 2);
                if (chars <= 0) {
                    h->complete_flag = length == 0;
                    continue;
                }
                ub1 form = 0;
                if (g_oci.OCILobCharSetForm(Env(), s->err, h->locator, &form) != OCI_SUCCESS)
                    return LobError(s, msg, u"\n---\nerror in oci_get_lob_charset_info:\n");
                h->charset_form = form;
                ub4 amount = ub4(chars);
                sword rc = OCI_SUCCESS;
                if (length > 0)
                    rc = g_oci.OCILobRead(s->svc, s->err, h->locator, &amount, 1, text, ub4(display - 1),
                                          nullptr, nullptr, 0, form);
                else
                    amount = 0;
                if (rc != OCI_SUCCESS && rc != OCI_NEED_DATA)
                    return LobError(s, msg, u"\n---\nerror in oci_get_lob_size:\n");
                if (amount > ub4(display - 1)) amount = ub4(display - 1);
                text[amount] = 0;
                h->complete_flag = rc != OCI_NEED_DATA && ub4(chars) >= length;
            } else if (type == SQLT_BLOB) {
                if (g_oci.OCILobGetLength(s->svc, s->err, h->locator, &length) != OCI_SUCCESS)
                    return LobError(s, msg, u"\n---\nerror in oci_get_lob_size:\n");
                h->length = length;
                char label[32], full[64];
                oci_lob_size_label(length, label, sizeof label);
                std::snprintf(full, sizeof full, "<BLOB %s>", label);
                BoundedText(text, display, full);
            } else {
                char alias[1024], name[1024];
                ub2 alias_len = sizeof alias - 1, name_len = sizeof name - 1;
                if (g_oci.OCILobFileGetName(Env(), s->err, h->locator, reinterpret_cast<OraText*>(alias),
                                            &alias_len, reinterpret_cast<OraText*>(name),
                                            &name_len) != OCI_SUCCESS)
                    return LobError(s, msg, u"\n---\nerror in oci_hlob_get_name:\n");
                alias[alias_len < sizeof alias ? alias_len : sizeof alias - 1] = 0;
                name[name_len < sizeof name ? name_len : sizeof name - 1] = 0;
                char label[32];
                if (g_oci.OCILobGetLength(s->svc, s->err, h->locator, &length) != OCI_SUCCESS) {
                    oci_write_log(s, u"\n---\nerror in oci_get_lob_size:\n");
                    oci8_get_error(s, msg);
                    length = 0;
                    std::snprintf(label, sizeof label, "not found");
                } else {
                    oci_lob_size_label(length, label, sizeof label);
                }
                h->length = length;
                std::string full =
                    std::string("<BFILE dir_alias:") + alias + " file_name:" + name + " " + label + ">";
                BoundedText(text, display, full.c_str());
            }
        }
    }
    return ORARC_OK;
}

int oci_hlob_download(OraLobValue* lob, const char16_t* path, CString* msg) {
    OraSession* s = g_session;
    bool bfile = lob->define_type == SQLT_BFILEE;
    if (bfile && g_oci.OCILobOpen(s->svc, s->err, lob->locator, OCI_LOB_READONLY) != OCI_SUCCESS)
        return LobError(s, msg, u"\n---\nerror in oci_hlob_download:\n");
    int rc = ORARC_OK;
    FILE* f = _wfopen(path, u"wb");
    if (!f) {
        if (msg) msg->Format(u"ファイルが開けません(ファイル名:%s)\n", path);
        rc = ORARC_FILE_OPEN;
    } else {
        // Amount 0 streams to the end of the LOB, however long.
        char buf[kPiece];
        ub4 amount = 0;
        for (;;) {
            amount = 0;
            sword r = g_oci.OCILobRead(s->svc, s->err, lob->locator, &amount, 1, buf, sizeof buf, nullptr,
                                       nullptr, lob->charset_id, lob->charset_form);
            if (r != OCI_SUCCESS && r != OCI_NEED_DATA) {
                rc = LobError(s, msg, u"\n---\nerror in oci_get_lob_size:\n");
                break;
            }
            if (amount && std::fwrite(buf, 1, amount, f) != amount) {
                if (msg) msg->Format(u"ファイルが開けません(ファイル名:%s)\n", path);
                rc = ORARC_FILE_OPEN;
                if (r == OCI_NEED_DATA) g_oci.OCIBreak(s->svc, s->err);
                break;
            }
            if (r == OCI_SUCCESS) break;
        }
        if (std::fclose(f) != 0 && rc == ORARC_OK) {
            if (msg) msg->Format(u"ファイルが開けません(ファイル名:%s)\n", path);
            rc = ORARC_FILE_OPEN;
        }
    }
    if (bfile && g_oci.OCILobClose(s->svc, s->err, lob->locator) != OCI_SUCCESS && rc == ORARC_OK)
        rc = LobError(s, msg, u"\n---\nerror in oci_hlob_download:\n");
    return rc;
}

int oci_hlob_upload(OraSession* s, OraLobValue* lob, const char16_t* path, CString* msg) {
    if (!path || !*path) return ORARC_OK;
    FILE* f = _wfopen(path, u"rb");
    if (!f) {
        if (msg) msg->Format(u"ファイルが開けません(ファイル名:%s)\n", path);
        return ORARC_FILE_OPEN;
    }
    struct stat st {};
    uint64_t size = fstat(fileno(f), &st) == 0 ? uint64_t(st.st_size) : 0;
    if (size > kMaxUpload) {
        std::fclose(f);
        if (msg) msg->Format(u"エラー(%s)\n", u"oci_hlob_upload");
        return ORARC_FAILED;
    }
    int rc = ORARC_OK;
    if (lob->length != 0 && g_oci.OCILobTrim(s->svc, s->err, lob->locator, 0) != OCI_SUCCESS)
        rc = LobError(s, msg, u"\n---\nerror in oci_hlob_upload:\n");
    uint64_t sent = 0;
    char buf[kPiece];
    while (rc == ORARC_OK && sent < size) {
        size_t want = size - sent < kPiece ? size_t(size - sent) : size_t(kPiece);
        size_t got = std::fread(buf, 1, want, f);
        if (got < want) {
            // A read error, or the file shrank: the LOB would hold part of it.
            // A piecewise write under way is broken off, never completed.
            if (sent > 0) g_oci.OCIBreak(s->svc, s->err);
            if (msg) msg->Format(u"ファイルが開けません(ファイル名:%s)\n", path);
            rc = ORARC_FILE_OPEN;
            break;
        }
        bool first = sent == 0;
        sent += got;
        bool last = sent >= size;
        ub1 piece = first ? (last ? OCI_ONE_PIECE : OCI_FIRST_PIECE) : (last ? 3 : 2);
        ub4 amount = first && last ? ub4(got) : ub4(size);
        sword r = g_oci.OCILobWrite(s->svc, s->err, lob->locator, &amount, 1, buf, ub4(got), piece, nullptr,
                                    nullptr, lob->charset_id, lob->charset_form);
        if (r != OCI_SUCCESS && r != OCI_NEED_DATA)
            rc = LobError(s, msg, u"\n---\nerror in oci_hlob_upload:\n");
    }
    std::fclose(f);
    return rc;
}
