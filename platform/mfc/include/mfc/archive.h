// CArchive: a buffered reader or writer over a CFile. A loading archive reads
// ahead into its buffer; a storing archive collects writes and passes them to
// the file when the buffer is full, on Flush and on Close. Errors of the file
// (a full disk) come out of Write, Flush and Close as CFileException*.
#pragma once

#include "mfc/file.h"
#include "win32/types.h"

class CArchive {
public:
    enum Mode : UINT { store = 0, load = 1, bNoFlushOnDelete = 2, bNoByteSwap = 4 };

    CArchive(CFile* file, UINT mode, int bufSize = 4096, void* buf = nullptr);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    // A storing archive that was not closed is flushed (unless
    // bNoFlushOnDelete); an error there is dropped, so callers Close() first.
    ~CArchive();

    // Bytes read; fewer than count only at the end of the file.
    UINT Read(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);
    // Storing: writes out the buffer. Loading: drops the read-ahead and sets
    // the file to the archive's position, so the file can be repositioned.
    void Flush();
    // Flushes and detaches from the file (which stays open).
    void Close();
    // Detaches without writing the buffer and without throwing.
    void Abort();

    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    CFile* GetFile() const { return m_pFile; }

private:
    CFile* m_pFile;
    UINT m_nMode;
    BYTE* m_buf;
    UINT m_bufSize;
    bool m_ownBuf;
    UINT m_cur = 0; // loading: next byte to hand out; storing: bytes collected
    UINT m_max = 0; // loading: bytes in the buffer
};
