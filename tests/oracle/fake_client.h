// A scripted stand-in for the client library's entry points: every call is
// recorded, results are set per test. Installed straight into g_oci.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "oracle/oci_api.h"

struct FakeClient {
    std::vector<std::string> calls;
    std::map<ub4, int> allocs, frees; // by handle or descriptor type
    sword session_begin = OCI_SUCCESS;
    ub4 session_credentials = 0;
    sword svc_to_lda = OCI_SUCCESS;
    sb4 error_code = 0;
    std::string error_text;
    std::map<ub4, std::string> attr_set; // session attributes by number
    // Oracle 7 describe: columns as (name, type, size); past the end 1007.
    struct Column {
        std::string name;
        sb2 type;
        sb4 size;
        sb2 precision = 0, scale = 0;
    };
    std::vector<Column> columns;
    // Environment.
    sword nls_result = OCI_SUCCESS;
    // Oracle 8 describe: the same columns; precision and scale as the client
    // gives them (the scale as one byte).
    ub2 parse_offset = 0;
    sword execute = OCI_SUCCESS;
    std::string prepared;      // last statement text
    int alloc_fail_after = -1; // descriptor allocations that succeed before a failure

    static FakeClient* current;
    void Install();
    int Count(const std::string& name) const;
};
