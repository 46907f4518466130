// Code-page converters with the documented Win32 contract. CP_ACP is 932
// (Microsoft's Shift_JIS); also 20932/51932 (EUC-JP), 50220-50222 (ISO-2022-JP)
// and 65001 (UTF-8).
#pragma once

#include "win32/types.h"

#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define WC_ERR_INVALID_CHARS 0x00000080

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar);
UINT GetACP();
BOOL IsDBCSLeadByte(BYTE b);
BOOL IsDBCSLeadByteEx(UINT codePage, BYTE b);
