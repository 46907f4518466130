// CMemoryException and CInvalidArgException, thrown as new-allocated pointers
// by AfxThrowMemoryException and AfxThrowInvalidArgException.
#pragma once

#include "mfc/exception.h"

class CMemoryException : public CException {
public:
    BOOL GetErrorMessage(LPWSTR error, UINT maxError, UINT* helpContext = nullptr) const override;
};

class CInvalidArgException : public CException {
public:
    BOOL GetErrorMessage(LPWSTR error, UINT maxError, UINT* helpContext = nullptr) const override;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowInvalidArgException();
