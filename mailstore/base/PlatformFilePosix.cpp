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

#include "mailstore/MailStoreError.h"

namespace bv::mailstore {

std::string SystemErrorText(std::error_code code) { return code.message(); }

}  // namespace bv::mailstore

namespace bv::mailstore::base {
namespace {

std::error_code Errno(int err) { return std::error_code(err, std::generic_category()); }

}  // namespace

void PlatformFile::Fail(IoError::Operation operation, std::error_code code) const {
    throw IoError(operation, name_, code);
}

PlatformFile& PlatformFile::operator=(PlatformFile&& other) noexcept {
    if (this != &other) {
        Close();
        name_ = std::move(other.name_);
        handle_ = other.handle_;
        other.handle_ = kNone;
    }
    return *this;
}

void PlatformFile::Open(const std::filesystem::path& path, Mode mode) {
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
        throw IoError(mode == Mode::CreateReadWrite ? IoError::Operation::Create : IoError::Operation::Open,
                      path.string(), Errno(errno));
    }
}

void PlatformFile::OpenTemporary(const std::filesystem::path& dir) {
    Close();
#ifdef O_TMPFILE
    handle_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (handle_ >= 0) return;
#endif
    // File systems without unnamed files: a named one, removed at once.
    std::string name = (dir / ".brimvault-spill-XXXXXX").string();
    handle_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (handle_ < 0) {
        handle_ = kNone;
        Fail(IoError::Operation::Create, Errno(errno));
    }
    ::unlink(name.c_str());
}

void PlatformFile::Close() {
    if (handle_ != kNone) ::close(handle_);
    handle_ = kNone;
}

size_t PlatformFile::ReadAt(uint64_t offset, void* data, size_t size) const {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(handle_, static_cast<char*>(data) + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail(IoError::Operation::Read, Errno(errno));
        if (n == 0) break;
        done += size_t(n);
    }
    return done;
}

void PlatformFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pwrite(handle_, static_cast<const char*>(data) + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(IoError::Operation::Write, Errno(n == 0 ? ENOSPC : errno));
        done += size_t(n);
    }
}

void PlatformFile::Truncate(uint64_t size) {
    if (::ftruncate(handle_, off_t(size)) != 0) Fail(IoError::Operation::Resize, Errno(errno));
}

uint64_t PlatformFile::Size() const {
    struct stat st;
    if (::fstat(handle_, &st) != 0) Fail(IoError::Operation::ReadSize, Errno(errno));
    return uint64_t(st.st_size);
}

void PlatformFile::SyncData() {
    if (::fdatasync(handle_) != 0) Fail(IoError::Operation::Write, Errno(errno));
}

void PlatformFile::StartWriteBack(uint64_t offset, uint64_t size) {
#ifdef __linux__
    // Advice only: a failure shows at the SyncData that follows.
    (void)::sync_file_range(handle_, off_t(offset), off_t(size), SYNC_FILE_RANGE_WRITE);
#else
    (void)offset;
    (void)size;
#endif
}

bool PlatformFile::LockExclusive() {
    if (::flock(handle_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EWOULDBLOCK) return false;
    Fail(IoError::Operation::Lock, Errno(errno));
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

bool ProcessMayBeRunning(unsigned long pid) {
    if (pid == 0 || pid > 0x7FFFFFFFul) return true;
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

void UseUtf8CommandLine(int&, char**&) {}

}  // namespace bv::mailstore::base
#endif
