// A client library that only exports names: each variant hides one entry
// point with a version script. Enough to test how the layer loads and sorts
// the entry points into call groups; nothing here is ever called.
#include "oracle/oci_entry.h"

#define STUB_ENTRY(name)                                                                                     \
    extern "C" int name() {                                                                                  \
        return -1;                                                                                           \
    }
OCI_ENTRIES_ALL(STUB_ENTRY)
