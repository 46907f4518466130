// Calls this library does not support over SQLite: object types. Each fails with ORA-03001 through its error
// handle.
#include "internal.h"

using namespace oci;

namespace {
sword unsupported(OCIError* errhp) {
    return setError(errhp, makeError(3001));
}
} // namespace

OCI_EXPORT sword OCIDescribeAny(OCISvcCtx*, OCIError* errhp, dvoid*, ub4, ub1, ub1, ub1, OCIDescribe*) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCINumberToReal(OCIError* err, const OCINumber*, uword, dvoid*) {
    return unsupported(err);
}
OCI_EXPORT OraText* OCIStringPtr(OCIEnv*, const OCIString*) {
    return nullptr;
}
OCI_EXPORT sword OCIDateToText(OCIError* err, const OCIDate*, const OraText*, ub1, const OraText*, ub4, ub4*,
                               OraText*) {
    return unsupported(err);
}
OCI_EXPORT sword OCITypeByRef(OCIEnv*, OCIError* err, const OCIRef*, OCIDuration, OCITypeGetOpt, OCIType**) {
    return unsupported(err);
}
OCI_EXPORT sword OCIDefineObject(OCIDefine*, OCIError* errhp, const OCIType*, dvoid**, ub4*, dvoid**, ub4*) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCIObjectPin(OCIEnv*, OCIError* err, OCIRef*, OCIComplexObject*, OCIPinOpt, OCIDuration,
                              OCILockOpt, dvoid**) {
    return unsupported(err);
}
OCI_EXPORT sword OCIObjectGetInd(OCIEnv*, OCIError* err, dvoid*, dvoid**) {
    return unsupported(err);
}
OCI_EXPORT sword OCIObjectGetAttr(OCIEnv*, OCIError* err, dvoid*, dvoid*, OCIType*, const OraText**,
                                  const ub4*, const ub4, const ub4*, const ub4, OCIInd*, dvoid**, dvoid**,
                                  OCIType**) {
    return unsupported(err);
}
OCI_EXPORT sword OCIIterCreate(OCIEnv*, OCIError* err, const OCIColl*, OCIIter**) {
    return unsupported(err);
}
OCI_EXPORT sword OCIIterNext(OCIEnv*, OCIError* err, OCIIter*, dvoid**, dvoid**, boolean*) {
    return unsupported(err);
}
OCI_EXPORT sword OCIIterDelete(OCIEnv*, OCIError* err, OCIIter**) {
    return unsupported(err);
}
OCI_EXPORT sword OCICollSize(OCIEnv*, OCIError* err, const OCIColl*, sb4*) {
    return unsupported(err);
}
OCI_EXPORT sword OCITableFirst(OCIEnv*, OCIError* err, const OCITable*, sb4*) {
    return unsupported(err);
}
OCI_EXPORT sword OCITableNext(OCIEnv*, OCIError* err, sb4, const OCITable*, sb4*, boolean*) {
    return unsupported(err);
}
OCI_EXPORT sword OCICollGetElem(OCIEnv*, OCIError* err, const OCIColl*, sb4, boolean*, dvoid**, dvoid**) {
    return unsupported(err);
}
OCI_EXPORT sword OCIRefToHex(OCIEnv*, OCIError* err, const OCIRef*, OraText*, ub4*) {
    return unsupported(err);
}
OCI_EXPORT ub4 OCIRefHexSize(OCIEnv*, const OCIRef*) {
    return 0;
}
OCI_EXPORT sword OCIDateTimeToText(dvoid*, OCIError* err, const OCIDateTime*, const OraText*, ub1, ub1,
                                   const OraText*, size_t, ub4*, OraText*) {
    return unsupported(err);
}
