// What the LTP layer hands to the node database for one node: its data blocks and
// the subnodes that hold values too large for the heap.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "mailstore/pst/ltp/BlockSpool.h"
#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

// A value whose stored bytes are made as its data tree is written (a long text turned
// into UTF-16 piece by piece), so that they are never held whole beside their source.
class ValueSource {
public:
    virtual ~ValueSource() = default;
    // The bytes the value holds when stored.
    virtual uint64_t Size() const = 0;
    // Hands the stored bytes to `piece` in order, in pieces of any size.
    virtual void Read(const std::function<void(const uint8_t*, size_t)>& piece) const = 0;
};

// A subnode of one data block in the spool of the message being built, with no
// subnodes of its own.
struct OneBlockSubnode {
    Nid nid = 0;
    SpooledBlock block;
};

// A subnode: its data blocks and, for attachments and embedded messages, its own
// subnodes.
struct LtpSubnode {
    Nid nid = 0;
    std::vector<Bytes> blocks;  // data tree blocks, each at most 8176 bytes
    std::vector<LtpSubnode> subnodes;
    Bytes data;  // or: the whole value, cut into 8176-byte blocks when written
    // or: the value made as it is written, cut into blocks and sealed then (no CRCs before)
    std::shared_ptr<const ValueSource> source;
    // or: its data blocks, plain, in the spool of the message being built (sealed
    // when written)
    std::shared_ptr<BlockSpool> spool;
    std::vector<SpooledBlock> spooled;
    std::vector<uint32_t> crcs;  // sealed: each data block's CRC, the bytes encoded
    // or (no nid of its own): a run of subnodes in `spool`, each of one block (the
    // attachments of a message of very many, held as little more than where they are)
    std::vector<OneBlockSubnode> run;
    // Its bytes (a run's: all of its subnodes').
    uint64_t DataSize() const {
        uint64_t n = source ? source->Size() : data.size();
        for (const auto& b : blocks) n += b.size();
        for (const auto& b : spooled) n += b.size;
        for (const auto& r : run) n += r.block.size;
        return n;
    }
    // How many subnodes it stands for.
    size_t Count() const { return run.empty() ? 1 : run.size(); }
};

// A subnode whose data is already cut into blocks.
inline LtpSubnode SubnodeOf(Nid nid, std::vector<Bytes> blocks, std::vector<LtpSubnode> subnodes = {}) {
    LtpSubnode s;
    s.nid = nid;
    s.blocks = std::move(blocks);
    s.subnodes = std::move(subnodes);
    return s;
}

struct LtpNode {
    std::vector<Bytes> blocks;  // heap blocks
    std::vector<LtpSubnode> subnodes;
    std::vector<uint32_t> crcs;  // sealed: each block's CRC, the bytes encoded
};

// Encodes every data block of the node and its subnodes for a store with
// `cryptMethod` and records their CRCs, so that writing them is only placing them.
// A sealed node must be written to a store of that crypt method.
void SealLtpNode(LtpNode& node, uint8_t cryptMethod);
// Undoes SealLtpNode: the blocks in plain form again, no CRCs.
void UnsealLtpNode(LtpNode& node, uint8_t cryptMethod);

// Edits the data blocks of one node of a sealed tree (not its subnodes): decoded for
// `edit`, then encoded again with their new CRCs.
void EditSealedBlocks(std::vector<Bytes>& blocks, std::vector<uint32_t>& crcs, uint8_t cryptMethod,
                      const std::function<void(std::vector<Bytes>&)>& edit);

// Hands out subnode NIDs (NID_TYPE_LTP) unique within the node being built.
using SubnodeNidSource = std::function<Nid()>;

// Cuts a value into 8176-byte data blocks.
std::vector<Bytes> SplitIntoBlocks(const uint8_t* data, size_t size);

// Fixed-size property types and their sizes ([MS-PST] §2.1.1); 0 = variable size.
size_t FixedTypeSize(uint16_t type);

}  // namespace bv::mailstore::pst
