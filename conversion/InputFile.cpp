#include "conversion/InputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#define BV_READ _read
#define BV_CLOSE _close
#else
#include <sys/stat.h>
#include <unistd.h>
#define BV_READ ::read
#define BV_CLOSE ::close
#endif

namespace bv::conversion {

namespace {

int OpenReadOnly(const std::string& path) {
#ifdef _WIN32
    std::filesystem::path p = std::filesystem::u8path(path);
    return _wopen(p.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
#else
    // Not blocking: opening a pipe would otherwise wait for a writer.
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
#endif
}

std::string ErrnoText(int err) { return std::strerror(err); }

ReadFunction g_readForTesting = nullptr;

}  // namespace

void SetReadFunctionForTesting(ReadFunction read) { g_readForTesting = read; }

InputFile::~InputFile() { Close(); }

std::optional<Failure> InputFile::Open(const std::string& path) {
    Close();
    auto failure = [&path](std::string why) { return Failure{path, std::move(why)}; };
    if (path.empty()) return failure("no file name");
    fd_ = OpenReadOnly(path);
    if (fd_ < 0) {
        int err = errno;
#ifdef _WIN32
        // Windows refuses to open a folder as a file ("permission denied").
        std::error_code ec;
        if (std::filesystem::is_directory(std::filesystem::u8path(path), ec))
            return failure("it is a folder, not a mailbox file");
#endif
        return failure("cannot open the file: " + ErrnoText(err));
    }
#ifndef _WIN32
    struct stat st;
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        Close();
        return failure("it is a folder, not a mailbox file");
    }
    // Pipes, sockets and devices are refused: a mailbox is read twice (probe and
    // extraction), and a device such as /dev/zero would never end.
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return failure("it is not a regular file (a pipe, socket or device)");
    }
    sizeAtOpen_ = static_cast<unsigned long long>(st.st_size);
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
#else
    // Devices (NUL, CON, COM1) and pipes are refused, as on POSIX systems.
    struct _stat64 st;
    if (_fstat64(fd_, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
        Close();
        return failure("it is not a regular file (a pipe, socket or device)");
    }
    sizeAtOpen_ = static_cast<unsigned long long>(st.st_size);
#endif
    Reset();
    return std::nullopt;
}

void InputFile::Open(ByteSource& source) {
    Close();
    source_ = &source;
    sizeAtOpen_ = 0;  // the source tells a cut-short end itself
    Reset();
}

void InputFile::Reset() {
    if (capacity_ < kBlockSize) {
        buf_ = std::make_unique_for_overwrite<char[]>(kBlockSize);
        capacity_ = kBlockSize;
    }
    pos_ = end_ = 0;
    eof_ = false;
    error_.clear();
    fileOffset_ = 0;
}

void InputFile::Close() {
    if (fd_ >= 0) BV_CLOSE(fd_);
    fd_ = -1;
    source_ = nullptr;
}

size_t InputFile::Ensure(size_t n) {
    while (end_ - pos_ < n && !eof_ && error_.empty() && isOpen()) {
        if (pos_ > 0) {
            std::memmove(buf_.get(), buf_.get() + pos_, end_ - pos_);
            end_ -= pos_;
            pos_ = 0;
        }
        if (end_ + n > capacity_) {
            auto bigger = std::make_unique_for_overwrite<char[]>(end_ + n);
            std::memcpy(bigger.get(), buf_.get(), end_);
            buf_ = std::move(bigger);
            capacity_ = end_ + n;
        }
        size_t want = capacity_ - end_;
        if (source_) {
            long r = source_->Read(buf_.get() + end_, want);
            if (r < 0) {
                error_ = source_->error().empty() ? "read error after " + std::to_string(fileOffset_) + " bytes"
                                                  : source_->error();
                break;
            }
            if (r == 0) {
                eof_ = true;
                break;
            }
            end_ += size_t(r);
            fileOffset_ += static_cast<unsigned long long>(r);
            continue;
        }
        long r = g_readForTesting ? g_readForTesting(fd_, buf_.get() + end_, want)
                                  : long(BV_READ(fd_, buf_.get() + end_, static_cast<unsigned>(want)));
        if (r < 0) {
            if (errno == EINTR) continue;
            error_ = "read error after " + std::to_string(fileOffset_) + " bytes: " + ErrnoText(errno);
            break;
        }
        if (r == 0) {
            eof_ = true;
            // A file cut short while it is read would otherwise end its last message
            // early without anyone noticing.
            if (fileOffset_ < sizeAtOpen_)
                error_ = "the file became shorter while it was read (it ended after " + std::to_string(fileOffset_) +
                         " of " + std::to_string(sizeAtOpen_) + " bytes)";
            break;
        }
        end_ += size_t(r);
        fileOffset_ += static_cast<unsigned long long>(r);
    }
    return end_ - pos_;
}

namespace {

}  // namespace

std::string TrimBlanks(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return std::string();
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::vector<std::string> DistinctInputs(const std::vector<std::string>& inputs) {
    std::vector<std::string> out;
    out.reserve(inputs.size());
#ifndef _WIN32
    std::set<std::pair<unsigned long long, unsigned long long>> seen;  // device, inode
#else
    std::set<std::filesystem::path> seen;
#endif
    for (const std::string& input : inputs) {
        const std::string path = TrimBlanks(input);
        bool first = true;
        if (!path.empty()) {
#ifndef _WIN32
            struct stat st;
            if (::stat(path.c_str(), &st) == 0)
                first = seen.emplace(static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)).second;
#else
            std::error_code ec;
            std::filesystem::path canonical = std::filesystem::canonical(std::filesystem::u8path(path), ec);
            if (!ec) first = seen.insert(canonical).second;
#endif
        }
        if (first) out.push_back(input);
    }
    return out;
}

uint64_t InputSize(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::u8path(TrimBlanks(path));
    if (!std::filesystem::is_regular_file(p, ec)) return 0;
    const uintmax_t size = std::filesystem::file_size(p, ec);
    return ec ? 0 : uint64_t(size);
}

}  // namespace bv::conversion
