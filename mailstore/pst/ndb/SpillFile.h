// A file of fixed-size records beside the store, for lists that grow with the number
// of messages (B-tree entries) and must not be held in memory. The file has no name
// once opened (delete-on-close on Windows): it disappears when closed, on success, on
// failure and when the process dies. Records are appended through a buffer and read back by
// number, or in order through a Cursor.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "mailstore/base/PlatformFile.h"

namespace bv::mailstore::pst {

class SpillFile {
public:
    SpillFile(const std::filesystem::path& dir, size_t recordSize);
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    size_t RecordSize() const { return recordSize_; }
    uint64_t Count() const { return flushed_ + pending_.size() / recordSize_; }
    void Append(const void* record);
    // Record `i` (< Count()) into `out`.
    void Read(uint64_t i, void* out) const;

    // Reads the records from the first on, in large pieces.
    class Cursor {
    public:
        explicit Cursor(const SpillFile& file) : file_(file) {}
        // The next record, or nullptr after the last.
        const uint8_t* Next();

    private:
        const SpillFile& file_;
        std::vector<uint8_t> buf_;
        size_t pos_ = 0;
        uint64_t next_ = 0;  // number of the first record after buf_
    };

private:
    void Flush();
    void ReadRaw(uint64_t offset, uint8_t* out, size_t size) const;
    base::PlatformFile file_{"the temporary file beside the store"};
    size_t recordSize_;
    uint64_t flushed_ = 0;  // records in the file
    std::vector<uint8_t> pending_;
};

}  // namespace bv::mailstore::pst
