// Searching a UTF-16 string by code point.
#pragma once

#include <cstdint>

// The first occurrence of the code point in the NUL-terminated text (a code
// point above U+FFFF as its surrogate pair), or null; null text gives null.
const char16_t* wcs_find_code_point(const char16_t* text, uint32_t cp);
