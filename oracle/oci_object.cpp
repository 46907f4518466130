#include "oracle/oci_object.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Attributes of the object describe.
constexpr ub4 kAttrTypeCode = 216;
constexpr ub4 kAttrCollectionTypeCode = 217;
constexpr ub4 kAttrCollectionElement = 227;
constexpr ub4 kAttrNumTypeAttrs = 228;
constexpr ub4 kAttrListTypeAttrs = 229;

// Type codes.
constexpr int kTcObject = 108;
constexpr int kTcRef = 110;
constexpr int kTcNamedCollection = 122;
constexpr int kTcVarray = 247;
constexpr int kTcTable = 248;

OCIEnv* Env() {
    return static_cast<OCIEnv*>(g_oci_env);
}

void Put(char** out, int* budget, const char* text) {
    if (*out) *out = oci_copy_mb_str(*out, text, budget);
}

int Unsupported(CString* msg, const char16_t* what, int code) {
    if (msg) msg->Format(u"サポートしていないデータ型です(項目名:%s, データ型:%d)\n", what, code);
    return ORARC_UNSUPPORTED_TYPE;
}

int Failed(OraSession* s, const char16_t* header, CString* msg) {
    oci_write_log(s, header);
    oci8_get_error(s, msg);
    return ORARC_ORACLE_ERROR;
}

// The name attribute of a parameter, at most 99 bytes of whole characters.
std::string NameOf(OraSession* s, OCIParam* param, bool* ok) {
    OraText* name = nullptr;
    ub4 len = 0;
    *ok = g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &len, OCI_ATTR_NAME, s->err) == OCI_SUCCESS;
    if (!*ok || !name) return {};
    std::string all(reinterpret_cast<const char*>(name), len);
    char buf[100];
    int budget = sizeof buf;
    oci_copy_mb_str(buf, all.c_str(), &budget);
    return buf;
}

int ObjectText(OraSession* s, OCIType* tdo, void* instance, void* null_struct, OCIParam* param,
               const std::string& name, char** out, int* budget, CString* msg) {
    static const char16_t* kHeader = u"\n---\nerror in oci8_set_dataset_object_main:\n";
    Put(out, budget, name.c_str());
    Put(out, budget, "(");
    ub2 count = 0;
    OCIParam* list = nullptr;
    if (g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &count, nullptr, kAttrNumTypeAttrs, s->err) != OCI_SUCCESS ||
        g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &list, nullptr, kAttrListTypeAttrs, s->err) != OCI_SUCCESS)
        return Failed(s, kHeader, msg);
    for (ub4 i = 1; i <= count; ++i) {
        OCIParam* attr = nullptr;
        ub2 code = 0;
        if (g_oci.OCIParamGet(list, OCI_DTYPE_PARAM, s->err, reinterpret_cast<dvoid**>(&attr), i) !=
                OCI_SUCCESS ||
            g_oci.OCIAttrGet(attr, OCI_DTYPE_PARAM, &code, nullptr, kAttrTypeCode, s->err) != OCI_SUCCESS)
            return Failed(s, kHeader, msg);
        OraText* aname = nullptr;
        ub4 alen = 0;
        if (g_oci.OCIAttrGet(attr, OCI_DTYPE_PARAM, &aname, &alen, OCI_ATTR_NAME, s->err) != OCI_SUCCESS)
            return Failed(s, kHeader, msg);
        const OraText* names[1] = {aname};
        OCIInd null_status = 0;
        dvoid* attr_null = nullptr;
        dvoid* value = nullptr;
        OCIType* attr_tdo = nullptr;
        if (g_oci.OCIObjectGetAttr(Env(), s->err, instance, null_struct, tdo, names, &alen, 1, nullptr, 0,
                                   &null_status, &attr_null, &value, &attr_tdo) != OCI_SUCCESS)
            return Failed(s, kHeader, msg);
        if (i > 1) Put(out, budget, ",");
        if (code == kTcNamedCollection && null_status != -1 && value) value = *static_cast<OCIColl**>(value);
        int rc = oci8_value_text(s, code, out, budget, attr_tdo, value, null_status, attr_null, msg);
        if (rc != ORARC_OK) return rc;
    }
    Put(out, budget, ")");
    return ORARC_OK;
}

int CollectionText(OraSession* s, void* instance, OCIParam* param, const std::string& name, char** out,
                   int* budget, CString* msg) {
    static const char16_t* kHeader = u"\n---\nerror in oci8_set_dataset_object_main:\n";
    ub2 coll_code = 0;
    OCIParam* elem = nullptr;
    OCIRef* elem_ref = nullptr;
    OCIType* elem_tdo = nullptr;
    ub2 elem_code = 0;
    if (g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &coll_code, nullptr, kAttrCollectionTypeCode, s->err) !=
            OCI_SUCCESS ||
        g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &elem, nullptr, kAttrCollectionElement, s->err) !=
            OCI_SUCCESS ||
        g_oci.OCIAttrGet(elem, OCI_DTYPE_PARAM, &elem_ref, nullptr, OCI_ATTR_REF_TDO, s->err) !=
            OCI_SUCCESS ||
        g_oci.OCITypeByRef(Env(), s->err, elem_ref, 10 /* session */, 0 /* header only */, &elem_tdo) !=
            OCI_SUCCESS ||
        g_oci.OCIAttrGet(elem, OCI_DTYPE_PARAM, &elem_code, nullptr, kAttrTypeCode, s->err) != OCI_SUCCESS)
        return Failed(s, kHeader, msg);
    Put(out, budget, name.c_str());
    Put(out, budget, "(");
    auto* coll = static_cast<OCIColl*>(instance);
    auto element = [&](bool first, dvoid* value, dvoid* ind) {
        if (!first) Put(out, budget, ",");
        OCIInd null_ind = ind ? *static_cast<OCIInd*>(ind) : OCIInd(0);
        return oci8_value_text(s, elem_code, out, budget, elem_tdo, value, null_ind, ind, msg);
    };
    if (coll_code == kTcVarray) {
        OCIIter* iter = nullptr;
        if (g_oci.OCIIterCreate(Env(), s->err, coll, &iter) != OCI_SUCCESS) return Failed(s, kHeader, msg);
        int rc = ORARC_OK;
        for (bool first = true;; first = false) {
            dvoid* value = nullptr;
            dvoid* ind = nullptr;
            boolean eoc = 0;
            if (g_oci.OCIIterNext(Env(), s->err, iter, &value, &ind, &eoc) != OCI_SUCCESS) {
                rc = Failed(s, kHeader, msg);
                break;
            }
            if (eoc) break;
            rc = element(first, value, ind);
            if (rc != ORARC_OK) break;
        }
        g_oci.OCIIterDelete(Env(), s->err, &iter);
        if (rc != ORARC_OK) return rc;
    } else if (coll_code == kTcTable) {
        sb4 index = 0;
        sword r = g_oci.OCITableFirst(Env(), s->err, coll, &index);
        // An empty table has no first index.
        for (bool first = true; r == OCI_SUCCESS; first = false) {
            boolean exists = 0;
            dvoid* value = nullptr;
            dvoid* ind = nullptr;
            if (g_oci.OCICollGetElem(Env(), s->err, coll, index, &exists, &value, &ind) != OCI_SUCCESS)
                return Failed(s, kHeader, msg);
            if (exists) {
                int rc = element(first, value, ind);
                if (rc != ORARC_OK) return rc;
            }
            sb4 next = 0;
            exists = 0;
            if (g_oci.OCITableNext(Env(), s->err, index, coll, &next, &exists) != OCI_SUCCESS || !exists)
                break;
            index = next;
        }
    } else {
        return Unsupported(msg, u"[COLLECTION]", coll_code);
    }
    Put(out, budget, ")");
    return ORARC_OK;
}

} // namespace

int oci8_set_dataset_object_main(OraSession* s, OCIType* tdo, void* instance, void* null_struct, char** out,
                                 int* budget, CString* msg) {
    if (!*out || *budget < 2) return ORARC_OK;
    static const char16_t* kHeader = u"\n---\nerror in oci8_set_dataset_object_main:\n";
    OCIDescribe* dsc = nullptr;
    if (g_oci.OCIHandleAlloc(g_oci_env, reinterpret_cast<dvoid**>(&dsc), OCI_HTYPE_DESCRIBE, 0, nullptr) !=
        OCI_SUCCESS)
        return Failed(s, kHeader, msg);
    int rc = ORARC_OK;
    OCIParam* param = nullptr;
    ub2 code = 0;
    bool ok =
        g_oci.OCIDescribeAny(s->svc, s->err, tdo, 0, 3 /* pointer */, 1, 6 /* type */, dsc) == OCI_SUCCESS &&
        g_oci.OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &param, nullptr, OCI_ATTR_PARAM, s->err) == OCI_SUCCESS &&
        g_oci.OCIAttrGet(param, OCI_DTYPE_PARAM, &code, nullptr, kAttrTypeCode, s->err) == OCI_SUCCESS;
    std::string name;
    if (ok) name = NameOf(s, param, &ok);
    if (!ok)
        rc = Failed(s, kHeader, msg);
    else if (code == kTcObject)
        rc = ObjectText(s, tdo, instance, null_struct, param, name, out, budget, msg);
    else if (code == kTcNamedCollection)
        rc = CollectionText(s, instance, param, name, out, budget, msg);
    else
        rc = Unsupported(msg, u"[OBJECT]", code);
    g_oci.OCIHandleFree(dsc, OCI_HTYPE_DESCRIBE);
    return rc;
}

int oci8_read_ref_main(OraSession* s, const OCIRef* ref, char** out, int* budget, CString* msg) {
    static const char16_t* kHeader = u"\n---\nerror in oci8_read_ref_main:\n";
    char hex[300];
    ub4 size = g_oci.OCIRefHexSize(Env(), ref);
    if (size + 1 > sizeof hex) {
        oci_write_log(s, kHeader);
        if (msg) msg->Format(u"エラー(%s)\n", u"error in oci8_read_ref_main(): hex_size > hex_len");
        return ORARC_FAILED;
    }
    ub4 len = sizeof hex;
    if (g_oci.OCIRefToHex(Env(), s->err, ref, reinterpret_cast<OraText*>(hex), &len) != OCI_SUCCESS)
        return Failed(s, kHeader, msg);
    hex[len < sizeof hex ? len : sizeof hex - 1] = 0;
    Put(out, budget, hex);
    return ORARC_OK;
}

int oci8_value_text(OraSession* s, int type_code, char** out, int* budget, OCIType* tdo, void* value,
                    OCIInd null_ind, void* null_struct, CString* msg) {
    if (null_ind == -1) {
        Put(out, budget, "NULL");
        return ORARC_OK;
    }
    if (type_code == kTcObject || type_code == kTcNamedCollection)
        return oci8_set_dataset_object_main(s, tdo, value, null_struct, out, budget, msg);
    if (type_code == kTcRef) return oci8_read_ref_main(s, *static_cast<OCIRef**>(value), out, budget, msg);
    return oci8_attr_value_text(s, type_code, value, out, budget, msg);
}

int oci8_attr_value_text(OraSession* s, int type_code, void* value, char** out, int* budget, CString* msg) {
    static const char16_t* kHeader = u"\n---\nerror in oci8_attr_value_text:\n";
    switch (type_code) {
    case 1:
    case 9:
    case 96: {
        // Quotes are doubled, so that the text reads back as a literal.
        const auto* p =
            reinterpret_cast<const char*>(g_oci.OCIStringPtr(Env(), *static_cast<OCIString**>(value)));
        std::string text = "'";
        for (; p && *p; ++p) {
            text += *p;
            if (*p == '\'') text += '\'';
        }
        text += '\'';
        Put(out, budget, text.c_str());
        return ORARC_OK;
    }
    case 2:
    case 3:
    case 4:
    case 7:
    case 21:
    case 22:
    case 25:
    case 26:
    case 28:
    case 29:
    case 246: {
        double d = 0;
        if (g_oci.OCINumberToReal(s->err, static_cast<const OCINumber*>(value), sizeof d, &d) != OCI_SUCCESS)
            return Failed(s, kHeader, msg);
        // The shortest text that reads back as the same double.
        char buf[40];
        auto res = std::to_chars(buf, buf + sizeof buf - 1, d);
        *res.ptr = 0;
        Put(out, budget, buf);
        return ORARC_OK;
    }
    case 12: {
        char buf[2047];
        ub4 size = sizeof buf - 1;
        if (g_oci.OCIDateToText(s->err, static_cast<const OCIDate*>(value),
                                reinterpret_cast<const OraText*>(g_oci_date_format),
                                ub1(std::strlen(g_oci_date_format)), nullptr, 0, &size,
                                reinterpret_cast<OraText*>(buf)) != OCI_SUCCESS)
            return Failed(s, kHeader, msg);
        buf[size < sizeof buf ? size : sizeof buf - 1] = 0;
        Put(out, budget, "'");
        Put(out, budget, buf);
        Put(out, budget, "'");
        return ORARC_OK;
    }
    case 23:
    case 245:
    case 27: {
        char buf[8];
        int v = type_code == 27 ? int(*static_cast<const signed char*>(value))
                                : int(*static_cast<const unsigned char*>(value));
        std::snprintf(buf, sizeof buf, "%d", v);
        Put(out, budget, buf);
        return ORARC_OK;
    }
    case 187:
    case 188:
    case 232: {
        if (!g_oci.OCIDateTimeToText) break;
        char buf[2047];
        ub4 size = sizeof buf - 1;
        if (g_oci.OCIDateTimeToText(s->ses, s->err, *static_cast<OCIDateTime**>(value), nullptr, 0, 6,
                                    nullptr, 0, &size, reinterpret_cast<OraText*>(buf)) != OCI_SUCCESS)
            return Failed(s, kHeader, msg);
        buf[size < sizeof buf ? size : sizeof buf - 1] = 0;
        Put(out, budget, "'");
        Put(out, budget, buf);
        Put(out, budget, "'");
        return ORARC_OK;
    }
    default: break;
    }
    return Unsupported(msg, u"[ELEMENT]", type_code);
}
