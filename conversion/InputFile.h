// A mailbox opened for reading raw bytes in large blocks, with a small look-ahead
// window so that separators can be recognised across block boundaries. The bytes come
// from a file, or from any other ByteSource (a member of an archive).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversion/ByteSource.h"
#include "conversion/RunObserver.h"

namespace bv::conversion {

class InputFile {
public:
    static constexpr size_t kBlockSize = 1 << 20;

    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens the file read-only; the failure when it cannot be opened (or is no
    // regular file).
    std::optional<Failure> Open(const std::string& path);
    // Reads from `source`, which must outlive the reading; its end is the mailbox's end.
    void Open(ByteSource& source);
    void Close();
    bool isOpen() const { return fd_ >= 0 || source_ != nullptr; }

    // Makes at least `n` bytes available from the current position unless the file
    // ends (or a read fails) first; returns how many are available.
    size_t Ensure(size_t n);
    const char* data() const { return buf_.get() + pos_; }
    size_t available() const { return end_ - pos_; }
    void Consume(size_t n) { pos_ += n; }

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    unsigned long long offset() const { return fileOffset_ - (end_ - pos_); }

private:
    void Reset();

    int fd_ = -1;
    ByteSource* source_ = nullptr;
    unsigned long long sizeAtOpen_ = 0;  // regular files: the size when opened
    // Not zero-filled: a fresh 1 MiB block would otherwise be written once for
    // nothing, and only the pages the file fills are touched.
    std::unique_ptr<char[]> buf_;
    size_t capacity_ = 0;
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false;
    std::string error_;
    unsigned long long fileOffset_ = 0;
};

// Test seam for the fault-injection tests and the fuzz targets: replaces read(2)
// for every InputFile (short reads, EINTR, read errors); nullptr restores it.
using ReadFunction = long (*)(int fd, void* buffer, size_t size);
void SetReadFunctionForTesting(ReadFunction read);

// A listed input without the spaces around it.
std::string TrimBlanks(const std::string& s);

// The inputs in order, each file once however its path is spelled (another path to
// it, a link, "." and ".."): the first spelling stays. Empty entries and paths that
// cannot be looked at stay as they are, to be reported where they are read.
std::vector<std::string> DistinctInputs(const std::vector<std::string>& inputs);

// The size of the file in bytes, 0 when it cannot be told.
uint64_t InputSize(const std::string& path);

}  // namespace bv::conversion
