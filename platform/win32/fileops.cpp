#include <windows.h>

#include "win32/fileops.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string NativePath(LPCWSTR path) {
    std::string s = WideToUtf8(path ? path : u"");
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

DWORD ErrorOf(int err) {
    switch (err) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case EBUSY: return ERROR_ACCESS_DENIED;
    case EEXIST:
    case ENOTEMPTY: return ERROR_ALREADY_EXISTS;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_GEN_FAILURE;
    }
}

BOOL Fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

std::string DirOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Puts the directory entries of path's folder on the disk: a rename is there
// only once its folder is. Done as well as the file system can; the rename
// has happened either way.
void SyncDirOf(const std::string& path) {
    int fd = ::open(DirOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    while (::fsync(fd) != 0 && errno == EINTR) {
    }
    ::close(fd);
}

// The file a name stands for: a symbolic link's target, else the name.
std::string Resolved(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string out(real);
    std::free(real);
    return out;
}

} // namespace

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR newName, DWORD flags) {
    if (!existing || !newName || !*existing || !*newName) return Fail(ERROR_INVALID_PARAMETER);
    const std::string from = NativePath(existing), to = NativePath(newName);
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0) return Fail(ErrorOf(errno));
    struct stat target;
    bool exists = ::lstat(to.c_str(), &target) == 0;
    if (exists && (!(flags & MOVEFILE_REPLACE_EXISTING) || S_ISDIR(target.st_mode)))
        return Fail(S_ISDIR(target.st_mode) && (flags & MOVEFILE_REPLACE_EXISTING) ? ERROR_ACCESS_DENIED
                                                                                   : ERROR_ALREADY_EXISTS);
    int r;
    if (flags & MOVEFILE_REPLACE_EXISTING) {
        r = ::rename(from.c_str(), to.c_str());
    } else {
        // Never over a name that appeared since the look above.
        r = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
        if (r != 0 && errno == EINVAL) r = ::rename(from.c_str(), to.c_str()); // no such flag here
    }
    if (r != 0) return Fail(ErrorOf(errno));
    if (flags & MOVEFILE_WRITE_THROUGH) SyncDirOf(to);
    return TRUE;
}

BOOL ReplaceFileW(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD, LPVOID, LPVOID) {
    if (!replaced || !replacement || !*replaced || !*replacement || (backup && *backup))
        return Fail(ERROR_INVALID_PARAMETER);
    const std::string target = Resolved(NativePath(replaced));
    const std::string from = NativePath(replacement);
    struct stat old;
    if (::stat(target.c_str(), &old) != 0) return Fail(ErrorOf(errno));
    if (S_ISDIR(old.st_mode) || ::access(target.c_str(), W_OK) != 0) return Fail(ERROR_ACCESS_DENIED);
    struct stat now;
    if (::stat(from.c_str(), &now) != 0 || !S_ISREG(now.st_mode))
        return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    // The old file's owner first (a change of owner clears set-id bits),
    // then its permissions; an owner the caller may not give is left.
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
        if (::chown(from.c_str(), old.st_uid, old.st_gid) != 0)
            (void)!::chown(from.c_str(), static_cast<uid_t>(-1), old.st_gid);
    }
    if (::chmod(from.c_str(), old.st_mode & 07777) != 0) return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    if (::rename(from.c_str(), target.c_str()) != 0) {
        int err = errno;
        SetLastError(err == EXDEV ? ERROR_NOT_SAME_DEVICE : ERROR_UNABLE_TO_MOVE_REPLACEMENT);
        return FALSE;
    }
    SyncDirOf(target);
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
    if (!path || !*path) return Fail(ERROR_INVALID_PARAMETER);
    const std::string p = NativePath(path);
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0) return Fail(ErrorOf(errno));
    if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    if (::unlink(p.c_str()) != 0) return Fail(ErrorOf(errno));
    return TRUE;
}
