#include "win32/displaydc.h"

HDC CreateDCW(LPCWSTR driver, LPCWSTR, LPCWSTR, const void*) {
    static const char16_t kDisplay[] = u"DISPLAY";
    if (!driver) return nullptr;
    for (int i = 0;; ++i) {
        char16_t a = driver[i], b = kDisplay[i];
        if (a >= u'a' && a <= u'z') a = static_cast<char16_t>(a - 32);
        if (a != b) return nullptr;
        if (!a) break;
    }
    // Memory DCs of this layer are 32-bit colour, and bitmaps made compatible
    // with one are colour bitmaps, as with the screen.
    return CreateCompatibleDC(nullptr);
}
