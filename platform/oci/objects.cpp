// Calls this library does not support over SQLite: object types, and (for
// now) large objects and breaks. Each fails with ORA-03001 through its error handle.
#include "internal.h"

using namespace oci;

namespace {
sword unsupported(OCIError* errhp) {
    return setError(errhp, makeError(3001));
}
} // namespace

OCI_EXPORT sword OCIBreak(dvoid* hndlp, OCIError* errhp) {
    if (!isHandle(hndlp)) return OCI_INVALID_HANDLE;
    return unsupported(errhp);
}
OCI_EXPORT sword OCIReset(dvoid* hndlp, OCIError* errhp) {
    if (!isHandle(hndlp)) return OCI_INVALID_HANDLE;
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobAssign(OCIEnv*, OCIError* errhp, const OCILobLocator*, OCILobLocator**) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobIsTemporary(OCIEnv*, OCIError* errhp, OCILobLocator*, boolean*) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobLocatorAssign(OCISvcCtx*, OCIError* errhp, const OCILobLocator*, OCILobLocator**) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobOpen(OCISvcCtx*, OCIError* errhp, OCILobLocator*, ub1) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobClose(OCISvcCtx*, OCIError* errhp, OCILobLocator*) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobGetLength(OCISvcCtx*, OCIError* errhp, OCILobLocator*, ub4*) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobRead(OCISvcCtx*, OCIError* errhp, OCILobLocator*, ub4*, ub4, dvoid*, ub4, dvoid*,
                            OCICallbackLobRead, ub2, ub1) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobWrite(OCISvcCtx*, OCIError* errhp, OCILobLocator*, ub4*, ub4, dvoid*, ub4, ub1, dvoid*,
                             OCICallbackLobWrite, ub2, ub1) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobCharSetForm(OCIEnv*, OCIError* errhp, const OCILobLocator*, ub1*) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobCharSetId(OCIEnv*, OCIError* errhp, const OCILobLocator*, ub2*) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobTrim(OCISvcCtx*, OCIError* errhp, OCILobLocator*, ub4) {
    return unsupported(errhp);
}
OCI_EXPORT sword OCILobFileGetName(OCIEnv*, OCIError* errhp, const OCILobLocator*, OraText*, ub2*, OraText*,
                                   ub2*) {
    return unsupported(errhp);
}

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
