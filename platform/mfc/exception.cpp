#include "mfc/exception.h"

#include <cerrno>
#include <cstring>

#include "win32/wstring.h"

BOOL CException::GetErrorMessage(LPWSTR error, UINT maxError, UINT* helpContext) const {
    if (helpContext) *helpContext = 0;
    if (error && maxError > 0) error[0] = 0;
    return FALSE;
}

CFileException::CFileException(int cause, LONG osError, LPCWSTR fileName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(fileName ? fileName : u"") {}

BOOL CFileException::GetErrorMessage(LPWSTR error, UINT maxError, UINT* helpContext) const {
    if (helpContext) *helpContext = 0;
    if (!error || maxError == 0) return FALSE;
    CString text;
    if (m_lOsError > 0) {
        text = Utf8ToWide(std::strerror(m_lOsError)).c_str();
    } else {
        text = u"file error";
    }
    if (!m_strFileName.IsEmpty()) text = m_strFileName + u": " + text;
    wcsncpy_s(error, maxError, text, maxError - 1);
    return TRUE;
}

int CFileException::OsErrorToException(LONG osError) {
    switch (osError) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return accessDenied;
    case EBADF: return invalidFile;
    case ESPIPE:
    case EINVAL:
    case EOVERFLOW: return badSeek;
    case EIO: return hardIO;
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return diskFull;
    default: return genericException;
    }
}

void CFileException::ThrowOsError(LONG osError, LPCWSTR fileName) {
    throw new CFileException(OsErrorToException(osError), osError, fileName);
}

void AfxThrowFileException(int cause, LONG osError, LPCWSTR fileName) {
    throw new CFileException(cause, osError, fileName);
}

BOOL CResourceException::GetErrorMessage(LPWSTR error, UINT maxError, UINT* helpContext) const {
    if (helpContext) *helpContext = 0;
    if (!error || maxError == 0) return FALSE;
    wcsncpy_s(error, maxError, u"resource not available", maxError - 1);
    return TRUE;
}

void AfxThrowResourceException() {
    throw new CResourceException();
}
