// Where the data blocks of a message being built wait when they are too many to hold
// (a recipient table of many thousands of rows): written as they are made, plain, to
// an unnamed temporary file beside the store, and read back in pieces when the store
// places the message. The file disappears with the spool, also when the process dies.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "mailstore/base/PlatformFile.h"
#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

// One block in a spool.
struct SpooledBlock {
    uint64_t offset = 0;
    uint32_t size = 0;
};

class BlockSpool {
public:
    // Throws IoError when no temporary file can be made in `dir`.
    explicit BlockSpool(const std::filesystem::path& dir);
    BlockSpool(const BlockSpool&) = delete;
    BlockSpool& operator=(const BlockSpool&) = delete;

    SpooledBlock Put(const uint8_t* data, size_t size);
    // Every block is in the file: called when the message is built, before another
    // thread reads it.
    void Flush();
    // The bytes of `blocks`, handed to `block` one block at a time, in order (read in
    // pieces of about 256 KiB).
    void ForEach(const std::vector<SpooledBlock>& blocks, const std::function<void(const uint8_t*, size_t)>& block) const;
    Bytes Get(SpooledBlock block) const;
    // Changes a block's bytes (the same size).
    void Rewrite(SpooledBlock block, const Bytes& data);

private:
    void WritePending();
    void ReadAt(uint64_t offset, uint8_t* out, size_t size) const;
    base::PlatformFile file_{"the temporary file beside the store"};
    uint64_t flushed_ = 0;  // bytes in the file
    Bytes pending_;
};

}  // namespace bv::mailstore::pst
