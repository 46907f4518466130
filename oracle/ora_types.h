// Records of the Oracle access layer: sessions, cursors, column descriptors,
// bind nodes, large-object headers and table definitions.
#pragma once

#include <cstdint>

#include <windows.h>

#include "oracle/oci_entry.h"

// One column of a select list or table, as described.
struct OraColumnDesc {
    char name[256];       // Oracle code page, NUL-terminated, whole characters
    char16_t wname[256];  // the same through g_mb_to_wide
    int16_t define_type;  // 5 text; 108, 110, 112, 113, 114 objects, REFs and LOBs
    int32_t buffer_size;  // bytes per row in the fetch buffer
    int16_t precision;    //
    int16_t scale;        // signed in both call sets (-127: a floating NUMBER)
    int16_t nullable;     //
    int16_t data_type;    // Oracle's type code
    int32_t data_size;    //
    int32_t text_size;    // buffer_size * 2
    uint8_t value_kind;   // 0 plain, 1 large object, 2 object or REF
    int32_t display_size; // text budget of a LOB, object or REF value
    OCIType* type_desc;   // object type of a type-108 column
    uint8_t charset_form; // 1 implicit, 2 national
};
static_assert(sizeof(OraColumnDesc) == 816);

// Header in front of every CLOB, BLOB and BFILE value of a fetch buffer.
struct OraLobValue {
    OCILobLocator* locator;
    uint32_t length;
    uint8_t charset_form;
    uint8_t spare1;
    uint16_t charset_id;
    uint8_t null_flag;
    uint8_t complete_flag;
    int16_t define_type;
    uint8_t spare2[4];
};
static_assert(sizeof(OraLobValue) == 24);

// A bind name and value; name and copied value follow the record in the same
// allocation.
struct OraBindNode {
    OraBindNode* next;
    char* name;  // Oracle code page
    void* value; // the caller's value, or the converted copy behind the name
    int value_size;
};

struct OraSession {
    alignas(8) unsigned char lda[64]; // Oracle 7 logon data area
    unsigned char hda[256];           // Oracle 7 host data area
    char16_t* log_path;               // owned; null or empty: no log
    int connect_mode;                 // 0, 2 SYSDBA, 4 SYSOPER
    char16_t db_charset[20];          //
    BYTE sjis;                        // database character set contains "SJIS"
    OCIServer* srv;                   //
    OCISvcCtx* svc;                   //
    OCIError* err;                    //
    OCISession* ses;                  //
    int oci7;                         // 1 while the Oracle 7 calls are in use
    int last_error;                   //
    char16_t missing_object[100];     // object named by the last error 942
    double server_version;            // -1.0 until read
    double client_version;            // -1.0 until read
};

struct OraCursor {
    alignas(8) unsigned char cda[64]; // Oracle 7 cursor data area (fields used in both modes)
    char* sql;                        // owned, Oracle code page
    const char16_t* wsql;             // the caller's text
    int col_count;
    int rows_per_fetch;
    int rows_in_buffer;
    int cur_row;
    BYTE end_of_fetch;
    char** data;      // per column: start of the value area
    int16_t** ind;    // per column: indicators, one per row
    uint16_t** len;   // per column: returned lengths
    uint16_t** rcode; // per column: column return codes
    OraColumnDesc* desc;
    void* fetch_block;
    OraBindNode* binds;
    int fetch_warning;
    char16_t* fetch_warning_text; // 2048 units
    OCIStmt* stmt;
    int lob_col_count;
    int obj_col_count;
};

struct OraTableColumn {
    OraColumnDesc desc;
    char type_text[100];
    char16_t wtype_text[100];
    char size_text[20];
    char16_t wsize_text[20];
};

struct OraTableDef {
    char16_t table_name[100];
    int col_count;
    OraTableColumn* columns; // owned
};

// Fields of the Oracle 7 data areas (LDA and CDA share the layout).
inline uint16_t ora_da_u16(const unsigned char* da, int off) {
    uint16_t v;
    __builtin_memcpy(&v, da + off, 2);
    return v;
}
inline uint32_t ora_da_u32(const unsigned char* da, int off) {
    uint32_t v;
    __builtin_memcpy(&v, da + off, 4);
    return v;
}
inline void ora_da_set_u16(unsigned char* da, int off, uint16_t v) {
    __builtin_memcpy(da + off, &v, 2);
}
inline void ora_da_set_u32(unsigned char* da, int off, uint32_t v) {
    __builtin_memcpy(da + off, &v, 4);
}
enum : int { ORA_DA_FUNC = 2, ORA_DA_ROWS = 4, ORA_DA_PEO = 8, ORA_DA_RC = 12, ORA_DA_WARN = 14 };

inline uint16_t ora_cda_rc(const OraCursor* c) {
    return ora_da_u16(c->cda, ORA_DA_RC);
}
inline uint32_t ora_cda_rows(const OraCursor* c) {
    return ora_da_u32(c->cda, ORA_DA_ROWS);
}
inline uint16_t ora_lda_rc(const OraSession* s) {
    return ora_da_u16(s->lda, ORA_DA_RC);
}
// The Oracle 7 data areas as the client's calls take them.
inline Cda_Def* ora_cda(OraCursor* c) {
    return reinterpret_cast<Cda_Def*>(c->cda);
}
inline Lda_Def* ora_lda(OraSession* s) {
    return s ? reinterpret_cast<Lda_Def*>(s->lda) : nullptr;
}
