#include "mailstore/pst/messaging/StoreSize.h"

#include <algorithm>

#include "mailstore/pst/messaging/MessageBuilder.h"
#include "mailstore/pst/ndb/AllocationMap.h"

namespace bv::mailstore::pst {

namespace {

// B-tree entries (24 bytes in the block B-tree, 32 in the node B-tree) in pages
// that may be only half full after splits, so counted twice.
constexpr uint64_t kPerBlockIndex = 2 * 24;
constexpr uint64_t kPerNodeIndex = 2 * 32;
// A message's row in its folder's contents table, with its share of the table's
// row index and heap blocks.
constexpr uint64_t kContentsRow = 512;

// The blocks over `blocks` data blocks: none for one, an XBLOCK over up to 1021,
// or XBLOCKs under an XXBLOCK. Adds them to `count`.
uint64_t TreeBlocks(uint64_t blocks, uint64_t& count) {
    if (blocks <= 1) return 0;
    constexpr uint64_t kPerXBlock = 1021;
    const uint64_t xblocks = (blocks + kPerXBlock - 1) / kPerXBlock;
    count += xblocks + (xblocks > 1 ? 1 : 0);
    uint64_t bytes = (xblocks - 1) * BlockAllocSize(8 + 8 * kPerXBlock) +
                     BlockAllocSize(8 + 8 * (blocks - (xblocks - 1) * kPerXBlock));
    return bytes + (xblocks > 1 ? BlockAllocSize(8 + 8 * xblocks) : 0);
}

// The subnode tree of `subnodes` entries: an SLBLOCK, or SLBLOCKs under an SIBLOCK.
uint64_t SubnodeTreeBlocks(uint64_t subnodes, uint64_t& count) {
    constexpr uint64_t kPerSlBlock = (kMaxBlockData - 8) / 24;
    const uint64_t slblocks = (subnodes + kPerSlBlock - 1) / kPerSlBlock;
    count += slblocks + (slblocks > 1 ? 1 : 0);
    return slblocks * BlockAllocSize(8 + 24 * std::min(subnodes, kPerSlBlock)) +
           (slblocks > 1 ? BlockAllocSize(8 + 16 * slblocks) : 0);
}

size_t SubnodeCount(const std::vector<LtpSubnode>& subnodes) {
    size_t n = 0;
    for (const LtpSubnode& s : subnodes) n += s.Count();
    return n;
}

uint64_t SubnodeSize(const LtpSubnode& s, uint64_t& blockCount) {
    if (!s.run.empty()) {
        // Subnodes of one block each.
        uint64_t bytes = 0;
        for (const OneBlockSubnode& r : s.run) {
            bytes += BlockAllocSize(r.block.size);
            ++blockCount;
        }
        return bytes;
    }
    uint64_t bytes = 0, blocks = 0;
    for (const Bytes& b : s.blocks) {
        bytes += BlockAllocSize(b.size());
        ++blocks;
    }
    for (const SpooledBlock& b : s.spooled) {
        bytes += BlockAllocSize(b.size);
        ++blocks;
    }
    // A value cut into blocks when written (or made as it is written).
    if (const uint64_t whole = s.source ? s.source->Size() : s.data.size(); whole > 0) {
        const uint64_t full = whole / kMaxBlockData, rest = whole % kMaxBlockData;
        bytes += full * BlockAllocSize(kMaxBlockData) + (rest ? BlockAllocSize(rest) : 0);
        blocks += full + (rest ? 1 : 0);
    }
    blockCount += blocks;
    bytes += TreeBlocks(blocks, blockCount);
    if (!s.subnodes.empty()) {
        bytes += SubnodeTreeBlocks(SubnodeCount(s.subnodes), blockCount);
        for (const LtpSubnode& child : s.subnodes) bytes += SubnodeSize(child, blockCount);
    }
    return bytes;
}

}  // namespace

uint64_t StoredSize(const PreparedMessage& message) {
    const LtpNode& node = message.built.node;
    uint64_t blocks = 0, bytes = 0;
    for (const Bytes& b : node.blocks) {
        bytes += BlockAllocSize(b.size());
        ++blocks;
    }
    bytes += TreeBlocks(blocks, blocks);
    if (!node.subnodes.empty()) {
        bytes += SubnodeTreeBlocks(SubnodeCount(node.subnodes), blocks);
        for (const LtpSubnode& s : node.subnodes) bytes += SubnodeSize(s, blocks);
    }
    return bytes + blocks * kPerBlockIndex + kPerNodeIndex + kContentsRow;
}

uint64_t FileSizeFor(uint64_t used) {
    if (used <= kFirstAMapOffset) return RegionStart(1);
    return RegionStart((used - kFirstAMapOffset + kAMapRegionSize - 1) / kAMapRegionSize);
}

}  // namespace bv::mailstore::pst
