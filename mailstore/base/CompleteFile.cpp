#include "mailstore/base/CompleteFile.h"

#include <atomic>
#include <cerrno>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "mailstore/base/PlatformFile.h"

namespace bv::base {

namespace {

std::filesystem::path TemporaryPathFor(const std::filesystem::path& path) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path tmp = path;
    tmp += ".tmp" + std::to_string(CurrentProcessId()) + "-" + std::to_string(counter.fetch_add(1));
    return tmp;
}

// The content into `file`, through a buffer of this thread's; what failed, or "".
std::string WriteAndFlush(const FileContentWriter& write, FILE* file) {
    static thread_local std::vector<char> buffer(1 << 16);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
    std::string failure = write(file);
    if (std::fflush(file) != 0 && failure.empty()) failure = std::generic_category().message(errno);
    return failure.empty() ? failure : "cannot write the file: " + failure;
}

// Renames the finished temporary file to `path` (replacing a file there); on failure
// removes it and says why.
std::string MoveIntoPlace(const std::filesystem::path& tmp, const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (!ec) return std::string();
    std::string failure = "cannot move " + tmp.string() + " into place: " + ec.message();
    std::filesystem::remove(tmp, ec);
    return failure;
}

#if defined(__linux__) && defined(O_TMPFILE)
// An unnamed file in the target's folder, or -1 when the file system cannot make one
// (the caller then goes through a temporary name).
int OpenUnnamed(const std::filesystem::path& path) {
    std::filesystem::path dir = path.parent_path();
    if (dir.empty()) dir = ".";
    return ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

// Gives the complete unnamed file `fd` its name: none is left behind after a crash,
// and there is no rename. False when that cannot be done here (no /proc, say: the
// temporary name will do); `failure` says what went wrong otherwise.
bool LinkIntoPlace(int fd, const std::filesystem::path& path, std::string& failure) {
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, proc, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != EEXIST) return false;
    // Converting into the same folder again: replace the file, as a rename would.
    const std::filesystem::path tmp = TemporaryPathFor(path);
    if (::linkat(AT_FDCWD, proc, AT_FDCWD, tmp.c_str(), AT_SYMLINK_FOLLOW) != 0) return false;
    failure = MoveIntoPlace(tmp, path);
    return true;
}

// Writes the file unnamed and names it once complete; false when the file system
// cannot, `failure` set otherwise. The file, unnamed or not, is closed here: one that
// got no name disappears.
bool WriteUnnamedThenLink(const FileContentWriter& write, const std::filesystem::path& path, std::string& failure) {
    int fd = OpenUnnamed(path);
    if (fd < 0) return false;
    FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        ::close(fd);
        return false;
    }
    failure = WriteAndFlush(write, file);
    bool done = failure.empty() ? LinkIntoPlace(fd, path, failure) : true;
    std::fclose(file);
    return done;
}

// The same for content in memory, written straight to the descriptor: no stream, no
// copy through a buffer.
bool WriteUnnamedThenLink(std::string_view data, const std::filesystem::path& path, std::string& failure) {
    int fd = OpenUnnamed(path);
    if (fd < 0) return false;
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t w = ::write(fd, p, left);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            failure = "cannot write the file: " + std::generic_category().message(w < 0 ? errno : ENOSPC);
            break;
        }
        p += w;
        left -= size_t(w);
    }
    bool done = failure.empty() ? LinkIntoPlace(fd, path, failure) : true;
    ::close(fd);
    return done;
}
#endif

}  // namespace

std::string WriteCompleteFile(const std::filesystem::path& path, const FileContentWriter& write) {
#if defined(__linux__) && defined(O_TMPFILE)
    {
        std::string failure;
        if (WriteUnnamedThenLink(write, path, failure)) return failure;
    }
#endif
    const std::filesystem::path tmp = TemporaryPathFor(path);
#ifdef _WIN32
    FILE* file = _wfopen(tmp.wstring().c_str(), L"wb");
#else
    FILE* file = std::fopen(tmp.c_str(), "wb");
#endif
    if (!file) return "cannot create the file: " + std::generic_category().message(errno);
    std::string failure = WriteAndFlush(write, file);
    if (std::fclose(file) != 0 && failure.empty())
        failure = "cannot write the file: " + std::generic_category().message(errno);
    if (failure.empty()) return MoveIntoPlace(tmp, path);
    std::error_code ec;
    std::filesystem::remove(tmp, ec);
    return failure;
}

std::string WriteCompleteFile(const std::filesystem::path& path, std::string_view data) {
#if defined(__linux__) && defined(O_TMPFILE)
    {
        std::string failure;
        if (WriteUnnamedThenLink(data, path, failure)) return failure;
    }
#endif
    return WriteCompleteFile(path, [data](FILE* file) -> std::string {
        errno = 0;
        if (!data.empty() && std::fwrite(data.data(), 1, data.size(), file) != data.size())
            return std::generic_category().message(errno ? errno : ENOSPC);
        return std::string();
    });
}

}  // namespace bv::base
