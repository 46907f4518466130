// Declarations of the Oracle Call Interface (release 8 calls, the object calls
// and the Oracle 7 calls) as the client library exports them. Shared by the
// Oracle access layer, which resolves the entry points at run time, and by our
// client library, so both agree on every type, constant and data-area layout.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef int32_t sword;
typedef uint32_t uword;
typedef int8_t sb1;
typedef uint8_t ub1;
typedef int16_t sb2;
typedef uint16_t ub2;
typedef int32_t sb4;
typedef uint32_t ub4;
typedef unsigned char OraText;
typedef int boolean;
typedef void dvoid;
typedef sb2 OCIInd;
typedef ub2 OCIDuration;

// Opaque handles and descriptors.
typedef struct OCIEnv OCIEnv;
typedef struct OCIError OCIError;
typedef struct OCISvcCtx OCISvcCtx;
typedef struct OCIStmt OCIStmt;
typedef struct OCIBind OCIBind;
typedef struct OCIDefine OCIDefine;
typedef struct OCIDescribe OCIDescribe;
typedef struct OCIServer OCIServer;
typedef struct OCISession OCISession;
typedef struct OCIParam OCIParam;
typedef struct OCISnapshot OCISnapshot;
typedef struct OCILobLocator OCILobLocator;
typedef struct OCIType OCIType;
typedef struct OCINumber OCINumber;
typedef struct OCIString OCIString;
typedef struct OCIDate OCIDate;
typedef struct OCIDateTime OCIDateTime;
typedef struct OCIIter OCIIter;
typedef struct OCIColl OCIColl;
typedef struct OCIColl OCITable;
typedef struct OCIRef OCIRef;
typedef struct OCIComplexObject OCIComplexObject;
typedef int OCITypeGetOpt;
typedef int OCIPinOpt;
typedef int OCILockOpt;

// The Oracle 7 cursor and logon data area: 64 bytes, 8-aligned.
struct alignas(8) Cda_Def {
    sb2 v2_rc;    // 0: version 2 return code
    ub2 ft;       // 2: SQL function type
    ub4 rpc;      // 4: rows processed
    ub2 peo;      // 8: parse-error offset
    ub1 fc;       // 10: OCI function code
    ub1 rcs1;     // 11
    ub2 rc;       // 12: return code (the ORA number)
    ub1 wrn;      // 14: warning flags
    ub1 rcs2;     // 15
    sword rcs3;   // 16
    ub1 rid[12];  // 20: row id
    sword ose;    // 32: operating-system error
    ub1 chk;      // 36
    ub1 rcs4[11]; // 37
    void* rcsp;   // 48: the library's own pointer
    ub1 rcs9[8];  // 56
};
typedef struct Cda_Def Cda_Def;
typedef struct Cda_Def Lda_Def;

static_assert(sizeof(Cda_Def) == 64 && alignof(Cda_Def) == 8);
static_assert(offsetof(Cda_Def, ft) == 2 && offsetof(Cda_Def, rpc) == 4 && offsetof(Cda_Def, peo) == 8);
static_assert(offsetof(Cda_Def, rc) == 12 && offsetof(Cda_Def, wrn) == 14 && offsetof(Cda_Def, rcsp) == 48);

// The Oracle 7 host data area.
#define HDA_SIZE 256
struct alignas(8) Hda_Def {
    ub1 data[HDA_SIZE];
};
static_assert(sizeof(Hda_Def) == 256);

// Oracle 7 warning flags.
#define OCI7_WARN_ANY 0x01
#define OCI7_WARN_PLSQL_COMPILE 0x20

// Results.
#define OCI_SUCCESS 0
#define OCI_SUCCESS_WITH_INFO 1
#define OCI_NEED_DATA 99
#define OCI_NO_DATA 100
#define OCI_ERROR (-1)
#define OCI_INVALID_HANDLE (-2)
#define OCI_STILL_EXECUTING (-3123)

// Handle types.
#define OCI_HTYPE_ENV 1
#define OCI_HTYPE_ERROR 2
#define OCI_HTYPE_SVCCTX 3
#define OCI_HTYPE_STMT 4
#define OCI_HTYPE_BIND 5
#define OCI_HTYPE_DEFINE 6
#define OCI_HTYPE_DESCRIBE 7
#define OCI_HTYPE_SERVER 8
#define OCI_HTYPE_SESSION 9

// Descriptor types.
#define OCI_DTYPE_LOB 50
#define OCI_DTYPE_PARAM 53
#define OCI_DTYPE_FILE 56

// Attributes.
#define OCI_ATTR_DATA_SIZE 1
#define OCI_ATTR_DATA_TYPE 2
#define OCI_ATTR_NONBLOCKING_MODE 3
#define OCI_ATTR_NAME 4
#define OCI_ATTR_PRECISION 5
#define OCI_ATTR_SCALE 6
#define OCI_ATTR_IS_NULL 7
#define OCI_ATTR_SERVER 6
#define OCI_ATTR_SESSION 7
#define OCI_ATTR_ROW_COUNT 9
#define OCI_ATTR_SQLFNCODE 10
#define OCI_ATTR_PREFETCH_ROWS 11
#define OCI_ATTR_PARAM_COUNT 18
#define OCI_ATTR_USERNAME 22
#define OCI_ATTR_PASSWORD 23
#define OCI_ATTR_CHARSET_FORM 32
#define OCI_ATTR_REF_TDO 110
#define OCI_ATTR_PARAM 124
#define OCI_ATTR_PARSE_ERROR_OFFSET 129

// Modes.
#define OCI_DEFAULT 0
#define OCI_THREADED 1
#define OCI_OBJECT 2
#define OCI_NTV_SYNTAX 1
#define OCI_DESCRIBE_ONLY 16
#define OCI_FETCH_NEXT 2
#define OCI_CRED_RDBMS 1
#define OCI_CRED_EXT 2
#define OCI_SYSDBA 2
#define OCI_SYSOPER 4
#define SQLCS_IMPLICIT 1
#define SQLCS_NCHAR 2
#define OCI_NLS_CHARSET_NAME 55
#define OCI_LOB_READONLY 1
#define OCI_ONE_PIECE 0
#define OCI_FIRST_PIECE 1
#define OCI_NEXT_PIECE 2
#define OCI_LAST_PIECE 3

// External data types.
#define SQLT_CHR 1
#define SQLT_NUM 2
#define SQLT_INT 3
#define SQLT_FLT 4
#define SQLT_STR 5
#define SQLT_LNG 8
#define SQLT_RID 11
#define SQLT_DAT 12
#define SQLT_BIN 23
#define SQLT_LBI 24
#define SQLT_AFC 96
#define SQLT_IBFLOAT 100
#define SQLT_IBDOUBLE 101
#define SQLT_RDD 104
#define SQLT_LAB 106
#define SQLT_NTY 108
#define SQLT_REF 110
#define SQLT_CLOB 112
#define SQLT_BLOB 113
#define SQLT_BFILEE 114
#define SQLT_TIMESTAMP 180
#define SQLT_TIMESTAMP_TZ 181
#define SQLT_INTERVAL_YM 182
#define SQLT_INTERVAL_DS 183
#define SQLT_TIMESTAMP_LTZ 231

// SQL function codes.
#define OCI_FNCODE_INSERT 3
#define OCI_FNCODE_SELECT 4
#define OCI_FNCODE_UPDATE 5
#define OCI_FNCODE_DELETE 9

typedef sb4 (*OCICallbackLobRead)(dvoid* ctxp, const dvoid* bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobWrite)(dvoid* ctxp, dvoid* bufp, ub4* lenp, ub1* piece);

// Function-pointer types of every entry point, named after the call.
typedef sword (*pfn_OCIEnvCreate)(OCIEnv** envhpp, ub4 mode, dvoid* ctxp, dvoid* (*malocfp)(dvoid*, size_t),
                                  dvoid* (*ralocfp)(dvoid*, dvoid*, size_t), void (*mfreefp)(dvoid*, dvoid*),
                                  size_t xtramem_sz, dvoid** usrmempp);
typedef sword (*pfn_OCIInitialize)(ub4 mode, dvoid* ctxp, dvoid* (*malocfp)(dvoid*, size_t),
                                   dvoid* (*ralocfp)(dvoid*, dvoid*, size_t),
                                   void (*mfreefp)(dvoid*, dvoid*));
typedef sword (*pfn_OCIEnvInit)(OCIEnv** envp, ub4 mode, size_t xtramem_sz, dvoid** usrmempp);
typedef sword (*pfn_OCINlsGetInfo)(dvoid* hndl, OCIError* errhp, OraText* buf, size_t buflen, ub2 item);
typedef sword (*pfn_OCIServerRelease)(dvoid* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz, ub1 hndltype,
                                      ub4* version);
typedef sword (*pfn_OCIHandleAlloc)(const dvoid* parenth, dvoid** hndlpp, ub4 type, size_t xtramem_sz,
                                    dvoid** usrmempp);
typedef sword (*pfn_OCIHandleFree)(dvoid* hndlp, ub4 type);
typedef sword (*pfn_OCIServerAttach)(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len,
                                     ub4 mode);
typedef sword (*pfn_OCIServerDetach)(OCIServer* srvhp, OCIError* errhp, ub4 mode);
typedef sword (*pfn_OCISessionBegin)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt,
                                     ub4 mode);
typedef sword (*pfn_OCISessionEnd)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode);
typedef sword (*pfn_OCIAttrSet)(dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4 size, ub4 attrtype,
                                OCIError* errhp);
typedef sword (*pfn_OCIAttrGet)(const dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4* sizep,
                                ub4 attrtype, OCIError* errhp);
typedef sword (*pfn_OCIErrorGet)(dvoid* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp,
                                 ub4 bufsiz, ub4 type);
typedef sword (*pfn_OCIStmtPrepare)(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                                    ub4 language, ub4 mode);
typedef sword (*pfn_OCIStmtExecute)(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                                    const OCISnapshot* snap_in, OCISnapshot* snap_out, ub4 mode);
typedef sword (*pfn_OCIDefineByPos)(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position,
                                    dvoid* valuep, sb4 value_sz, ub2 dty, dvoid* indp, ub2* rlenp,
                                    ub2* rcodep, ub4 mode);
typedef sword (*pfn_OCIDefineArrayOfStruct)(OCIDefine* defnp, OCIError* errhp, ub4 pvskip, ub4 indskip,
                                            ub4 rlskip, ub4 rcskip);
typedef sword (*pfn_OCIParamGet)(const dvoid* hndlp, ub4 htype, OCIError* errhp, dvoid** parmdpp, ub4 pos);
typedef sword (*pfn_OCIStmtFetch)(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode);
typedef sword (*pfn_OCIStmtFetch2)(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation,
                                   sb4 scrollOffset, ub4 mode);
typedef sword (*pfn_OCIBindByName)(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp,
                                   const OraText* placeholder, sb4 placeh_len, dvoid* valuep, sb4 value_sz,
                                   ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                                   ub4* curelep, ub4 mode);
typedef sword (*pfn_OCIBreak)(dvoid* hndlp, OCIError* errhp);
typedef sword (*pfn_OCIReset)(dvoid* hndlp, OCIError* errhp);
typedef sword (*pfn_OCIDescriptorAlloc)(const dvoid* parenth, dvoid** descpp, ub4 type, size_t xtramem_sz,
                                        dvoid** usrmempp);
typedef sword (*pfn_OCIDescriptorFree)(dvoid* descp, ub4 type);
typedef sword (*pfn_OCILobAssign)(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* src_locp,
                                  OCILobLocator** dst_locpp);
typedef sword (*pfn_OCILobIsTemporary)(OCIEnv* envp, OCIError* errhp, OCILobLocator* locp,
                                       boolean* is_temporary);
typedef sword (*pfn_OCILobLocatorAssign)(OCISvcCtx* svchp, OCIError* errhp, const OCILobLocator* src_locp,
                                         OCILobLocator** dst_locpp);
typedef sword (*pfn_OCILobOpen)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub1 mode);
typedef sword (*pfn_OCILobClose)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp);
typedef sword (*pfn_OCILobGetLength)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp);
typedef sword (*pfn_OCILobRead)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                                dvoid* bufp, ub4 bufl, dvoid* ctxp, OCICallbackLobRead cbfp, ub2 csid,
                                ub1 csfrm);
typedef sword (*pfn_OCILobWrite)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                                 ub4 offset, dvoid* bufp, ub4 buflen, ub1 piece, dvoid* ctxp,
                                 OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm);
typedef sword (*pfn_OCILobCharSetForm)(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm);
typedef sword (*pfn_OCILobCharSetId)(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub2* csid);
typedef sword (*pfn_OCILobTrim)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 newlen);
typedef sword (*pfn_OCILobFileGetName)(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* filep,
                                       OraText* dir_alias, ub2* d_length, OraText* filename, ub2* f_length);
typedef sword (*pfn_OCITransCommit)(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
typedef sword (*pfn_OCITransRollback)(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
typedef sword (*pfn_OCISvcCtxToLda)(OCISvcCtx* svchp, OCIError* errhp, Lda_Def* ldap);
typedef sword (*pfn_OCILdaToSvcCtx)(OCISvcCtx** svchpp, OCIError* errhp, Lda_Def* ldap);

// Object calls.
typedef sword (*pfn_OCIDescribeAny)(OCISvcCtx* svchp, OCIError* errhp, dvoid* objptr, ub4 objnm_len,
                                    ub1 objptr_typ, ub1 info_level, ub1 objtyp, OCIDescribe* dschp);
typedef sword (*pfn_OCINumberToReal)(OCIError* err, const OCINumber* number, uword rsl_length, dvoid* rsl);
typedef OraText* (*pfn_OCIStringPtr)(OCIEnv* env, const OCIString* vs);
typedef sword (*pfn_OCIDateToText)(OCIError* err, const OCIDate* date, const OraText* fmt, ub1 fmt_length,
                                   const OraText* lang_name, ub4 lang_length, ub4* buf_size, OraText* buf);
typedef sword (*pfn_OCITypeByRef)(OCIEnv* env, OCIError* err, const OCIRef* type_ref,
                                  OCIDuration pin_duration, OCITypeGetOpt get_option, OCIType** tdo);
typedef sword (*pfn_OCIDefineObject)(OCIDefine* defnp, OCIError* errhp, const OCIType* type, dvoid** pgvpp,
                                     ub4* pvszsp, dvoid** indpp, ub4* indszp);
typedef sword (*pfn_OCIObjectPin)(OCIEnv* env, OCIError* err, OCIRef* object_ref, OCIComplexObject* corhdl,
                                  OCIPinOpt pin_option, OCIDuration pin_duration, OCILockOpt lock_option,
                                  dvoid** object);
typedef sword (*pfn_OCIObjectGetInd)(OCIEnv* env, OCIError* err, dvoid* instance, dvoid** null_struct);
typedef sword (*pfn_OCIObjectGetAttr)(OCIEnv* env, OCIError* err, dvoid* instance, dvoid* null_struct,
                                      OCIType* tdo, const OraText** names, const ub4* lengths,
                                      const ub4 name_count, const ub4* indexes, const ub4 index_count,
                                      OCIInd* attr_null_status, dvoid** attr_null_struct, dvoid** attr_value,
                                      OCIType** attr_tdo);
typedef sword (*pfn_OCIIterCreate)(OCIEnv* env, OCIError* err, const OCIColl* coll, OCIIter** itr);
typedef sword (*pfn_OCIIterNext)(OCIEnv* env, OCIError* err, OCIIter* itr, dvoid** elem, dvoid** elemind,
                                 boolean* eoc);
typedef sword (*pfn_OCIIterDelete)(OCIEnv* env, OCIError* err, OCIIter** itr);
typedef sword (*pfn_OCICollSize)(OCIEnv* env, OCIError* err, const OCIColl* coll, sb4* size);
typedef sword (*pfn_OCITableFirst)(OCIEnv* env, OCIError* err, const OCITable* tbl, sb4* index);
typedef sword (*pfn_OCITableNext)(OCIEnv* env, OCIError* err, sb4 index, const OCITable* tbl, sb4* next_index,
                                  boolean* exists);
typedef sword (*pfn_OCICollGetElem)(OCIEnv* env, OCIError* err, const OCIColl* coll, sb4 index,
                                    boolean* exists, dvoid** elem, dvoid** elemind);
typedef sword (*pfn_OCIRefToHex)(OCIEnv* env, OCIError* err, const OCIRef* ref, OraText* hex,
                                 ub4* hex_length);
typedef ub4 (*pfn_OCIRefHexSize)(OCIEnv* env, const OCIRef* ref);
typedef sword (*pfn_OCIDateTimeToText)(dvoid* hndl, OCIError* err, const OCIDateTime* date,
                                       const OraText* fmt, ub1 fmt_length, ub1 fsprec,
                                       const OraText* lang_name, size_t lang_length, ub4* buf_size,
                                       OraText* buf);

// Oracle 7 calls.
typedef sword (*pfn_obreak)(Lda_Def* lda);
typedef sword (*pfn_oclose)(Cda_Def* cursor);
typedef sword (*pfn_ocom)(Lda_Def* lda);
typedef sword (*pfn_odescr)(Cda_Def* cursor, sword pos, sb4* dbsize, sb2* dbtype, sb1* cbuf, sb4* cbufl,
                            sb4* dsize, sb2* prec, sb2* scale, sb2* nullok);
typedef sword (*pfn_oerhms)(Lda_Def* lda, sb2 rcode, OraText* buf, sword bufsiz);
typedef sword (*pfn_oexec)(Cda_Def* cursor);
typedef sword (*pfn_oexfet)(Cda_Def* cursor, ub4 nrows, sword cancel, sword exact);
typedef sword (*pfn_oexn)(Cda_Def* cursor, sword iters, sword rowoff);
typedef sword (*pfn_ofen)(Cda_Def* cursor, sword nrows);
typedef sword (*pfn_olog)(Lda_Def* lda, ub1* hda, OraText* uid, sword uidl, OraText* pswd, sword pswdl,
                          OraText* conn, sword connl, ub4 mode);
typedef sword (*pfn_ologof)(Lda_Def* lda);
typedef sword (*pfn_oopen)(Cda_Def* cursor, Lda_Def* lda, OraText* dbn, sword dbnl, sword arsize,
                           OraText* uid, sword uidl);
typedef sword (*pfn_oparse)(Cda_Def* cursor, OraText* sqlstm, sb4 sqllen, sword defflg, ub4 lngflg);
typedef sword (*pfn_orol)(Lda_Def* lda);
typedef sword (*pfn_onbset)(Lda_Def* lda);
typedef sword (*pfn_onbclr)(Lda_Def* lda);
typedef sword (*pfn_obndra)(Cda_Def* cursor, OraText* sqlvar, sword sqlvl, ub1* progv, sword progvl,
                            sword ftype, sword scale, sb2* indp, ub2* alen, ub2* arcode, ub4 maxsiz,
                            ub4* cursiz, OraText* fmt, sword fmtl, sword fmtt);
typedef sword (*pfn_odefin)(Cda_Def* cursor, sword pos, ub1* buf, sword bufl, sword ftype, sword scale,
                            sb2* indp, OraText* fmt, sword fmtl, sword fmtt, ub2* rlen, ub2* rcode);

// Our library's control entry point (not an OCI name): tests and tools steer
// the stand-in through text commands; 0 on success, -1 on failure, with a
// NUL-terminated reply that always fits reply_size.
typedef int (*pfn_oci_standin_control)(const char* command, char* reply, unsigned reply_size);

} // extern "C"
