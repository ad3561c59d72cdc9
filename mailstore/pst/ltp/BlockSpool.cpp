#include "mailstore/pst/ltp/BlockSpool.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "mailstore/MailStoreError.h"

namespace bv::mailstore::pst {
namespace {

// What is written, and read back, at once: little beside a message of many small
// attachments, which the spool holds as it is built.
constexpr size_t kPiece = 256 << 10;

}  // namespace

BlockSpool::BlockSpool(const std::filesystem::path& dir) { file_.OpenTemporary(dir); }

SpooledBlock BlockSpool::Put(const uint8_t* data, size_t size) {
    const SpooledBlock at{flushed_ + pending_.size(), uint32_t(size)};
    if (pending_.size() + size > kPiece) WritePending();
    if (pending_.capacity() < kPiece) pending_.reserve(std::max(kPiece, size));
    pending_.insert(pending_.end(), data, data + size);
    return at;
}

void BlockSpool::WritePending() {
    if (pending_.empty()) return;
    file_.WriteAt(flushed_, pending_.data(), pending_.size());
    flushed_ += pending_.size();
    pending_.clear();
}

void BlockSpool::Flush() {
    WritePending();
    Bytes().swap(pending_);  // a message built keeps no room while it waits for the store
}

void BlockSpool::ReadAt(uint64_t offset, uint8_t* out, size_t size) const {
    if (offset + size > flushed_) throw std::logic_error("BlockSpool: block read before it was flushed");
    if (file_.ReadAt(offset, out, size) < size)
        throw MailStoreError("cannot read the temporary file beside the store: it is shorter than written");
}

void BlockSpool::ForEach(const std::vector<SpooledBlock>& blocks,
                         const std::function<void(const uint8_t*, size_t)>& block) const {
    Bytes piece;
    for (size_t i = 0; i < blocks.size();) {
        // Blocks that follow each other in the file are read together.
        size_t end = i + 1, size = blocks[i].size;
        while (end < blocks.size() && blocks[end].offset == blocks[end - 1].offset + blocks[end - 1].size &&
               size + blocks[end].size <= kPiece)
            size += blocks[end++].size;
        piece.resize(size);
        ReadAt(blocks[i].offset, piece.data(), size);
        for (const uint8_t* p = piece.data(); i < end; p += blocks[i++].size) block(p, blocks[i].size);
    }
}

Bytes BlockSpool::Get(SpooledBlock block) const {
    Bytes b(block.size);
    ReadAt(block.offset, b.data(), b.size());
    return b;
}

void BlockSpool::Rewrite(SpooledBlock block, const Bytes& data) {
    if (data.size() != block.size) throw std::logic_error("BlockSpool: a block rewritten at another size");
    if (block.offset + block.size > flushed_) throw std::logic_error("BlockSpool: block rewritten before it was flushed");
    file_.WriteAt(block.offset, data.data(), data.size());
}

}  // namespace bv::mailstore::pst
