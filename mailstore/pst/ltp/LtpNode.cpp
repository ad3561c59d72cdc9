#include "mailstore/pst/ltp/LtpNode.h"

#include <algorithm>

#include "mailstore/pst/ndb/Block.h"
#include "mailstore/pst/ndb/Header.h"
#include "mailstore/pst/ndb/Permute.h"

namespace bv::mailstore::pst {
namespace {

void SealBlocks(std::vector<Bytes>& blocks, std::vector<uint32_t>& crcs, uint8_t cryptMethod) {
    crcs.clear();
    crcs.reserve(blocks.size());
    for (Bytes& b : blocks) crcs.push_back(SealDataBlock(b.data(), b.size(), cryptMethod));
}

void SealSubnode(LtpSubnode& s, uint8_t cryptMethod) {
    if (s.source || s.spool) {
        // Made, or read from the spool, and sealed as it is written.
    } else if (!s.blocks.empty()) {
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

void Unseal(Bytes& b, uint8_t cryptMethod) {
    if (cryptMethod == NDB_CRYPT_PERMUTE) PermuteDecode(b.data(), b.size());
}

void UnsealSubnode(LtpSubnode& s, uint8_t cryptMethod) {
    for (Bytes& b : s.blocks) Unseal(b, cryptMethod);
    Unseal(s.data, cryptMethod);  // byte by byte: the cut into blocks does not matter
    s.crcs.clear();
    for (LtpSubnode& child : s.subnodes) UnsealSubnode(child, cryptMethod);
}

}  // namespace

void UnsealLtpNode(LtpNode& node, uint8_t cryptMethod) {
    for (Bytes& b : node.blocks) Unseal(b, cryptMethod);
    node.crcs.clear();
    for (LtpSubnode& s : node.subnodes) UnsealSubnode(s, cryptMethod);
}

void EditSealedBlocks(std::vector<Bytes>& blocks, std::vector<uint32_t>& crcs, uint8_t cryptMethod,
                      const std::function<void(std::vector<Bytes>&)>& edit) {
    for (Bytes& b : blocks) Unseal(b, cryptMethod);
    edit(blocks);
    SealBlocks(blocks, crcs, cryptMethod);
}

void SealLtpNode(LtpNode& node, uint8_t cryptMethod) {
    SealBlocks(node.blocks, node.crcs, cryptMethod);
    for (LtpSubnode& s : node.subnodes) SealSubnode(s, cryptMethod);
}

}  // namespace bv::mailstore::pst
