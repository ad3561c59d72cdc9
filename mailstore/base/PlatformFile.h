// A file through the operating system's own calls, for the .pst writer: open or
// create, positioned reads and writes, truncation, temporary files that vanish when
// closed, and the process id for names of temporary files. PlatformFilePosix.cpp is the
// POSIX side, PlatformFileWindows.cpp the Windows side (wide-character names, so
// every Unicode file and folder name works; binary, not inherited by child processes).
// Errors come back as the system's text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace bv::base {

class PlatformFile {
public:
    enum class Mode {
        ReadOnly,
        ReadWrite,        // an existing file
        CreateReadWrite,  // created, or emptied when it exists
    };

    PlatformFile() = default;
    ~PlatformFile() { Close(); }
    PlatformFile(PlatformFile&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
    PlatformFile& operator=(PlatformFile&& other) noexcept;
    PlatformFile(const PlatformFile&) = delete;
    PlatformFile& operator=(const PlatformFile&) = delete;

    // False, with the reason in `error`, when the file cannot be opened.
    bool Open(const std::filesystem::path& path, Mode mode, std::string& error);
    // A new file in `dir` for reading and writing that is removed when it is closed,
    // and when the process dies: unnamed where the file system allows (Linux), else
    // removed at once (POSIX) or opened delete-on-close (Windows).
    bool OpenTemporary(const std::filesystem::path& dir, std::string& error);
    bool IsOpen() const { return handle_ != kNone; }
    void Close();

    // Reads up to `size` bytes at `offset`, stopping early only at the end of the file:
    // the number read, or -1 with the reason in `error`.
    int64_t ReadAt(uint64_t offset, void* data, size_t size, std::string& error) const;
    // Writes all `size` bytes at `offset`; false with the reason (a full disk too).
    bool WriteAt(uint64_t offset, const void* data, size_t size, std::string& error);
    // Sets the file's size to `size` (cutting or extending with zeros).
    bool Truncate(uint64_t size, std::string& error);
    // The file's size, or -1 with the reason.
    int64_t Size(std::string& error) const;
    // Forces what was written to the disk (data and the size), so a power loss keeps it.
    bool SyncData(std::string& error);

    // Takes the file for this writer alone, without waiting. Readers are not kept out,
    // only other writers that take the lock too. Held until the file is closed.
    enum class Lock { Taken, HeldElsewhere, Failed };
    Lock LockExclusive(std::string& error);

private:
#ifdef _WIN32
    using Handle = void*;
    static inline const Handle kNone = reinterpret_cast<Handle>(intptr_t(-1));
#else
    using Handle = int;
    static constexpr Handle kNone = -1;
#endif
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

}  // namespace bv::base
