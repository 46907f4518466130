#include "oracle/ora_globals.h"

#include <cstring>

#include "oracle/oci_conv.h"
#include "oracle/oci_entry.h"

OraSession* g_session = nullptr;
int g_use_oci7_api = 0;
int g_oci_long_read_size = ORA_LONG_READ_SIZE_DEFAULT;
int g_oci_clob_read_size = ORA_CLOB_READ_SIZE_DEFAULT;
OciMbToWideFunc g_mb_to_wide = oci_mb_to_wide;
int g_oci_code_page = 0;
char g_oci_date_format[101] = ORA_DATE_FORMAT_DEFAULT;
int g_oci_reprepare = 0;

HMODULE g_oci_module = nullptr;
int g_oci8_available = 0;
int g_oci_object_api = 0;
void* g_oci_env = nullptr;
int g_oci_env_ready = 0;

OciEntryPoints g_oci;

void oci_reset_globals_for_test() {
    g_session = nullptr;
    g_use_oci7_api = 0;
    g_oci_long_read_size = ORA_LONG_READ_SIZE_DEFAULT;
    g_oci_clob_read_size = ORA_CLOB_READ_SIZE_DEFAULT;
    g_mb_to_wide = oci_mb_to_wide;
    g_oci_code_page = 0;
    std::strcpy(g_oci_date_format, ORA_DATE_FORMAT_DEFAULT);
    g_oci_reprepare = 0;
    g_oci_module = nullptr;
    g_oci8_available = 0;
    g_oci_object_api = 0;
    g_oci_env = nullptr;
    g_oci_env_ready = 0;
    g_oci = OciEntryPoints{};
}
