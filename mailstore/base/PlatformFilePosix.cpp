// PlatformFile on POSIX systems.
#ifndef _WIN32
#include "mailstore/base/PlatformFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace bv::base {
namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

}  // namespace

PlatformFile& PlatformFile::operator=(PlatformFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = kNone;
    }
    return *this;
}

bool PlatformFile::Open(const std::filesystem::path& path, Mode mode, std::string& error) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::ReadOnly: flags |= O_RDONLY; break;
        case Mode::ReadWrite: flags |= O_RDWR; break;
        case Mode::CreateReadWrite: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    handle_ = ::open(path.c_str(), flags, 0644);
    if (handle_ < 0) {
        handle_ = kNone;
        error = ErrnoText(errno);
        return false;
    }
    return true;
}

bool PlatformFile::OpenTemporary(const std::filesystem::path& dir, std::string& error) {
    Close();
#ifdef O_TMPFILE
    handle_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (handle_ >= 0) return true;
#endif
    // File systems without unnamed files: a named one, removed at once.
    std::string name = (dir / ".brimvault-spill-XXXXXX").string();
    handle_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (handle_ < 0) {
        handle_ = kNone;
        error = ErrnoText(errno);
        return false;
    }
    ::unlink(name.c_str());
    return true;
}

void PlatformFile::Close() {
    if (handle_ != kNone) ::close(handle_);
    handle_ = kNone;
}

int64_t PlatformFile::ReadAt(uint64_t offset, void* data, size_t size, std::string& error) const {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(handle_, static_cast<char*>(data) + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = ErrnoText(errno);
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return int64_t(done);
}

bool PlatformFile::WriteAt(uint64_t offset, const void* data, size_t size, std::string& error) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pwrite(handle_, static_cast<const char*>(data) + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = ErrnoText(n == 0 ? ENOSPC : errno);
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool PlatformFile::Truncate(uint64_t size, std::string& error) {
    if (::ftruncate(handle_, off_t(size)) == 0) return true;
    error = ErrnoText(errno);
    return false;
}

int64_t PlatformFile::Size(std::string& error) const {
    struct stat st;
    if (::fstat(handle_, &st) == 0) return int64_t(st.st_size);
    error = ErrnoText(errno);
    return -1;
}

bool PlatformFile::SyncData(std::string& error) {
    if (::fdatasync(handle_) == 0) return true;
    error = ErrnoText(errno);
    return false;
}

PlatformFile::Lock PlatformFile::LockExclusive(std::string& error) {
    if (::flock(handle_, LOCK_EX | LOCK_NB) == 0) return Lock::Taken;
    if (errno == EWOULDBLOCK) return Lock::HeldElsewhere;
    error = ErrnoText(errno);
    return Lock::Failed;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

bool ProcessMayBeRunning(unsigned long pid) {
    if (pid == 0 || pid > 0x7FFFFFFFul) return true;
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

void UseUtf8CommandLine(int&, char**&) {}

}  // namespace bv::base
#endif
