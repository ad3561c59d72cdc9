// Helpers of the fault-injection tests: mailboxes of known messages, the output
// folder of a mailbox, a read(2) that fails or dribbles on purpose, and a small
// tmpfs to fill up.
#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef Yield  // winbase.h's empty macro would hide RunObserver::Yield
#endif

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ReferenceSplit.h"
#include "TestHost.h"
#include "conversion/InputFile.h"

namespace bv::faults {

namespace fs = std::filesystem;

// A TestHost that calls back at fixed points of the run (the window hears of them
// through a throttled queue, these are not): when a mailbox's name is shown, and after
// each message ("Saved n Email Messages...").
class HookHost : public testing::TestHost {
public:
    std::function<void(HookHost&)> onMailbox, onSaved;
    void MailboxStarted(int index, int count, const std::string& fileName) override {
        TestHost::MailboxStarted(index, count, fileName);
        if (onMailbox) onMailbox(*this);
    }
    void MessageWritten(int32_t number) override {
        TestHost::MessageWritten(number);
        if (onSaved) onSaved(*this);
    }
};

// A mailbox of `count` messages of about `bodySize` bytes, with LF or CR LF lines.
inline std::string MakeMailbox(int count, size_t bodySize, bool crlf, int firstNumber = 1) {
    const std::string eol = crlf ? "\r\n" : "\n";
    std::string box;
    for (int i = firstNumber; i < firstNumber + count; ++i) {
        box += "From sender" + std::to_string(i) + "@example.org Mon Dec  7 08:00:00 2026" + eol;
        box += "Subject: message " + std::to_string(i) + eol + eol;
        std::string line = "line of message " + std::to_string(i) + " ";
        for (size_t n = 0; n < bodySize; n += line.size() + eol.size()) box += line + eol;
    }
    return box;
}

inline fs::path OutputFolder(const fs::path& dest, const fs::path& input) { return dest / input.relative_path(); }

// The files of a folder by name; empty when the folder does not exist.
inline std::map<std::string, std::string> FilesIn(const fs::path& folder) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return out;
    for (auto& e : fs::directory_iterator(folder)) out[e.path().filename().string()] = testing::ReadFile(e.path());
    return out;
}

// The .eml files expected for the first `k` messages of `reference`.
inline std::map<std::string, std::string> EmlFiles(const std::vector<std::string>& reference, size_t k) {
    std::map<std::string, std::string> out;
    for (size_t i = 0; i < k && i < reference.size(); ++i)
        out["email-" + std::to_string(i + 1) + ".eml"] = reference[i];
    return out;
}

// The identity of an open file: device and inode, or on Windows the volume and the
// file index (the C runtime's inode is always 0 there).
struct FileIdentity {
    uint64_t dev = 0, ino = 0;
    bool operator==(const FileIdentity&) const = default;
};
inline FileIdentity IdentityOf(int fd) {
    FileIdentity id;
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &info)) {
        id.dev = info.dwVolumeSerialNumber;
        id.ino = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
#else
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        id.dev = uint64_t(st.st_dev);
        id.ino = uint64_t(st.st_ino);
    }
#endif
    return id;
}
inline FileIdentity IdentityOf(const fs::path& path) {
#ifdef _WIN32
    int fd = _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
#else
    int fd = ::open(path.c_str(), O_RDONLY);
#endif
    if (fd < 0) return {};
    FileIdentity id = IdentityOf(fd);
    ::close(fd);
    return id;
}

// read(2) with faults for one file (by its identity): reads stop at `failAt`
// with `err`; `chunk` > 0 hands out at most that many bytes per call; `eintrEvery`
// > 0 interrupts every n-th call.
struct ReadFault {
    FileIdentity id;
    int64_t failAt = -1;
    int err = EIO;
    size_t chunk = 0;
    unsigned eintrEvery = 0;
    unsigned calls = 0;
    unsigned failedCalls = 0;
};
inline ReadFault g_readFault;

inline long FaultyRead(int fd, void* buffer, size_t size) {
    ReadFault& f = g_readFault;
    if (f.id.ino != 0 && IdentityOf(fd) == f.id) {
        ++f.calls;
        if (f.eintrEvery && f.calls % f.eintrEvery == 0) {
            errno = EINTR;
            return -1;
        }
#ifdef _WIN32
        int64_t pos = _lseeki64(fd, 0, SEEK_CUR);
#else
        int64_t pos = ::lseek(fd, 0, SEEK_CUR);
#endif
        if (f.failAt >= 0 && pos >= f.failAt) {
            ++f.failedCalls;
            errno = f.err;
            return -1;
        }
        if (f.failAt >= 0 && pos + int64_t(size) > f.failAt) size = size_t(f.failAt - pos);
        if (f.chunk && size > f.chunk) size = f.chunk;
    }
    return long(::read(fd, buffer, static_cast<unsigned>(size)));
}

// Installs FaultyRead for `path` while it lives.
class ReadFaultScope {
public:
    explicit ReadFaultScope(const fs::path& path) {
        g_readFault = ReadFault{};
        g_readFault.id = IdentityOf(path);
        conversion::SetReadFunctionForTesting(FaultyRead);
    }
    ~ReadFaultScope() { conversion::SetReadFunctionForTesting(nullptr); }
    ReadFault& fault() { return g_readFault; }
};

// A tmpfs of `kib` KiB mounted on a fresh folder, unmounted with the object.
// mounted() is false where the machine does not allow it (tests then skip): always on
// Windows, where a test cannot make a small volume of its own.
class SmallDisk {
public:
    explicit SmallDisk(size_t kib) {
#ifdef _WIN32
        (void)kib;
#else
        std::string cmd = "mount -t tmpfs -o size=" + std::to_string(kib) + "k,mode=0755 tmpfs '" + dir_.str() +
                          "' 2>/dev/null";
        mounted_ = ::geteuid() == 0 && std::system(cmd.c_str()) == 0;
#endif
    }
    ~SmallDisk() {
        if (mounted_) std::system(("umount '" + dir_.str() + "'").c_str());
    }
    bool mounted() const { return mounted_; }
    const fs::path& path() const { return dir_.path(); }

private:
    testing::TempDir dir_;
    bool mounted_ = false;
};

}  // namespace bv::faults
