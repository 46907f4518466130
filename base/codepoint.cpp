#include "base/codepoint.h"

#include "base/utf16.h"

const char16_t* wcs_find_code_point(const char16_t* text, uint32_t cp) {
    if (!text || cp == 0) return nullptr;
    for (const char16_t* p = text; *p;) {
        int units = 1;
        uint32_t c = utf16_decode(p, &units);
        if (c == cp) return p;
        p += units;
    }
    return nullptr;
}
