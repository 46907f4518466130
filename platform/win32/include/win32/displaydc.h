// A DC for the screen, the source from which memory DCs and colour bitmaps
// are made. Only the "DISPLAY" driver exists; it is a 32-bit colour DC, also
// offscreen. Released with DeleteDC.
#pragma once

#include "win32/gdi.h"

HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const void* devmode);
