#include "conversion/MessageFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace bv::conversion {

namespace {

#ifdef _WIN32
int CreateForWriting(const std::string& path) {
    std::filesystem::path p = std::filesystem::u8path(path);
    return _wopen(p.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0666);
}
long WriteSome(int fd, const char* p, size_t n) { return _write(fd, p, unsigned(n > (1u << 30) ? (1u << 30) : n)); }
int CloseFile(int fd) { return _close(fd); }
#else
int CreateForWriting(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666); }
long WriteSome(int fd, const char* p, size_t n) { return long(::write(fd, p, n)); }
int CloseFile(int fd) { return ::close(fd); }
#endif

}  // namespace

bool DeleteFileQuietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(std::filesystem::u8path(path), ec);
    return !std::filesystem::exists(std::filesystem::u8path(path), ec);
}

bool WriteMessageFile(const std::string& path, std::string_view data, std::string* error) {
    int fd = CreateForWriting(path);
    if (fd < 0) {
        if (error) *error = std::string("cannot create the file: ") + std::strerror(errno);
        return false;
    }
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        long w = WriteSome(fd, p, left);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            int err = w < 0 ? errno : ENOSPC;
            CloseFile(fd);
            DeleteFileQuietly(path);
            if (error) *error = std::string("cannot write the file: ") + std::strerror(err);
            return false;
        }
        p += w;
        left -= size_t(w);
    }
    if (CloseFile(fd) != 0) {
        int err = errno;
        DeleteFileQuietly(path);
        if (error) *error = std::string("cannot write the file: ") + std::strerror(err);
        return false;
    }
    return true;
}

}  // namespace bv::conversion
