// CException and CFileException. As in MFC, exceptions are thrown as pointers
// allocated with new, caught as CException*, and released with Delete().
#pragma once

#include "mfc/cstring.h"
#include "win32/types.h"

class CException {
public:
    CException() = default;
    CException(const CException&) = delete;
    CException& operator=(const CException&) = delete;
    virtual ~CException() = default;

    // Releases an exception caught as a pointer.
    void Delete() { delete this; }

    // A short description of the error; FALSE when there is none.
    virtual BOOL GetErrorMessage(LPWSTR error, UINT maxError, UINT* helpContext = nullptr) const;
};

class CFileException : public CException {
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    explicit CFileException(int cause = none, LONG osError = -1, LPCWSTR fileName = nullptr);

    BOOL GetErrorMessage(LPWSTR error, UINT maxError, UINT* helpContext = nullptr) const override;

    // The cause for an OS error number (errno).
    static int OsErrorToException(LONG osError);
    // Throws a new CFileException for an OS error number (errno).
    [[noreturn]] static void ThrowOsError(LONG osError, LPCWSTR fileName = nullptr);

    int m_cause;
    LONG m_lOsError; // errno of the failed call, -1 when none
    CString m_strFileName;
};

// A resource (window class, GDI object) could not be had.
class CResourceException : public CException {
public:
    CResourceException() = default;
    BOOL GetErrorMessage(LPWSTR error, UINT maxError, UINT* helpContext = nullptr) const override;
};

[[noreturn]] void AfxThrowResourceException();

[[noreturn]] void AfxThrowFileException(int cause, LONG osError = -1, LPCWSTR fileName = nullptr);
