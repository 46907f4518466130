// CFile: an unbuffered binary file over a POSIX descriptor. Names are UTF-16
// and may use '\' or '/' as separators. Failures of Read, Write, Seek,
// GetLength and Close throw a CFileException* (see exception.h).
#pragma once

#include "mfc/cstring.h"
#include "mfc/exception.h"
#include "win32/types.h"

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile() = default;
    // Opens the file; throws a CFileException on failure.
    CFile(LPCWSTR fileName, UINT openFlags);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    // Closes an open file; errors are not reported from here.
    virtual ~CFile();

    // Opens the file. On failure returns FALSE and, when given, fills *error.
    // The share modes are accepted but not enforced: Linux has no mandatory
    // file sharing.
    virtual BOOL Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr);

    // Bytes read; fewer than count only at the end of the file.
    virtual UINT Read(void* buffer, UINT count);
    // Writes all of buffer; a short write (a full disk) throws.
    virtual void Write(const void* buffer, UINT count);
    // The new position from the start.
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    virtual void SetLength(ULONGLONG length);
    // Write hands data straight to the OS; Flush returns when the OS has put
    // the file's data on the disk (a device that cannot sync has nothing to do).
    virtual void Flush();
    virtual void Close();
    // Closes without reporting errors; safe to call on a closed file.
    virtual void Abort();

    CString GetFilePath() const { return m_strFileName; }
    CString GetFileName() const;
    BOOL IsOpen() const { return m_fd >= 0; }

protected:
    [[noreturn]] void ThrowErrno(int err) const;

    int m_fd = -1;
    CString m_strFileName;
};
