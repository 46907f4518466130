#include <cstdio>
#include <cstring>
#include <string>

#include "oracle/oci_api.h"

namespace {

const int kOci7MaxColumns = 1024;

bool IsTimestamp(int t) {
    return t == 180 || t == 181 || t == 187 || t == 188 || t == 231 || t == 232;
}
bool IsInterval(int t) {
    return t == 182 || t == 183 || t == 189 || t == 190;
}

int NumberBufferSize(int p, int s) {
    if (s < 0) return p - s + 3;
    if (p - s < 0) return s + 3;
    return p + 3;
}

// The name into the descriptor: whole characters, at most 255 bytes.
void SetName(OraColumnDesc* d, const char* name, size_t len) {
    std::string tmp(name ? name : "", name ? len : 0);
    int budget = sizeof d->name;
    d->name[0] = 0;
    oci_copy_mb_str(d->name, tmp.c_str(), &budget);
    g_mb_to_wide(d->name, d->wname, 256);
}

void Unsupported(OraSession* s, OraColumnDesc* d, CString* msg, bool log) {
    if (msg)
        msg->Format(u"サポートしていないデータ型です(項目名:%s, データ型:%d)\n", d->wname, int(d->data_type));
    if (log)
        oci_write_log(s,
                      u"\n---\nerror in oci_desc_cursor: \n this datatype is not support. \n colname: %s, "
                      u"datatype: %d\n",
                      d->wname, int(d->data_type));
}

} // namespace

int oci8_desc_cursor(OraSession* s, OraCursor* c, CString* msg) {
    auto fail = [&]() {
        oci8_get_stmt_error(s, c, msg);
        oci_write_log(s, u"\n---\nerror in oci8_desc_cursor:\n");
        return ORARC_ORACLE_ERROR;
    };
    ub4 prefetch = 0;
    if (g_oci.OCIAttrSet(c->stmt, OCI_HTYPE_STMT, &prefetch, sizeof prefetch, OCI_ATTR_PREFETCH_ROWS,
                         s->err) != OCI_SUCCESS)
        return fail();
    if (g_oci.OCIStmtExecute(s->svc, c->stmt, s->err, 1, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY) !=
        OCI_SUCCESS)
        return fail();
    ub4 count = 0;
    if (g_oci.OCIAttrGet(c->stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, s->err) !=
        OCI_SUCCESS)
        return fail();
    c->col_count = int(count);
    int rc = oci_alloc_col_desc(c, msg);
    if (rc != ORARC_OK) return rc;

    bool unsupported = false;
    for (int i = 0; i < c->col_count; ++i) {
        OraColumnDesc* d = &c->desc[i];
        *d = OraColumnDesc{};
        OCIParam* param = nullptr;
        ub2 size = 0, type = 0;
        char* name = nullptr;
        ub4 name_len = 0;
        ub1 nullable = 0;
        if (g_oci.OCIParamGet(c->stmt, OCI_HTYPE_STMT, s->err, reinterpret_cast<dvoid**>(&param),
                              ub4(i + 1)) != OCI_SUCCESS ||
            g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, s->err) !=
                OCI_SUCCESS ||
            g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, s->err) !=
                OCI_SUCCESS ||
            g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &name_len, OCI_ATTR_NAME, s->err) != OCI_SUCCESS)
            return fail();
        d->data_size = size;
        d->data_type = int16_t(type);
        SetName(d, name, name_len);
        if (g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, s->err) !=
            OCI_SUCCESS)
            return fail();
        d->nullable = nullable;
        d->define_type = SQLT_STR;

        auto read_form = [&]() {
            ub1 form = 0;
            if (g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &form, nullptr, OCI_ATTR_CHARSET_FORM, s->err) !=
                OCI_SUCCESS)
                return false;
            d->charset_form = form;
            return true;
        };
        auto read_prec_scale = [&](bool precision) {
            sb2 p = 0, sc = 0; // the scale arrives as one byte in the low byte
            if (precision && g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &p, nullptr, OCI_ATTR_PRECISION,
                                              s->err) != OCI_SUCCESS)
                return false;
            if (g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &sc, nullptr, OCI_ATTR_SCALE, s->err) != OCI_SUCCESS)
                return false;
            if (precision) d->precision = p;
            // Signed, as the Oracle 7 describe gives it: NUMBER(5,-2) has scale -2.
            d->scale = int16_t(int8_t(uint8_t(sc & 0xFF)));
            return true;
        };

        switch (type) {
        case SQLT_CHR:
        case SQLT_AFC:
            if (!read_form()) return fail();
            d->buffer_size = size ? size + 1 : 2001;
            if (g_oci_code_page == 65001) d->buffer_size *= s->sjis ? 3 : 2;
            break;
        case SQLT_NUM:
            if (!read_prec_scale(true)) return fail();
            // Scale -127 marks a floating NUMBER (no scale, or a FLOAT): its text
            // budget stays that of the one-byte reading, 129.
            d->buffer_size =
                NumberBufferSize(d->precision ? d->precision : 130, d->scale == -127 ? 129 : d->scale);
            break;
        case SQLT_FLT:
            if (!read_prec_scale(true)) return fail();
            d->buffer_size = d->precision < 0 ? 3 : (d->precision ? d->precision : 130) + 3;
            break;
        case SQLT_LNG: d->buffer_size = g_oci_long_read_size; break;
        case SQLT_RID:
        case SQLT_RDD: d->buffer_size = 24; break;
        case SQLT_DAT: d->buffer_size = 128; break;
        case SQLT_BIN: d->buffer_size = size * 2 + 1; break;
        case SQLT_LBI: d->buffer_size = 2000; break;
        case SQLT_IBFLOAT: d->buffer_size = 20; break;
        case SQLT_IBDOUBLE: d->buffer_size = 40; break;
        case SQLT_NTY: {
            if (!g_oci_object_api) {
                unsupported = true;
                Unsupported(s, d, msg, false);
                break;
            }
            OCIRef* ref = nullptr;
            if (g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &ref, nullptr, OCI_ATTR_REF_TDO, s->err) !=
                    OCI_SUCCESS ||
                g_oci.OCITypeByRef(static_cast<OCIEnv*>(g_oci_env), s->err, ref, 10 /* session duration */,
                                   0 /* header only */, &d->type_desc) != OCI_SUCCESS)
                return fail();
            d->define_type = SQLT_NTY;
            d->buffer_size = 16;
            d->value_kind = 2;
            d->display_size = g_oci_clob_read_size;
            ++c->obj_col_count;
            break;
        }
        case SQLT_REF:
            if (!g_oci_object_api) {
                unsupported = true;
                Unsupported(s, d, msg, false);
                break;
            }
            d->define_type = SQLT_REF;
            d->buffer_size = 16;
            d->value_kind = 2;
            d->display_size = 300;
            ++c->obj_col_count;
            break;
        case SQLT_CLOB:
            if (!read_form()) return fail();
            d->define_type = SQLT_CLOB;
            // Rounded up to whole 8 bytes: every row's header stays aligned.
            d->buffer_size = (g_oci_clob_read_size + int(sizeof(OraLobValue)) + 7) & ~7;
            d->value_kind = 1;
            d->display_size = g_oci_clob_read_size;
            ++c->lob_col_count;
            break;
        case SQLT_BLOB:
            d->define_type = SQLT_BLOB;
            d->buffer_size = 72;
            d->value_kind = 1;
            d->display_size = 48;
            ++c->lob_col_count;
            break;
        case SQLT_BFILEE:
            d->define_type = SQLT_BFILEE;
            d->buffer_size = 536;
            d->value_kind = 1;
            d->display_size = 512;
            ++c->lob_col_count;
            break;
        default:
            if (IsTimestamp(type)) {
                if (!read_prec_scale(false)) return fail();
                d->buffer_size = 192;
            } else if (IsInterval(type)) {
                d->buffer_size = 192;
            } else {
                unsupported = true;
                Unsupported(s, d, msg, true);
            }
            break;
        }
        d->text_size = d->buffer_size * 2;
    }
    if (unsupported) return ORARC_UNSUPPORTED_TYPE;
    if (g_oci_reprepare == 1) {
        g_oci.OCIHandleFree(c->stmt, OCI_HTYPE_STMT);
        c->stmt = nullptr;
        if (g_oci.OCIHandleAlloc(g_oci_env, reinterpret_cast<dvoid**>(&c->stmt), OCI_HTYPE_STMT, 0,
                                 nullptr) != OCI_SUCCESS) {
            c->stmt = nullptr;
            oci8_get_error(s, msg);
            oci_write_log(s, u"\n---\nerror in oci8_desc_cursor:\n");
            return ORARC_ORACLE_ERROR;
        }
        if (g_oci.OCIStmtPrepare(c->stmt, s->err, reinterpret_cast<const OraText*>(c->sql),
                                 ub4(std::strlen(c->sql)), OCI_NTV_SYNTAX, OCI_DEFAULT) != OCI_SUCCESS)
            return fail();
    }
    return ORARC_OK;
}

int oci_desc_cursor(OraSession* s, OraCursor* c, CString* msg) {
    if (s && !s->oci7) return oci8_desc_cursor(s, c, msg);
    c->col_count = kOci7MaxColumns;
    int rc = oci_alloc_col_desc(c, msg);
    if (rc != ORARC_OK) return rc;
    bool unsupported = false;
    int n = 0;
    for (; n < kOci7MaxColumns; ++n) {
        OraColumnDesc* d = &c->desc[n];
        *d = OraColumnDesc{};
        sb4 dbsize = 0, name_len = 255, dsize = 0;
        sb2 dbtype = 0, prec = 0, scale = 0, nullok = 0;
        sb1 name[256] = {};
        if (g_oci.odescr(ora_cda(c), n + 1, &dbsize, &dbtype, name, &name_len, &dsize, &prec, &scale,
                         &nullok) != 0) {
            if (ora_cda_rc(c) == 1007) break;
            oci_write_log(s, u"\n---\nerror in oci_desc_cursor: \n");
            oci_get_cda_error(s, c, msg);
            c->col_count = n;
            return ORARC_ORACLE_ERROR;
        }
        if (name_len < 0) name_len = 0;
        if (name_len > 255) name_len = 255;
        SetName(d, reinterpret_cast<const char*>(name), size_t(name_len));
        d->data_size = dbsize;
        d->data_type = dbtype;
        d->precision = prec;
        d->scale = scale;
        d->nullable = nullok;
        d->define_type = SQLT_STR;
        switch (dbtype) {
        case SQLT_CHR:
        case SQLT_AFC:
            if (dbsize == 0)
                d->buffer_size = 2001;
            else
                d->buffer_size = (dbsize + 1) * (g_oci_code_page == 65001 ? 2 : 1);
            break;
        case SQLT_NUM: d->buffer_size = NumberBufferSize(prec ? prec : 38, scale); break;
        case SQLT_FLT: d->buffer_size = prec < 0 ? 3 : (prec ? prec : 130) + 3; break;
        case SQLT_LNG: d->buffer_size = g_oci_long_read_size; break;
        case SQLT_RID: d->buffer_size = 24; break;
        case SQLT_DAT: d->buffer_size = 128; break;
        case SQLT_BIN: d->buffer_size = dbsize * 2 + 1; break;
        default:
            if (IsTimestamp(dbtype) || IsInterval(dbtype)) {
                d->buffer_size = 192;
            } else {
                unsupported = true;
                Unsupported(s, d, msg, dbtype != SQLT_NTY && dbtype != SQLT_REF);
            }
            break;
        }
        d->text_size = d->buffer_size * 2;
    }
    if (n == kOci7MaxColumns) {
        oci_write_log(s, u"\n---\nerror in oci_desc_cursor: \n");
        if (msg) *msg = u"検索するカラム数が多すぎます\n";
        c->col_count = n;
        return ORARC_TOO_MANY_COLUMNS;
    }
    c->col_count = n;
    return unsupported ? ORARC_UNSUPPORTED_TYPE : ORARC_OK;
}

int oci8_define_by_pos(OraSession* s, OraCursor* c, CString* msg) {
    auto fail = [&]() {
        oci8_get_stmt_error(s, c, msg);
        oci_write_log(s, u"\n---\nerror in oci8_define_by_pos:\n");
        return ORARC_ORACLE_ERROR;
    };
    for (int i = 0; i < c->col_count; ++i) {
        const OraColumnDesc& d = c->desc[i];
        OCIDefine* def = nullptr;
        ub4 pos = ub4(i + 1);
        int type = d.define_type;
        if (type == SQLT_CLOB || type == SQLT_BLOB || type == SQLT_BFILEE) {
            dvoid* slot = c->data[i] - sizeof(OraLobValue); // row 0's locator
            if (g_oci.OCIDefineByPos(c->stmt, &def, s->err, pos, slot, -1, ub2(type), c->ind[i], nullptr,
                                     c->rcode[i], OCI_DEFAULT) != OCI_SUCCESS ||
                g_oci.OCIDefineArrayOfStruct(def, s->err, ub4(d.buffer_size), 2, 0, 2) != OCI_SUCCESS)
                return fail();
        } else if (type == SQLT_NTY) {
            dvoid** slot = reinterpret_cast<dvoid**>(c->data[i] - 16);
            if (g_oci.OCIDefineByPos(c->stmt, &def, s->err, pos, nullptr, 0, SQLT_NTY, nullptr, nullptr,
                                     nullptr, OCI_DEFAULT) != OCI_SUCCESS ||
                g_oci.OCIDefineObject(def, s->err, d.type_desc, slot, nullptr, slot + 1, nullptr) !=
                    OCI_SUCCESS ||
                g_oci.OCIDefineArrayOfStruct(def, s->err, 16, 16, 0, 0) != OCI_SUCCESS)
                return fail();
        } else if (type == SQLT_REF) {
            dvoid** slot = reinterpret_cast<dvoid**>(c->data[i] - 16);
            if (g_oci.OCIDefineByPos(c->stmt, &def, s->err, pos, nullptr, 0, SQLT_REF, c->ind[i], nullptr,
                                     nullptr, OCI_DEFAULT) != OCI_SUCCESS ||
                g_oci.OCIDefineObject(def, s->err, nullptr, slot, nullptr, nullptr, nullptr) != OCI_SUCCESS ||
                g_oci.OCIDefineArrayOfStruct(def, s->err, 16, 2, 0, 0) != OCI_SUCCESS)
                return fail();
        } else {
            if (g_oci.OCIDefineByPos(c->stmt, &def, s->err, pos, c->data[i], d.buffer_size, SQLT_STR,
                                     c->ind[i], c->len[i], c->rcode[i], OCI_DEFAULT) != OCI_SUCCESS)
                return fail();
            if (d.data_type == SQLT_CHR || d.data_type == SQLT_AFC) {
                ub1 form = d.charset_form;
                if (g_oci.OCIAttrSet(def, OCI_HTYPE_DEFINE, &form, 0, OCI_ATTR_CHARSET_FORM, s->err) !=
                    OCI_SUCCESS)
                    return fail();
            }
        }
    }
    return ORARC_OK;
}

int oci_get_col_type_str(OraSession* s, const OraColumnDesc* d, char* type_text, char* size_text,
                         CString* msg) {
    const int kType = 100, kSize = 20;
    type_text[0] = 0;
    size_text[0] = 0;
    auto type = [&](const char* t) { std::snprintf(type_text, kType, "%s", t); };
    auto size = [&](int n) { std::snprintf(size_text, kSize, "%d", n); };
    int t = d->data_type;
    int scale = d->scale;
    switch (t) {
    case 1:
        if (d->charset_form == SQLCS_NCHAR) {
            type("NVARCHAR2");
            size(d->data_size / 2);
        } else {
            type("VARCHAR2");
            size(d->data_size);
        }
        break;
    case 2:
        if (d->precision != 0 && (scale == 129 || scale == -127)) {
            type("FLOAT");
            size(d->precision);
        } else {
            type("NUMBER");
            if (d->precision == 0)
                ;
            else if (scale != 0)
                std::snprintf(size_text, kSize, "%d,%d", int(d->precision), scale);
            else
                size(d->precision);
        }
        break;
    case 4:
        type("FLOAT");
        size(d->precision);
        break;
    case 8:
        type("LONG");
        size(d->data_size);
        break;
    case 11:
    case 104: type("ROWID"); break;
    case 12: type("DATE"); break;
    case 23:
        type("RAW");
        size(d->data_size);
        break;
    case 24: type("LONG RAW"); break;
    case 96:
        type("CHAR");
        size(d->data_size);
        break;
    case 100: type("BINARY_FLOAT"); break;
    case 101: type("BINARY_DOUBLE"); break;
    case 108: {
        if (!s) {
            std::snprintf(type_text, kType, "-UNKNOWN TYPE-%d", t);
            break;
        }
        OCIDescribe* dsc = nullptr;
        OCIParam* param = nullptr;
        char* name = nullptr;
        ub4 name_len = 0;
        bool ok = g_oci.OCIHandleAlloc(g_oci_env, reinterpret_cast<dvoid**>(&dsc), OCI_HTYPE_DESCRIBE, 0,
                                       nullptr) == OCI_SUCCESS;
        ok = ok && g_oci.OCIDescribeAny(s->svc, s->err, d->type_desc, 0, 3 /* pointer */, 1, 6 /* type */,
                                        dsc) == OCI_SUCCESS;
        ok = ok && g_oci.OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &param, nullptr, OCI_ATTR_PARAM, s->err) ==
                       OCI_SUCCESS;
        ok = ok &&
             g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &name_len, OCI_ATTR_NAME, s->err) == OCI_SUCCESS;
        if (ok) {
            // "%.*s" of the name, cut at a whole character.
            std::string copy(name ? name : "", name ? name_len : 0);
            int budget = kType;
            oci_copy_mb_str(type_text, copy.c_str(), &budget);
        }
        if (dsc) g_oci.OCIHandleFree(dsc, OCI_HTYPE_DESCRIBE);
        if (!ok) {
            oci_write_log(s, u"\n---\nerror in oci8_set_dataset_object_main:\n");
            oci8_get_error(s, msg);
            std::snprintf(type_text, kType, "-UNKNOWN TYPE-%d", t);
            return ORARC_ORACLE_ERROR;
        }
        break;
    }
    case 112: type(d->charset_form == SQLCS_NCHAR ? "NCLOB" : "CLOB"); break;
    case 113: type("BLOB"); break;
    case 114: type("BFILE"); break;
    case 180:
    case 187:
        if (scale <= 0)
            type("TIMESTAMP");
        else
            std::snprintf(type_text, kType, "TIMESTAMP(%d)", scale);
        break;
    case 181:
    case 188:
        if (scale <= 0)
            type("TIMESTAMP WITH TIME ZONE");
        else
            std::snprintf(type_text, kType, "TIMESTAMP(%d) WITH TIME ZONE", scale);
        break;
    case 182:
    case 189: type("INTERVAL YEAR(2) TO MONTH"); break;
    case 183:
    case 190: type("INTERVAL DAY(2) TO SECOND(6)"); break;
    case 231:
    case 232:
        if (scale <= 0)
            type("TIMESTAMP WITH LOCAL TIME ZONE");
        else
            std::snprintf(type_text, kType, "TIMESTAMP(%d) WITH LOCAL TIME ZONE", scale);
        break;
    default:
        std::snprintf(type_text, kType, "-UNKNOWN-%d", t);
        size(d->data_size);
        break;
    }
    return ORARC_OK;
}
