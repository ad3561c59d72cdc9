#include "mailstore/pst/ltp/LtpNode.h"

#include <algorithm>

#include "mailstore/pst/ndb/Block.h"

namespace bv::mailstore::pst {
namespace {

void SealBlocks(std::vector<Bytes>& blocks, std::vector<uint32_t>& crcs, uint8_t cryptMethod) {
    crcs.clear();
    crcs.reserve(blocks.size());
    for (Bytes& b : blocks) crcs.push_back(SealDataBlock(b.data(), b.size(), cryptMethod));
}

void SealSubnode(LtpSubnode& s, uint8_t cryptMethod) {
    if (!s.blocks.empty()) {
        SealBlocks(s.blocks, s.crcs, cryptMethod);
    } else {
        // One value, cut into blocks when written: seal it block by block the same way.
        s.crcs.clear();
        size_t size = s.data.size();
        if (size == 0) s.crcs.push_back(SealDataBlock(s.data.data(), 0, cryptMethod));
        for (size_t off = 0; off < size; off += kMaxBlockData)
            s.crcs.push_back(SealDataBlock(s.data.data() + off, std::min(kMaxBlockData, size - off), cryptMethod));
    }
    for (LtpSubnode& child : s.subnodes) SealSubnode(child, cryptMethod);
}

}  // namespace

void SealLtpNode(LtpNode& node, uint8_t cryptMethod) {
    SealBlocks(node.blocks, node.crcs, cryptMethod);
    for (LtpSubnode& s : node.subnodes) SealSubnode(s, cryptMethod);
}

}  // namespace bv::mailstore::pst
