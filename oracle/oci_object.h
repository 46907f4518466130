// Object, collection and REF values as one line of text in the Oracle code
// page: an object as its type name with its attribute values in parentheses,
// a collection likewise with its elements, a REF as its hexadecimal form.
// Every function writes through an output cursor (*out, *budget) by whole
// characters; a cut text leaves *out null and the remaining pieces are
// skipped with the result unchanged.
#pragma once

#include "oracle/oci_api.h"

// The text of an object or collection value: 0, 13 (client failure) or 14
// (unsupported type; what was written so far stays).
int oci8_set_dataset_object_main(OraSession* s, OCIType* tdo, void* instance, void* null_struct, char** out,
                                 int* budget, CString* msg);
// The hexadecimal text of a REF: 0, 13, or 21 when it is longer than 299.
int oci8_read_ref_main(OraSession* s, const OCIRef* ref, char** out, int* budget, CString* msg);
// One attribute or element. value points at the value as the object calls
// hand it out (OCIString**, OCINumber*, OCIDate*, OCIRef**, OCIDateTime**,
// an embedded instance, or the collection itself); null_struct is the
// value's null structure when it is an object.
int oci8_value_text(OraSession* s, int type_code, char** out, int* budget, OCIType* tdo, void* value,
                    OCIInd null_ind, void* null_struct, CString* msg);
// One scalar: 0, 13 or 14.
int oci8_attr_value_text(OraSession* s, int type_code, void* value, char** out, int* budget, CString* msg);
