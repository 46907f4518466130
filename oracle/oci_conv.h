// Conversion between UTF-16 and the Oracle code page (g_oci_code_page: 65001
// for UTF-8, else 0 = CP932), and measuring of multibyte characters so that
// Oracle text is never cut inside a character.
#pragma once

// Converts the NUL-terminated text. Returns the units written with the
// terminator (or needed, when buf is null), 0 on failure. A buffer too small
// receives the longest prefix of whole characters that fits, terminated, and
// the result is 0.
int oci_mb_to_wide(const char* mb, char16_t* buf, int size);
// As oci_mb_to_wide, then U+301C becomes U+FF5E in the text written.
int oci_mb_to_wide_tilde(const char* mb, char16_t* buf, int size);
// Converts the NUL-terminated text. Returns the bytes written with the
// terminator (or needed, when buf is null). 0 when a character has no form in
// the code page (measuring too) or only a best-fit one (U+00A2 -> 81 91,
// which reads back as U+FFE0; U+00A5 -> 5C and U+301C -> 81 60 are kept),
// with an empty buffer; a buffer too small
// receives the longest prefix of whole characters that fits, terminated, and
// the result is 0.
int oci_wide_to_mb(const char16_t* w, char* buf, int size);

// True when every character of the NUL-terminated text has a code of its own
// in the system code page (by the rule of oci_wide_to_mb).
bool oci_wide_fits_acp(const char16_t* w);

int oci_sjis_char_len(const char* p);
int oci_utf8_char_len(const char* p);
// The length of the character at p by the rule of g_oci_code_page.
int oci_mb_char_len(const char* p);

// Copies src into dst by whole characters within *budget bytes (room for the
// terminator included) and lowers the budget by the bytes copied. Returns the
// position of the terminator written, or null when the text was cut or there
// was no room at all.
char* oci_copy_mb_str(char* dst, const char* src, int* budget);
