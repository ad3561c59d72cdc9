// [MS-PST] §2.2: the nodes of a Unicode .pst and the block trees that hold their data.
#include "mailstore/pst/ndb/NodeDatabase.h"

#include <algorithm>
#include <stdexcept>

#include "mailstore/pst/ndb/CopyOnWriteIndex.h"
#include "mailstore/pst/ndb/SequentialIndex.h"

namespace bv::mailstore::pst {

std::unique_ptr<NodeDatabase> NodeDatabase::Create(const std::filesystem::path& path, uint8_t cryptMethod) {
    std::unique_ptr<NodeDatabase> db(new NodeDatabase());
    db->file_.Create(path, cryptMethod);
    db->index_ = std::make_unique<SequentialIndex>(db->file_, path);
    return db;
}

std::unique_ptr<NodeDatabase> NodeDatabase::Open(const std::filesystem::path& path) {
    return OpenExisting(path, true);
}

std::unique_ptr<NodeDatabase> NodeDatabase::OpenForReading(const std::filesystem::path& path) {
    return OpenExisting(path, false);
}

std::unique_ptr<NodeDatabase> NodeDatabase::OpenExisting(const std::filesystem::path& path, bool forWriting) {
    std::unique_ptr<NodeDatabase> db(new NodeDatabase());
    if (!db->file_.Open(path, forWriting))
        throw StoreInUseError(path.string() + " is being written by another program");
    db->index_ = std::make_unique<CopyOnWriteIndex>(db->file_);
    db->file_.FinishOpening(forWriting);
    return db;
}

NodeDatabase::~NodeDatabase() = default;

Nid NodeDatabase::AllocateNid(uint8_t nidType) {
    Header& header = file_.header();
    uint32_t index = ++header.rgnid[nidType];
    if (index >= (1u << 27)) FormatError("HEADER", "rgnid", "exhausted");
    // A folder's tables share its nidIndex ([MS-PST] §2.4.4): keep their counters past it.
    if (nidType == NID_TYPE_NORMAL_FOLDER || nidType == NID_TYPE_SEARCH_FOLDER) {
        for (uint8_t t : {NID_TYPE_HIERARCHY_TABLE, NID_TYPE_CONTENTS_TABLE, NID_TYPE_ASSOC_CONTENTS_TABLE,
                          NID_TYPE_SEARCH_CONTENTS_TABLE, NID_TYPE_SEARCH_UPDATE_QUEUE, NID_TYPE_SEARCH_CRITERIA_OBJECT})
            header.rgnid[t] = std::max(header.rgnid[t], index);
    }
    return MakeNid(nidType, index);
}

Bid NodeDatabase::WriteBlock(const uint8_t* data, size_t cb, bool internal, const uint32_t* crc) {
    const BlockFile::PlacedBlock placed = file_.WriteBlock(data, cb, internal, crc);
    index_->AddBlock(placed.bid & ~Bid(1), {placed.ib, uint16_t(cb), 2});
    changed_ = true;
    return placed.bid;
}

Bid NodeDatabase::WriteBlockList(const std::vector<DataBlock>& blocks) {
    std::vector<WrittenBlock> written;
    written.reserve(blocks.size());
    for (const DataBlock& b : blocks) written.push_back({WriteBlock(b.data, b.size, false, b.crc), b.size});
    return WriteDataTree(written);
}

Bid NodeDatabase::WriteDataTree(const std::vector<WrittenBlock>& written) {
    if (written.empty()) FormatError("XBLOCK", "cEnt", "no data blocks");
    if (written.size() == 1) return written[0].bid;
    std::vector<Bid> xbids;
    std::vector<uint64_t> xsizes;
    for (size_t i = 0; i < written.size(); i += kXBlockMaxEntries) {
        std::vector<Bid> bids;
        uint64_t total = 0;
        for (size_t j = i; j < written.size() && j < i + kXBlockMaxEntries; ++j) {
            bids.push_back(written[j].bid);
            total += written[j].size;
        }
        if (total > 0xFFFFFFFFull) FormatError("XBLOCK", "lcbTotal", "exceeds 4 GB");
        Bytes x = BuildXBlock(1, uint32_t(total), bids);
        xbids.push_back(WriteBlock(x.data(), x.size(), true));
        xsizes.push_back(total);
    }
    if (xbids.size() == 1) return xbids[0];
    if (xbids.size() > kXBlockMaxEntries) FormatError("XXBLOCK", "cEnt", "out of range (node data too large)");
    uint64_t total = 0;
    for (uint64_t s : xsizes) total += s;
    if (total > 0xFFFFFFFFull) FormatError("XXBLOCK", "lcbTotal", "exceeds 4 GB");
    Bytes xx = BuildXBlock(2, uint32_t(total), xbids);
    return WriteBlock(xx.data(), xx.size(), true);
}

Bid NodeDatabase::WriteDataTree(const uint8_t* data, size_t size, const std::vector<uint32_t>* crcs) {
    std::vector<DataBlock> blocks;
    if (size == 0) blocks.push_back({data, 0, nullptr});
    for (size_t off = 0; off < size; off += kMaxBlockData)
        blocks.push_back({data + off, std::min(kMaxBlockData, size - off), nullptr});
    if (crcs) {
        if (crcs->size() != blocks.size()) throw std::logic_error("WriteDataTree: a CRC for every block");
        for (size_t i = 0; i < blocks.size(); ++i) blocks[i].crc = &(*crcs)[i];
    }
    return WriteBlockList(blocks);
}

Bid NodeDatabase::WriteDataTree(const std::vector<Bytes>& blocks, const std::vector<uint32_t>* crcs) {
    if (blocks.empty()) FormatError("XBLOCK", "cEnt", "no data blocks");
    if (crcs && crcs->size() != blocks.size()) throw std::logic_error("WriteDataTree: a CRC for every block");
    std::vector<DataBlock> list;
    list.reserve(blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Bytes& b = blocks[i];
        if (b.size() > kMaxBlockData) FormatError("BLOCKTRAILER", "cb", "exceeds 8176");
        list.push_back({b.data(), b.size(), crcs ? &(*crcs)[i] : nullptr});
    }
    return WriteBlockList(list);
}

Bid NodeDatabase::WriteSubnodeTree(std::vector<SLENTRY> entries) {
    if (entries.empty()) return 0;
    std::sort(entries.begin(), entries.end(), [](const SLENTRY& a, const SLENTRY& b) { return a.nid < b.nid; });
    for (size_t i = 1; i < entries.size(); ++i)
        if (entries[i].nid == entries[i - 1].nid) FormatError("SLENTRY", "nid", "duplicate subnode " + std::to_string(entries[i].nid));
    if (entries.size() <= kSLBlockMaxEntries) {
        Bytes b = BuildSLBlock(entries.data(), entries.size());
        return WriteBlock(b.data(), b.size(), true);
    }
    std::vector<SIENTRY> children;
    size_t pos = 0;
    for (size_t n : SpreadEntries(entries.size(), kSLBlockMaxEntries)) {
        Bytes b = BuildSLBlock(entries.data() + pos, n);
        children.push_back({entries[pos].nid, WriteBlock(b.data(), b.size(), true)});
        pos += n;
    }
    if (children.size() > kSIBlockMaxEntries) FormatError("SIBLOCK", "cEnt", "out of range (too many subnodes)");
    Bytes si = BuildSIBlock(children.data(), children.size());
    return WriteBlock(si.data(), si.size(), true);
}

void NodeDatabase::ReleaseDataTree(Bid bid) {
    if (bid & kBidInternal) {
        std::optional<BlockInfo> info = FindBlock(bid);
        if (info && info->cRef <= 2) {
            XBlockInfo x = ParseXBlock(ReadBlock(bid));
            for (Bid child : x.rgbid) ReleaseDataTree(child);
        }
    }
    ReleaseBlock(bid);
}

void NodeDatabase::ReleaseSubnodeTree(Bid bid) {
    std::optional<BlockInfo> info = FindBlock(bid);
    if (info && info->cRef <= 2) {
        std::vector<SLENTRY> leaves;
        std::vector<SIENTRY> children;
        ParseSubnodeBlock(ReadBlock(bid), leaves, children);
        for (const SLENTRY& e : leaves) {
            if (e.bidData) ReleaseDataTree(e.bidData);
            if (e.bidSub) ReleaseSubnodeTree(e.bidSub);
        }
        for (const SIENTRY& c : children) ReleaseSubnodeTree(c.bid);
    }
    ReleaseBlock(bid);
}

Bytes NodeDatabase::ReadBlock(Bid bid) {
    std::optional<BlockInfo> info = FindBlock(bid);
    if (!info) FormatError("BBTENTRY", "bid", "block " + std::to_string(bid) + " is not in the BBT");
    return file_.ReadBlock(bid, info->ib, info->cb);
}

void NodeDatabase::ReadBlocks(const std::vector<Bid>& bids, const std::function<void(Bid, Bytes&&)>& fn) {
    if (bids.empty()) return;
    file_.FlushAndWait();
    std::vector<std::pair<Bid, BlockInfo>> found;
    found.reserve(bids.size());
    size_t next = 0;
    index_->ForEachBlock([&](Bid bid, const BlockInfo& info) {
        while (next < bids.size() && (bids[next] & ~Bid(1)) < bid) ++next;
        if (next < bids.size() && (bids[next] & ~Bid(1)) == bid) found.push_back({bids[next], info});
    });
    // In file order: the reads follow the disk.
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.second.ib < b.second.ib; });
    for (const auto& [bid, info] : found) fn(bid, file_.ReadBlock(bid, info.ib, info.cb));
}

std::vector<Bytes> NodeDatabase::ReadDataTree(Bid bid) {
    std::vector<Bytes> out;
    if (bid == 0) return out;
    if (!(bid & kBidInternal)) {
        out.push_back(ReadBlock(bid));
        return out;
    }
    XBlockInfo x = ParseXBlock(ReadBlock(bid));
    for (Bid child : x.rgbid) {
        if (x.cLevel == 2) {
            if (!(child & kBidInternal)) FormatError("XXBLOCK", "rgbid", "refers to a data block");
            auto sub = ReadDataTree(child);
            for (auto& b : sub) out.push_back(std::move(b));
        } else {
            if (child & kBidInternal) FormatError("XBLOCK", "rgbid", "refers to an internal block");
            out.push_back(ReadBlock(child));
        }
    }
    return out;
}

std::vector<Bid> NodeDatabase::DataTreeBids(Bid bid) {
    if (bid == 0) return {};
    if (!(bid & kBidInternal)) return {bid};  // (not looked up in the BBT)
    return ReadDataTreeShape(bid).leaves;
}

NodeDatabase::DataTreeShape NodeDatabase::ReadDataTreeShape(Bid bid) {
    DataTreeShape shape;
    if (bid == 0) return shape;
    if (!(bid & kBidInternal)) {
        std::optional<BlockInfo> info = FindBlock(bid);
        if (!info) FormatError("BBTENTRY", "bid", "block " + std::to_string(bid) + " is not in the BBT");
        shape.leaves.push_back(bid);
        shape.total = info->cb;
        return shape;
    }
    XBlockInfo x = ParseXBlock(ReadBlock(bid));
    shape.internal.push_back(bid);
    shape.total = x.lcbTotal;
    if (x.cLevel != 2) {
        shape.leaves = std::move(x.rgbid);
        return shape;
    }
    for (Bid child : x.rgbid) {
        if (!(child & kBidInternal)) FormatError("XXBLOCK", "rgbid", "refers to a data block");
        XBlockInfo sub = ParseXBlock(ReadBlock(child));
        shape.internal.push_back(child);
        shape.leaves.insert(shape.leaves.end(), sub.rgbid.begin(), sub.rgbid.end());
    }
    return shape;
}

std::vector<Bid> NodeDatabase::SubnodeTreeBlocks(Bid bid) {
    std::vector<Bid> out;
    if (bid == 0) return out;
    out.push_back(bid);
    std::vector<SLENTRY> leaves;
    std::vector<SIENTRY> children;
    ParseSubnodeBlock(ReadBlock(bid), leaves, children);
    for (const SIENTRY& c : children)
        for (Bid b : SubnodeTreeBlocks(c.bid)) out.push_back(b);
    return out;
}

std::vector<SLENTRY> NodeDatabase::ReadSubnodeTree(Bid bid) {
    std::vector<SLENTRY> leaves;
    if (bid == 0) return leaves;
    std::vector<SIENTRY> children;
    ParseSubnodeBlock(ReadBlock(bid), leaves, children);
    for (const SIENTRY& c : children) {
        auto sub = ReadSubnodeTree(c.bid);
        leaves.insert(leaves.end(), sub.begin(), sub.end());
    }
    return leaves;
}

void NodeDatabase::SetNode(Nid nid, const NodeRef& ref) {
    changed_ = true;
    if (index_->AddInOrder(nid, ref)) return;
    std::optional<NodeRef> old = index_->FindNode(nid);
    index_->PutNode(nid, ref);
    if (old) {
        if (old->bidData && old->bidData != ref.bidData) ReleaseDataTree(old->bidData);
        if (old->bidSub && old->bidSub != ref.bidSub) ReleaseSubnodeTree(old->bidSub);
    }
}

void NodeDatabase::ReplaceNodeKeepingBlocks(Nid nid, const NodeRef& ref) {
    changed_ = true;
    if (!index_->AddInOrder(nid, ref)) index_->PutNode(nid, ref);
}

void NodeDatabase::RemoveNode(Nid nid) {
    changed_ = true;
    std::optional<NodeRef> old = index_->FindNode(nid);
    if (!old) return;
    index_->PutNode(nid, std::nullopt);
    if (old->bidData) ReleaseDataTree(old->bidData);
    if (old->bidSub) ReleaseSubnodeTree(old->bidSub);
}

std::optional<NodeRef> NodeDatabase::FindNode(Nid nid) const { return index_->FindNode(nid); }

void NodeDatabase::ForEachNode(const std::function<void(Nid, const NodeRef&)>& fn) const { index_->ForEachNode(fn); }

void NodeDatabase::AddReference(Bid bid) {
    changed_ = true;
    std::optional<BlockInfo> info = bid ? FindBlock(bid) : std::nullopt;
    if (!info) return;
    SetReferences(bid, *info, uint16_t(info->cRef + 1));
}

void NodeDatabase::ReleaseBlock(Bid bid) {
    changed_ = true;
    std::optional<BlockInfo> info = FindBlock(bid);
    if (!info) return;
    SetReferences(bid, *info, info->cRef > 2 ? uint16_t(info->cRef - 1) : 0);
}

void NodeDatabase::SetReferences(Bid bid, const BlockInfo& info, uint16_t cRef) {
    index_->SetReferences(bid & ~Bid(1), info, cRef);
}

void NodeDatabase::Commit() {
    // A store opened and left as it was is not written at all.
    if (file_.CommittedOnce() && !changed_ && file_.header().root.fAMapValid == FAMAP_VALID) return;
    index_->Commit();
    changed_ = false;
}

void NodeDatabase::DropUncommitted() { file_.DropUncommitted(); }

uint64_t NodeDatabase::UsedBytes() const { return file_.DataEnd() + index_->PagesToCommit() * kPageSize; }

}  // namespace bv::mailstore::pst
