// Large-object values: display texts after a fetch, downloads and uploads.
#pragma once

#include <cstdint>

#include "oracle/oci_api.h"

int oci_get_lob_text(OraSession* s, OraCursor* c, int rows, CString* msg);
int oci_hlob_download(OraLobValue* lob, const char16_t* path, CString* msg);
int oci_hlob_upload(OraSession* s, OraLobValue* lob, const char16_t* path, CString* msg);
// "%dbyte", "%dkbyte", "%dMbyte" or "%dGbyte" for a length of n bytes.
void oci_lob_size_label(uint64_t n, char* out, int size);
