// The client library's entry points, resolved by name when the library is
// loaded. Every call of the layer goes through g_oci; a name the library does
// not export leaves its pointer null.
#pragma once

#include "platform/oci/include/oci_client.h"

// In resolution order, by group.
// clang-format off
#define OCI_ENTRIES_ENV(X) \
    X(OCIEnvCreate) X(OCIInitialize) X(OCIEnvInit)
#define OCI_ENTRIES_CORE1(X) \
    X(OCINlsGetInfo) X(OCIServerRelease) X(OCIHandleAlloc) X(OCIHandleFree) X(OCIServerAttach) \
    X(OCIServerDetach) X(OCISessionBegin) X(OCISessionEnd) X(OCIAttrSet) X(OCIAttrGet) \
    X(OCIErrorGet) X(OCIStmtPrepare) X(OCIStmtExecute) X(OCIDefineByPos) X(OCIDefineArrayOfStruct) \
    X(OCIParamGet) X(OCIStmtFetch)
#define OCI_ENTRIES_FETCH2(X) \
    X(OCIStmtFetch2)
#define OCI_ENTRIES_CORE2(X) \
    X(OCIBindByName) X(OCIBreak) X(OCIReset) X(OCIDescriptorAlloc) X(OCIDescriptorFree) \
    X(OCILobAssign) X(OCILobIsTemporary) X(OCILobLocatorAssign) X(OCILobOpen) X(OCILobClose) \
    X(OCILobGetLength) X(OCILobRead) X(OCILobWrite) X(OCILobCharSetForm) X(OCILobCharSetId) \
    X(OCILobTrim) X(OCILobFileGetName) X(OCITransCommit) X(OCITransRollback) X(OCISvcCtxToLda) \
    X(OCILdaToSvcCtx)
#define OCI_ENTRIES_OBJECT1(X) \
    X(OCIDescribeAny) X(OCINumberToReal) X(OCIStringPtr) X(OCIDateToText)
#define OCI_ENTRIES_DATETIME(X) \
    X(OCIDateTimeToText)
#define OCI_ENTRIES_OBJECT2(X) \
    X(OCITypeByRef) X(OCIDefineObject) X(OCIObjectPin) X(OCIObjectGetInd) X(OCIObjectGetAttr) \
    X(OCIIterCreate) X(OCIIterNext) X(OCIIterDelete) X(OCICollSize) X(OCITableFirst) X(OCITableNext) \
    X(OCICollGetElem) X(OCIRefToHex) X(OCIRefHexSize)
#define OCI_ENTRIES_V7(X) \
    X(obreak) X(oclose) X(ocom) X(odescr) X(oerhms) X(oexec) X(oexfet) X(oexn) X(ofen) X(olog) \
    X(ologof) X(oopen) X(oparse) X(orol) X(onbset) X(onbclr) X(obndra) X(odefin)

#define OCI_ENTRIES_ALL(X) \
    OCI_ENTRIES_ENV(X) OCI_ENTRIES_CORE1(X) OCI_ENTRIES_FETCH2(X) OCI_ENTRIES_CORE2(X) \
    OCI_ENTRIES_OBJECT1(X) OCI_ENTRIES_DATETIME(X) OCI_ENTRIES_OBJECT2(X) OCI_ENTRIES_V7(X)
// clang-format on

// One record of function pointers; tests may replace single entries.
struct OciEntryPoints {
#define OCI_ENTRY_MEMBER(name) pfn_##name name = nullptr;
    OCI_ENTRIES_ALL(OCI_ENTRY_MEMBER)
#undef OCI_ENTRY_MEMBER
};

extern OciEntryPoints g_oci;
