#include "mfc/file.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "win32/wstring.h"

namespace {

// UTF-8 path for the OS; '\' separates like '/'.
std::string native_path(LPCWSTR name) {
    std::string path = WideToUtf8(name);
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

} // namespace

CFile::CFile(LPCWSTR fileName, UINT openFlags) {
    CFileException error;
    if (!Open(fileName, openFlags, &error))
        throw new CFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
}

CFile::~CFile() {
    Abort();
}

BOOL CFile::Open(LPCWSTR fileName, UINT openFlags, CFileException* error) {
    Abort();
    int flags = O_CLOEXEC;
    switch (openFlags & 3) {
    case modeWrite: flags |= O_WRONLY; break;
    case modeReadWrite: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
    }
    if (openFlags & modeCreate) {
        flags |= O_CREAT;
        if (!(openFlags & modeNoTruncate)) flags |= O_TRUNC;
    }
    // Share modes (shareExclusive, shareDenyWrite, ...) are not enforced:
    // Linux has no mandatory sharing, and advisory locks would not stop
    // other programs either.
    std::string path = native_path(fileName ? fileName : u"");
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            fd = -1;
            errno = EISDIR;
        }
    }
    if (fd < 0) {
        int err = errno;
        if (error) {
            error->m_cause = CFileException::OsErrorToException(err);
            error->m_lOsError = err;
            error->m_strFileName = fileName ? fileName : u"";
        }
        return FALSE;
    }
    m_fd = fd;
    m_strFileName = fileName;
    return TRUE;
}

void CFile::ThrowErrno(int err) const {
    CFileException::ThrowOsError(err, m_strFileName);
}

UINT CFile::Read(void* buffer, UINT count) {
    if (m_fd < 0) ThrowErrno(EBADF);
    char* p = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < count) {
        ssize_t n = ::read(m_fd, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(errno);
        }
        if (n == 0) break;
        done += static_cast<UINT>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count) {
    if (m_fd < 0) ThrowErrno(EBADF);
    const char* p = static_cast<const char*>(buffer);
    UINT done = 0;
    while (done < count) {
        ssize_t n = ::write(m_fd, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(errno);
        }
        if (n == 0) ThrowErrno(ENOSPC); // nothing more goes in: the disk is full
        done += static_cast<UINT>(n);
    }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
    if (m_fd < 0) ThrowErrno(EBADF);
    int whence = from == current ? SEEK_CUR : from == end ? SEEK_END : SEEK_SET;
    off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (pos < 0) ThrowErrno(errno);
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetPosition() const {
    if (m_fd < 0) ThrowErrno(EBADF);
    off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0) ThrowErrno(errno);
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetLength() const {
    if (m_fd < 0) ThrowErrno(EBADF);
    struct stat st;
    if (fstat(m_fd, &st) != 0) ThrowErrno(errno);
    return static_cast<ULONGLONG>(st.st_size);
}

void CFile::SetLength(ULONGLONG length) {
    if (m_fd < 0) ThrowErrno(EBADF);
    if (ftruncate(m_fd, static_cast<off_t>(length)) != 0) ThrowErrno(errno);
}

void CFile::Flush() {
    if (m_fd < 0) return;
    while (::fsync(m_fd) != 0) {
        if (errno == EINTR) continue;
        if (errno == EINVAL || errno == EROFS) return; // a pipe or device: nothing to sync
        ThrowErrno(errno);
    }
}

void CFile::Close() {
    if (m_fd < 0) return;
    int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR) ThrowErrno(errno);
}

void CFile::Abort() {
    if (m_fd < 0) return;
    ::close(m_fd);
    m_fd = -1;
}

CString CFile::GetFileName() const {
    int i = m_strFileName.GetLength();
    while (i > 0 && m_strFileName[i - 1] != u'\\' && m_strFileName[i - 1] != u'/') i--;
    return m_strFileName.Mid(i);
}
