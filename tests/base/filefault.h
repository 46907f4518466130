// Disks that fill up, for the tests of the code that writes files.
//
// FileSizeLimit: while it lives, no file of this process grows beyond the
// given size: the write that would go past it fails (EFBIG), as a full
// disk's write fails (ENOSPC). No privilege needed.
//
// SmallDisk: a real file system of the given size (tmpfs) mounted at a new
// folder, when the process may mount one (root in a sandbox that allows
// it); mounted() says whether it is there.
//
// Names: the names in a folder, to prove that nothing was left behind.
#pragma once

#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>

namespace filefault {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        old_ = std::signal(SIGXFSZ, SIG_IGN); // the error, not the signal's end of the process
        rlimit lower = saved_;
        lower.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*old_)(int) = SIG_DFL;
    bool active_ = false;
};

class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& dir, const char* size) : dir_(dir) {
        std::filesystem::create_directories(dir_);
        mounted_ = mount("tmpfs", dir_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                         (std::string("size=") + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }
    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path dir_;
    bool mounted_ = false;
};

inline std::set<std::string> Names(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

} // namespace filefault
