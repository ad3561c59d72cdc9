#include "mailstore/base/CompleteFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "mailstore/base/WindowsApi.h"
#include <winternl.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "mailstore/MailStoreError.h"
#include "mailstore/base/CompleteFileFolders.h"
#include "mailstore/base/PlatformFile.h"

namespace bv::mailstore::base {

namespace {

using mailstore::IoError;
using mailstore::MailStoreError;

// A system call on the file failed with errno `error`.
[[noreturn]] void Fail(IoError::Operation operation, int error) {
    throw IoError(operation, "the file", std::error_code(error, std::generic_category()));
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

// The content into `file`, through a buffer of this thread's. (A plain array: MinGW frees
// a thread's thread_local objects before it runs their destructors, so none may have one.)
void WriteAndFlush(const FileContentWriter& write, FILE* file) {
    alignas(64) static thread_local char buffer[1 << 16];
    std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
    try {
        write(file);
    } catch (const IoError& e) {
        if (e.file() != "the file") throw MailStoreError(std::string("cannot write the file: ") + e.what(), e.code());
        throw;  // says it already
    } catch (const MailStoreError& e) {
        throw MailStoreError(std::string("cannot write the file: ") + e.what(), e.SystemError());
    }
    if (std::fflush(file) != 0) Fail(IoError::Operation::Write, errno);
}

// The next bytes of a content being compared, read in order: fills `buffer` with up
// to `n` bytes, returns how many (0: none left, or it cannot be read).
using ContentReader = std::function<size_t(char* buffer, size_t n)>;

// Whether a file `path` is there holding exactly the `size` bytes `next` gives.
bool SameContent(const std::filesystem::path& path, uint64_t size, const ContentReader& next) {
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) != size || ec) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    constexpr size_t kChunk = 64 * 1024;
    std::string there(kChunk, '\0'), ours(kChunk, '\0');
    uint64_t pos = 0;
    while (pos < size) {
        const size_t want = size_t(std::min<uint64_t>(kChunk, size - pos));
        in.read(there.data(), std::streamsize(want));
        if (size_t(in.gcount()) != want) return false;
        size_t got = 0;
        while (got < want) {
            const size_t n = next(ours.data() + got, want - got);
            if (n == 0) return false;
            got += n;
        }
        if (std::memcmp(there.data(), ours.data(), want) != 0) return false;
        pos += want;
    }
    return true;
}

// Whether a file `path` is there holding exactly `data`.
bool SameContent(const std::filesystem::path& path, std::string_view data) {
    size_t pos = 0;
    return SameContent(path, data.size(), [&](char* buffer, size_t n) {
        n = std::min(n, data.size() - pos);
        std::memcpy(buffer, data.data() + pos, n);
        pos += n;
        return n;
    });
}

// Whether a file `path` is there holding exactly what the file `other` holds.
bool SameContent(const std::filesystem::path& path, const std::filesystem::path& other) {
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(other, ec);
    if (ec) return false;
    std::ifstream in(other, std::ios::binary);
    if (!in) return false;
    return SameContent(path, size, [&](char* buffer, size_t n) {
        in.read(buffer, std::streamsize(n));
        return size_t(in.gcount());
    });
}

// Renames the finished temporary file to `path` (replacing a file there); on failure
// it is removed.
void MoveIntoPlace(TemporaryName& tmp, const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::rename(tmp.path, path, ec);
    if (ec) throw MailStoreError("cannot move " + tmp.path.string() + " into place: " + ec.message(), ec);
    tmp.kept = true;
}

#if defined(__linux__) && defined(O_TMPFILE)
// An unnamed file in the target's folder, or -1 when the file system cannot make one
// (the caller then goes through a temporary name).
int OpenUnnamed(const std::filesystem::path& path) {
    std::filesystem::path dir = path.parent_path();
    if (dir.empty()) dir = ".";
    // (Readable too: a file of that name is compared with it.)
    return ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
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
// and there is no rename. A file already under the name is replaced, unless `same`
// is given and says it holds this content already.
Placed LinkIntoPlace(int fd, const std::filesystem::path& path, const std::function<bool()>& same = {}) {
    if (LinkDescriptor(fd, path.c_str()) == 0) return Placed::Named;
    if (errno != EEXIST) return Placed::NotHere;
    if (same && same()) return Placed::Kept;
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

// Writes the file unnamed and names it once complete (NotHere when the file system
// cannot). With `keepSame`, a file of the same content under the name is kept.
Placed WriteUnnamedThenLink(const FileContentWriter& write, const std::filesystem::path& path, bool keepSame) {
    Descriptor d{OpenUnnamed(path)};
    if (d.fd < 0) return Placed::NotHere;
    FILE* file = ::fdopen(d.fd, "wb");
    if (!file) return Placed::NotHere;
    d.fd = -1;  // the stream owns it now
    std::unique_ptr<FILE, int (*)(FILE*)> closer(file, std::fclose);
    WriteAndFlush(write, file);
    const int fd = ::fileno(file);
    auto same = [&] {
        struct stat st {};
        if (::fstat(fd, &st) != 0) return false;
        uint64_t at = 0;
        return SameContent(path, uint64_t(st.st_size), [&](char* buffer, size_t n) {
            ssize_t r;
            do r = ::pread(fd, buffer, n, off_t(at));
            while (r < 0 && errno == EINTR);
            if (r <= 0) return size_t(0);
            at += uint64_t(r);
            return size_t(r);
        });
    };
    return keepSame ? LinkIntoPlace(fd, path, same) : LinkIntoPlace(fd, path);
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
        if (w <= 0) Fail(IoError::Operation::Write, w < 0 ? errno : ENOSPC);
        p += w;
        left -= size_t(w);
    }
    if (!keepSame) return LinkIntoPlace(d.fd, path);
    return LinkIntoPlace(d.fd, path, [&] { return SameContent(path, data); });
}
#endif

#ifdef _WIN32
// A system call on the file failed with the system's error `code`, kept as it is, as
// the platform's file calls keep theirs.
[[noreturn]] void FailSystem(IoError::Operation operation, DWORD code) {
    throw IoError(operation, "the file", std::error_code(int(code), std::system_category()));
}

enum class Placed {
    Named,  // the file has its name
    Kept,   // a file of the same content had it: left as it is
};

constexpr auto kRenameInformation = FILE_INFORMATION_CLASS(10);  // FileRenameInformation
constexpr NTSTATUS kNameCollision = NTSTATUS(0xC0000035L);      // STATUS_OBJECT_NAME_COLLISION

// A new file for this writer alone, made in its folder's work folder (or under a
// temporary name beside its own), given its name through its handle once it is complete.
// A file's cost on Windows is in the look-ups of its names and the system calls around
// them (under Wine each is a request to its server, and each look-up of a name not yet
// there reads the whole folder): one look-up in the big folder, no status calls, no
// reopening, nothing read back on a first run.
class NamedWhenWhole {
public:
    explicit NamedWhenWhole(const std::filesystem::path& path) : path_(path) {
        // (A file of this name in the work folder is one an ended run left: it is replaced.)
        if (std::optional<std::filesystem::path> work = WorkFolderPathFor(path)) handle_ = Create(*work, CREATE_ALWAYS);
        if (handle_ == INVALID_HANDLE_VALUE) handle_ = Create(TemporaryPathFor(path), CREATE_NEW);
        if (handle_ == INVALID_HANDLE_VALUE) FailSystem(IoError::Operation::Create, GetLastError());
    }
    NamedWhenWhole(const NamedWhenWhole&) = delete;
    NamedWhenWhole& operator=(const NamedWhenWhole&) = delete;
    // Unless it got its name, the temporary file goes.
    ~NamedWhenWhole() {
        if (!named_) {
            FILE_DISPOSITION_INFO remove{};
            remove.DeleteFile = TRUE;
            SetFileInformationByHandle(handle_, FileDispositionInfo, &remove, sizeof remove);
        }
        if (stream_) std::fclose(stream_);  // (closes the handle)
        else CloseHandle(handle_);
    }

    void Write(std::string_view data) {
        while (!data.empty()) {
            DWORD put = 0;
            const DWORD want = DWORD(std::min<size_t>(data.size(), 1u << 30));
            if (!WriteFile(handle_, data.data(), want, &put, nullptr)) FailSystem(IoError::Operation::Write, GetLastError());
            if (put == 0) FailSystem(IoError::Operation::Write, ERROR_DISK_FULL);
            data.remove_prefix(put);
        }
    }
    // Through a stream of the C runtime on the file, flushed at the writer's end.
    void Write(const FileContentWriter& write) {
        const int fd = _open_osfhandle(intptr_t(handle_), _O_BINARY);
        if (fd < 0) Fail(IoError::Operation::Write, errno);
        stream_ = _fdopen(fd, "wb");
        if (!stream_) {
            const int error = errno;
            _close(fd);  // (closes the handle)
            handle_ = INVALID_HANDLE_VALUE;
            named_ = true;  // (nothing left to remove through it)
            Fail(IoError::Operation::Write, error);
        }
        WriteAndFlush(write, stream_);
    }

    // Gives the complete file its name; false when a file stands there already and
    // `replace` is not asked for.
    bool Name(bool replace) {
        UNICODE_STRING nt{};
        if (!RtlDosPathNameToNtPathName_U(std::filesystem::absolute(path_).wstring().c_str(), &nt, nullptr, nullptr))
            Fail(IoError::Operation::MoveInto, EINVAL);
        std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + nt.Length);
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = replace;
        info->RootDirectory = nullptr;
        info->FileNameLength = nt.Length;
        std::memcpy(info->FileName, nt.Buffer, nt.Length);
        RtlFreeUnicodeString(&nt);
        IO_STATUS_BLOCK io{};
        const NTSTATUS status = NtSetInformationFile(handle_, &io, info, ULONG(buffer.size()), kRenameInformation);
        if (status == kNameCollision && !replace) return false;
        if (status < 0)
            FailSystem(IoError::Operation::MoveInto, RtlNtStatusToDosError(status));
        named_ = true;
        return true;
    }

    // Whether the file under the name holds what this one does.
    bool SameAsNamed() {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_, &size)) return false;
        uint64_t at = 0;
        return SameContent(path_, uint64_t(size.QuadPart), [&](char* buffer, size_t n) {
            OVERLAPPED o{};
            o.Offset = DWORD(at);
            o.OffsetHigh = DWORD(at >> 32);
            DWORD got = 0;
            if (!ReadFile(handle_, buffer, DWORD(n), &got, &o)) return size_t(0);
            at += got;
            return size_t(got);
        });
    }

private:
    static HANDLE Create(const std::filesystem::path& path, DWORD disposition) {
        return CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    std::filesystem::path path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    FILE* stream_ = nullptr;
    bool named_ = false;
};

// Writes `content` (bytes, or a writer) under a temporary name and gives it the name;
// a file already there is replaced, or with `keepSame` kept when it holds the same.
template <class Content>
Placed WriteNamedWhenWhole(const std::filesystem::path& path, const Content& content, bool keepSame) {
    NamedWhenWhole file(path);
    file.Write(content);
    if (file.Name(false)) return Placed::Named;
    if (keepSame && file.SameAsNamed()) return Placed::Kept;
    file.Name(true);
    return Placed::Named;
}
#endif

}  // namespace

namespace {

// Content in memory written through the stream.
FileContentWriter WriterOf(std::string_view data) {
    return [data](FILE* file) {
        errno = 0;
        if (!data.empty() && std::fwrite(data.data(), 1, data.size(), file) != data.size())
            Fail(IoError::Operation::Write, errno ? errno : ENOSPC);
    };
}

// Writes the content under a temporary name beside `path`, then gives it the name,
// replacing a file there; with `keepSame` a file there of the same content is kept
// instead (the temporary file goes). Whether the file was named.
bool WriteThroughTemporary(const std::filesystem::path& path, const FileContentWriter& write, bool keepSame) {
    TemporaryName tmp{TemporaryPathFor(path)};
#ifdef _WIN32
    FILE* file = _wfopen(tmp.path.wstring().c_str(), L"wb");
#else
    FILE* file = std::fopen(tmp.path.c_str(), "wb");
#endif
    if (!file) {
        tmp.kept = true;  // not made
        Fail(IoError::Operation::Create, errno);
    }
    try {
        WriteAndFlush(write, file);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    if (std::fclose(file) != 0) Fail(IoError::Operation::Write, errno);
    if (keepSame && SameContent(path, tmp.path)) return false;
    MoveIntoPlace(tmp, path);
    return true;
}

}  // namespace

void WriteCompleteFile(const std::filesystem::path& path, const FileContentWriter& write) {
#if defined(__linux__) && defined(O_TMPFILE)
    if (WriteUnnamedThenLink(write, path, false) != Placed::NotHere) return;
#elif defined(_WIN32)
    WriteNamedWhenWhole(path, write, false);
    return;
#endif
    WriteThroughTemporary(path, write, false);
}

bool WriteCompleteFileUnlessSame(const std::filesystem::path& path, const FileContentWriter& write) {
#if defined(__linux__) && defined(O_TMPFILE)
    switch (WriteUnnamedThenLink(write, path, true)) {
        case Placed::Named: return true;
        case Placed::Kept: return false;
        case Placed::NotHere: break;
    }
#elif defined(_WIN32)
    return WriteNamedWhenWhole(path, write, true) == Placed::Named;
#endif
    return WriteThroughTemporary(path, write, true);
}

void WriteCompleteFile(const std::filesystem::path& path, std::string_view data) {
#if defined(__linux__) && defined(O_TMPFILE)
    if (WriteUnnamedThenLink(data, path, false) != Placed::NotHere) return;
#elif defined(_WIN32)
    WriteNamedWhenWhole(path, data, false);
    return;
#endif
    WriteThroughTemporary(path, WriterOf(data), false);
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
#elif defined(_WIN32)
    try {
        return WriteNamedWhenWhole(path, data, true) == Placed::Named;
    } catch (const MailStoreError&) {
        // A full disk does not fail a file that needed no writing.
        if (SameContent(path, data)) return false;
        throw;
    }
#endif
    if (SameContent(path, data)) return false;
    WriteThroughTemporary(path, WriterOf(data), false);
    return true;
}

}  // namespace bv::mailstore::base
