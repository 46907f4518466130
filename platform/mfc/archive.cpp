#include "mfc/archive.h"

#include <cstring>

CArchive::CArchive(CFile* file, UINT mode, int bufSize, void* buf)
    : m_pFile(file), m_nMode(mode), m_bufSize(bufSize > 0 ? static_cast<UINT>(bufSize) : 4096) {
    m_ownBuf = buf == nullptr;
    m_buf = m_ownBuf ? new BYTE[m_bufSize] : static_cast<BYTE*>(buf);
}

CArchive::~CArchive() {
    if (m_pFile && IsStoring() && !(m_nMode & bNoFlushOnDelete)) {
        try {
            Close();
        } catch (CException* e) {
            e->Delete();
        }
    }
    if (m_ownBuf) delete[] m_buf;
}

UINT CArchive::Read(void* buffer, UINT count) {
    BYTE* out = static_cast<BYTE*>(buffer);
    UINT done = 0;
    while (done < count) {
        if (m_cur < m_max) {
            UINT n = m_max - m_cur;
            if (n > count - done) n = count - done;
            std::memcpy(out + done, m_buf + m_cur, n);
            m_cur += n;
            done += n;
            continue;
        }
        if (!m_pFile) break;
        UINT want = count - done;
        if (want >= m_bufSize) { // large requests bypass the buffer
            UINT n = m_pFile->Read(out + done, want);
            done += n;
            break;
        }
        m_cur = 0;
        m_max = m_pFile->Read(m_buf, m_bufSize);
        if (m_max == 0) break;
    }
    return done;
}

void CArchive::Write(const void* buffer, UINT count) {
    const BYTE* in = static_cast<const BYTE*>(buffer);
    while (count > 0) {
        if (m_cur == 0 && count >= m_bufSize) { // large writes bypass the buffer
            m_pFile->Write(in, count);
            return;
        }
        UINT n = m_bufSize - m_cur;
        if (n > count) n = count;
        std::memcpy(m_buf + m_cur, in, n);
        m_cur += n;
        in += n;
        count -= n;
        if (m_cur == m_bufSize) {
            m_cur = 0; // the buffer is spent even when the write throws
            m_pFile->Write(m_buf, m_bufSize);
        }
    }
}

void CArchive::Flush() {
    if (!m_pFile) return;
    if (IsLoading()) {
        if (m_cur < m_max) m_pFile->Seek(-static_cast<LONGLONG>(m_max - m_cur), CFile::current);
        m_cur = m_max = 0;
    } else {
        UINT n = m_cur;
        m_cur = 0;
        if (n) m_pFile->Write(m_buf, n);
        m_pFile->Flush();
    }
}

void CArchive::Close() {
    if (!m_pFile) return;
    if (IsStoring()) Flush();
    m_pFile = nullptr;
}

void CArchive::Abort() {
    m_pFile = nullptr;
    m_cur = m_max = 0;
}
