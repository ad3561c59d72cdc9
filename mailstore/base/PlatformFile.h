// A file through the operating system's own calls, for the .pst writer: open or
// create, positioned reads and writes, truncation, temporary files that vanish when
// closed, and the process id for names of temporary files. PlatformFilePosix.cpp is the
// POSIX side, PlatformFileWindows.cpp the Windows side (wide-character names, so
// every Unicode file and folder name works; binary, not inherited by child processes).
// Failures throw IoError with the system's error code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

#include "mailstore/MailStoreError.h"

namespace bv::mailstore::base {

using mailstore::IoError;

class PlatformFile {
public:
    enum class Mode {
        ReadOnly,
        ReadWrite,        // an existing file
        CreateReadWrite,  // created, or emptied when it exists
    };

    // `name` says which file in the messages of its failures ("the store").
    explicit PlatformFile(std::string name = "the file") : name_(std::move(name)) {}
    ~PlatformFile() { Close(); }
    PlatformFile(PlatformFile&& other) noexcept : name_(std::move(other.name_)), handle_(other.handle_) {
        other.handle_ = kNone;
    }
    PlatformFile& operator=(PlatformFile&& other) noexcept;
    PlatformFile(const PlatformFile&) = delete;
    PlatformFile& operator=(const PlatformFile&) = delete;

    // Opens the file at `path`; throws IoError (Open or Create, naming the path) when
    // it cannot.
    void Open(const std::filesystem::path& path, Mode mode);
    // A new file in `dir` for reading and writing that is removed when it is closed,
    // and when the process dies: unnamed where the file system allows (Linux), else
    // removed at once (POSIX) or opened delete-on-close (Windows).
    void OpenTemporary(const std::filesystem::path& dir);
    bool IsOpen() const { return handle_ != kNone; }
    void Close();

    // Reads up to `size` bytes at `offset`, stopping early only at the end of the file;
    // returns the number read.
    size_t ReadAt(uint64_t offset, void* data, size_t size) const;
    // Writes all `size` bytes at `offset` (a full disk fails it).
    void WriteAt(uint64_t offset, const void* data, size_t size);
    // Sets the file's size to `size` (cutting or extending with zeros).
    void Truncate(uint64_t size);
    // The file's size.
    uint64_t Size() const;
    // Forces what was written to the disk (data and the size), so a power loss keeps it.
    void SyncData();
    // Starts putting the bytes written to [offset, offset + size) on the disk without
    // waiting for it, so that a later SyncData has less left to wait for (where the
    // system offers it; otherwise nothing).
    void StartWriteBack(uint64_t offset, uint64_t size);
    // Each of these throws IoError on failure, naming the file by `name`.

    // Takes the file for this writer alone, without waiting. Readers are not kept out,
    // only other writers that take the lock too. Held until the file is closed. False
    // when another holds it; throws IoError when that cannot be told.
    bool LockExclusive();

private:
#ifdef _WIN32
    using Handle = void*;
    static inline const Handle kNone = reinterpret_cast<Handle>(intptr_t(-1));
#else
    using Handle = int;
    static constexpr Handle kNone = -1;
#endif
    [[noreturn]] void Fail(IoError::Operation operation, std::error_code code) const;

    std::string name_;
    Handle handle_ = kNone;
};

// The running process's id.
unsigned long CurrentProcessId();
// False only when no process with id `pid` runs any more (true when unsure).
bool ProcessMayBeRunning(unsigned long pid);

// On Windows: replaces `argc` and `argv` by the command line's arguments in UTF-8 (the
// C runtime's are in the ANSI code page, which cannot hold every file name), and has
// the console show the UTF-8 the program prints. Elsewhere nothing changes.
void UseUtf8CommandLine(int& argc, char**& argv);

}  // namespace bv::mailstore::base
