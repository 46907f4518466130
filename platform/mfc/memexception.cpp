#include "mfc/memexception.h"

#include "win32/wstring.h"

namespace {

BOOL copy_message(LPWSTR error, UINT maxError, UINT* helpContext, const char16_t* text) {
    if (helpContext) *helpContext = 0;
    if (!error || maxError == 0) return FALSE;
    wcsncpy_s(error, maxError, text, maxError - 1);
    return TRUE;
}

} // namespace

BOOL CMemoryException::GetErrorMessage(LPWSTR error, UINT maxError, UINT* helpContext) const {
    return copy_message(error, maxError, helpContext, u"メモリが不足しています。");
}

BOOL CInvalidArgException::GetErrorMessage(LPWSTR error, UINT maxError, UINT* helpContext) const {
    return copy_message(error, maxError, helpContext, u"パラメーターが正しくありません。");
}

void AfxThrowMemoryException() {
    throw new CMemoryException;
}

void AfxThrowInvalidArgException() {
    throw new CInvalidArgException;
}
