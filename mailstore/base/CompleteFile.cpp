#include "mailstore/base/CompleteFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "mailstore/MailStoreError.h"
#include "mailstore/base/PlatformFile.h"

namespace bv::mailstore::base {

namespace {

using mailstore::MailStoreError;

[[noreturn]] void Fail(const std::string& what, int error) {
    throw MailStoreError(what + ": " + std::generic_category().message(error));
}

std::filesystem::path TemporaryPathFor(const std::filesystem::path& path) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path tmp = path;
    tmp += ".tmp" + std::to_string(CurrentProcessId()) + "-" + std::to_string(counter.fetch_add(1));
    return tmp;
}

// A file under a temporary name, removed when it did not get its own name.
struct TemporaryName {
    std::filesystem::path path;
    bool kept = false;
    ~TemporaryName() {
        std::error_code ec;
        if (!kept) std::filesystem::remove(path, ec);
    }
};

// The content into `file`, through a buffer of this thread's.
void WriteAndFlush(const FileContentWriter& write, FILE* file) {
    static thread_local std::vector<char> buffer(1 << 16);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
    try {
        write(file);
    } catch (const MailStoreError& e) {
        throw MailStoreError(std::string("cannot write the file: ") + e.what());
    }
    if (std::fflush(file) != 0) Fail("cannot write the file", errno);
}

// Whether a file `path` is there holding exactly `data`.
bool SameContent(const std::filesystem::path& path, std::string_view data) {
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) != data.size() || ec) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string chunk(64 * 1024, '\0');
    size_t pos = 0;
    while (pos < data.size()) {
        in.read(chunk.data(), std::streamsize(std::min(chunk.size(), data.size() - pos)));
        const size_t got = size_t(in.gcount());
        if (got == 0 || data.compare(pos, got, chunk.data(), got) != 0) return false;
        pos += got;
    }
    return true;
}

// Renames the finished temporary file to `path` (replacing a file there); on failure
// it is removed.
void MoveIntoPlace(TemporaryName& tmp, const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::rename(tmp.path, path, ec);
    if (ec) throw MailStoreError("cannot move " + tmp.path.string() + " into place: " + ec.message());
    tmp.kept = true;
}

#if defined(__linux__) && defined(O_TMPFILE)
// An unnamed file in the target's folder, or -1 when the file system cannot make one
// (the caller then goes through a temporary name).
int OpenUnnamed(const std::filesystem::path& path) {
    std::filesystem::path dir = path.parent_path();
    if (dir.empty()) dir = ".";
    return ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

// Gives the unnamed file `fd` the name `to` (-1 and errno as linkat). The descriptor
// itself is linked where the kernel allows it (AT_EMPTY_PATH: Linux 6.10 on, or a
// privileged caller), which walks no path; elsewhere through its /proc entry.
int LinkDescriptor(int fd, const char* to) {
    static std::atomic<bool> emptyPath{true};
    if (emptyPath.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", AT_FDCWD, to, AT_EMPTY_PATH) == 0) return 0;
        if (errno != ENOENT && errno != EPERM && errno != EINVAL) return -1;
        emptyPath.store(false, std::memory_order_relaxed);
    }
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, proc, AT_FDCWD, to, AT_SYMLINK_FOLLOW);
}

enum class Placed {
    Named,    // the file has its name
    Kept,     // a file of the same content had it: left as it is
    NotHere,  // this file system cannot name it: the temporary name will do
};

// Gives the complete unnamed file `fd` its name: none is left behind after a crash,
// and there is no rename. A file already under the name is replaced, unless `sameAs`
// is given and it holds exactly that.
Placed LinkIntoPlace(int fd, const std::filesystem::path& path, const std::string_view* sameAs = nullptr) {
    if (LinkDescriptor(fd, path.c_str()) == 0) return Placed::Named;
    if (errno != EEXIST) return Placed::NotHere;
    if (sameAs && SameContent(path, *sameAs)) return Placed::Kept;
    // Converting into the same folder again: replace the file, as a rename would.
    TemporaryName tmp{TemporaryPathFor(path)};
    if (LinkDescriptor(fd, tmp.path.c_str()) != 0) {
        tmp.kept = true;  // not made
        return Placed::NotHere;
    }
    MoveIntoPlace(tmp, path);
    return Placed::Named;
}

// Closes a descriptor when it goes out of scope: an unnamed file that got no name
// disappears with it.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Writes the file unnamed and names it once complete; false when the file system
// cannot.
bool WriteUnnamedThenLink(const FileContentWriter& write, const std::filesystem::path& path) {
    Descriptor d{OpenUnnamed(path)};
    if (d.fd < 0) return false;
    FILE* file = ::fdopen(d.fd, "wb");
    if (!file) return false;
    d.fd = -1;  // the stream owns it now
    std::unique_ptr<FILE, int (*)(FILE*)> closer(file, std::fclose);
    WriteAndFlush(write, file);
    return LinkIntoPlace(::fileno(file), path) != Placed::NotHere;
}

// The same for content in memory, written straight to the descriptor: no stream, no
// copy through a buffer.
Placed WriteUnnamedThenLink(std::string_view data, const std::filesystem::path& path, bool keepSame) {
    Descriptor d{OpenUnnamed(path)};
    if (d.fd < 0) return Placed::NotHere;
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t w = ::write(d.fd, p, left);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) Fail("cannot write the file", w < 0 ? errno : ENOSPC);
        p += w;
        left -= size_t(w);
    }
    return LinkIntoPlace(d.fd, path, keepSame ? &data : nullptr);
}
#endif

}  // namespace

void WriteCompleteFile(const std::filesystem::path& path, const FileContentWriter& write) {
#if defined(__linux__) && defined(O_TMPFILE)
    if (WriteUnnamedThenLink(write, path)) return;
#endif
    TemporaryName tmp{TemporaryPathFor(path)};
#ifdef _WIN32
    FILE* file = _wfopen(tmp.path.wstring().c_str(), L"wb");
#else
    FILE* file = std::fopen(tmp.path.c_str(), "wb");
#endif
    if (!file) {
        tmp.kept = true;  // not made
        Fail("cannot create the file", errno);
    }
    try {
        WriteAndFlush(write, file);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    if (std::fclose(file) != 0) Fail("cannot write the file", errno);
    MoveIntoPlace(tmp, path);
}

void WriteCompleteFile(const std::filesystem::path& path, std::string_view data) {
#if defined(__linux__) && defined(O_TMPFILE)
    if (WriteUnnamedThenLink(data, path, false) != Placed::NotHere) return;
#endif
    WriteCompleteFile(path, [data](FILE* file) {
        errno = 0;
        if (!data.empty() && std::fwrite(data.data(), 1, data.size(), file) != data.size())
            throw MailStoreError(std::generic_category().message(errno ? errno : ENOSPC));
    });
}

bool WriteCompleteFileUnlessSame(const std::filesystem::path& path, std::string_view data) {
#if defined(__linux__) && defined(O_TMPFILE)
    try {
        switch (WriteUnnamedThenLink(data, path, true)) {
            case Placed::Named: return true;
            case Placed::Kept: return false;
            case Placed::NotHere: break;
        }
    } catch (const MailStoreError&) {
        // A full disk does not fail a file that needed no writing.
        if (SameContent(path, data)) return false;
        throw;
    }
#endif
    if (SameContent(path, data)) return false;
    WriteCompleteFile(path, data);
    return true;
}

}  // namespace bv::mailstore::base
